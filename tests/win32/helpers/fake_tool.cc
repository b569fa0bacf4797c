// A stand-in for a compiler, linker or strip program on Windows. Copied under the name of the
// tool it stands for (NAME.exe), it appends its arguments, one a line, and a line "--" to
// NAME.log beside itself, writes the bytes of NAME.out there to standard output when that file
// exists, and exits with the number in NAME.status (0 without that file).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The executable's full path without its ".exe".
std::string tool_stem() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string stem(path, length);
  const std::string::size_type dot = stem.rfind('.');
  const std::string::size_type slash = stem.find_last_of("/\\");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.erase(dot);
  return stem;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string stem = tool_stem();
  if (std::FILE* log = std::fopen((stem + ".log").c_str(), "ab")) {
    for (int i = 1; i < argc; ++i) std::fprintf(log, "%s\n", argv[i]);
    std::fputs("--\n", log);
    std::fclose(log);
  }
  if (std::FILE* out = std::fopen((stem + ".out").c_str(), "rb")) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) std::fputc(c, stdout);
    std::fclose(out);
    std::fflush(stdout);
  }
  int status = 0;
  if (std::FILE* file = std::fopen((stem + ".status").c_str(), "rb")) {
    if (std::fscanf(file, "%d", &status) != 1) status = 0;
    std::fclose(file);
  }
  return status;
}
