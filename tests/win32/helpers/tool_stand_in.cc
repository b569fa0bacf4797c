// A Windows stand-in for a MinGW-w64 tool under Wine, installed as gcc.exe, g++.exe,
// gfortran.exe or strip.exe. Wine starts a Linux program from a Windows one but neither waits
// for it nor reports its status, so this program hands its arguments to the Linux runner
// (tool_runner.sh) in a request directory, starts it, waits for the status file the runner
// writes when the Debian cross tool of its target (TARGET-gcc-posix, ..., TARGET-strip) has
// ended, then writes the tool's standard output and standard error as they came and exits with
// its status. It changes nothing but paths: an argument that holds a path on drive Z: or C:
// (from its start, or after -I, -L, ",", "=" or "@") gets the Unix path, and so do the
// arguments of a response file "@FILE", which the tool then reads from a rewritten copy.
// Wide-character throughout, so that names keep their letters.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "text/argument_files.h"
#include "text/long_commands.h"

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return L"";
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
  return result;
}

// Where Wine keeps drive C:, the prefix's drive_c (Z: is the Unix root).
std::string drive_c_root() {
  using unix_name_function = char*(CDECL*)(LPCWSTR);
  // Through void*, as GetProcAddress gives every function one type.
  const auto unix_name = reinterpret_cast<unix_name_function>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (unix_name == nullptr) return "";
  char* name = unix_name(L"C:\\");
  if (name == nullptr) return "";
  std::string root = name;
  HeapFree(GetProcessHeap(), 0, name);
  // The prefix's dosdevices/c: is a link to its drive_c; the name without the colon keeps
  // make and the tools from reading the colon as a separator.
  const std::string link = "/dosdevices/c:/";
  if (root.size() > link.size() && root.compare(root.size() - link.size(), link.size(), link) == 0)
    root = root.substr(0, root.size() - link.size()) + "/drive_c/";
  return root;
}

bool is_drive_path_at(const std::string& text, std::size_t at) {
  if (at + 2 >= text.size() || text[at + 1] != ':' || (text[at + 2] != '\\' && text[at + 2] != '/'))
    return false;
  const char drive = static_cast<char>(text[at] | 0x20);
  if (drive != 'c' && drive != 'z') return false;
  if (at == 0) return true;
  const char before = text[at - 1];
  return before == ',' || before == '=' || before == '@' ||
         (at == 2 && text[0] == '-' && (text[1] == 'I' || text[1] == 'L'));
}

// The argument with its drive path, if any, as a Unix path.
std::string unix_argument(const std::string& argument, const std::string& c_root) {
  for (std::size_t at = 0; at < argument.size(); ++at) {
    if (!is_drive_path_at(argument, at)) continue;
    const bool on_c = (argument[at] | 0x20) == 'c';
    std::string path = (on_c ? c_root : std::string("/")) + argument.substr(at + 3);
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    return argument.substr(0, at) + path;
  }
  return argument;
}

std::string file_text(const std::wstring& path) {
  std::string text;
  if (std::FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    std::fclose(file);
  }
  return text;
}

bool write_text(const std::wstring& path, const std::string& text) {
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// A word for /bin/sh: single quotes keep every byte but the quote itself.
std::string shell_word(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::wstring own_name() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::wstring::size_type dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void copy_to(const std::wstring& path, std::FILE* stream) {
  const std::string text = file_text(path);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

int fail(const char* what) {
  std::fprintf(stderr, "tool stand-in: %s (error %lu)\n", what, GetLastError());
  return 127;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const std::string name = utf8(own_name());
  const std::string tool = std::string(ZRVBUILD_MINGW_TARGET) + "-" + name +
                           (name == "strip" ? "" : "-posix");
  const std::string c_root = drive_c_root();
  if (c_root.empty()) return fail("not under Wine");

  // A request directory of its own under the temporary directory.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring request;
  for (unsigned attempt = 0;; ++attempt) {
    request = std::wstring(temp) + L"zrv-tool-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(attempt);
    if (CreateDirectoryW(request.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return fail("cannot make a request directory");
  }
  const std::string request_unix = unix_argument(utf8(request), c_root);

  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  std::string script = "cd " + shell_word(unix_argument(utf8(cwd), c_root)) + " || exit 127\n";
  script += "tool=" + shell_word(tool) + "\nset --";
  int response_files = 0;
  for (int i = 1; i < argc; ++i) {
    std::string argument = unix_argument(utf8(argv[i]), c_root);
    if (names_argument_file(argument) && argv[i][0] == L'@') {
      // The tool reads a copy whose paths are Unix paths too.
      const std::string original = file_text(argv[i] + 1);
      std::vector<std::string> words;
      for (const std::string& word : argument_file_words(original))
        words.push_back(unix_argument(word, c_root));
      const std::wstring copy = request + L"\\args" + std::to_wstring(++response_files);
      if (!write_text(copy, response_file_text(words))) return fail("cannot copy a response file");
      argument = "@" + unix_argument(utf8(copy), c_root);
    }
    script += " " + shell_word(argument);
  }
  if (!write_text(request + L"\\request.sh", script + "\n")) return fail("cannot write request");

  std::wstring command = L"Z:\\bin\\sh \"" + wide(ZRVBUILD_TOOL_RUNNER) + L"\" \"" +
                         wide(request_unix) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return fail("cannot start the runner");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  // The runner renames the status file into place once the tool has ended.
  const std::wstring status_file = request + L"\\status";
  const DWORD patience = 30 * 60 * 1000;
  const DWORD started = GetTickCount();
  while (GetFileAttributesW(status_file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - started > patience) return fail("the runner never finished");
    Sleep(5);
  }
  int status = 127;
  if (std::sscanf(file_text(status_file).c_str(), "%d", &status) != 1) status = 127;
  copy_to(request + L"\\out", stdout);
  copy_to(request + L"\\err", stderr);
  for (const wchar_t* file : {L"\\request.sh", L"\\out", L"\\err", L"\\status"})
    DeleteFileW((request + file).c_str());
  for (int i = 1; i <= response_files; ++i)
    DeleteFileW((request + L"\\args" + std::to_wstring(i)).c_str());
  RemoveDirectoryW(request.c_str());
  return status;
}
