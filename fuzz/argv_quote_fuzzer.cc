// Fuzzes the Windows re-quoting of one program argument: the child's C run-time, splitting its
// command line by the Windows rules, must give back the original argument.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/argv_quote.h"

namespace {

void require(bool holds) {
  if (!holds)
    std::abort();
}

// The Windows C run-time's splitting of the arguments after the program name: blanks and tabs
// outside double quotes separate arguments; a double quote toggles quoting; 2n backslashes
// before a double quote give n backslashes and the quote toggles, 2n+1 give n backslashes and
// a literal quote; other backslashes are literal; inside quotes, "" gives one literal quote.
std::vector<std::string> split_windows_arguments(const std::string& line) {
  std::vector<std::string> args;
  std::string::size_type i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    if (i == line.size())
      return args;
    std::string arg;
    bool quoted = false;
    while (i < line.size()) {
      const char c = line[i];
      if (!quoted && (c == ' ' || c == '\t'))
        break;
      if (c == '\\') {
        std::string::size_type backslashes = 0;
        while (i < line.size() && line[i] == '\\') {
          ++backslashes;
          ++i;
        }
        if (i < line.size() && line[i] == '"') {
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(backslashes, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += c;
        ++i;
      }
    }
    args.push_back(arg);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string argument(reinterpret_cast<const char*>(data), size);
  // A C string cannot hold a NUL, so no argument does.
  if (argument.find('\0') != std::string::npos)
    return 0;
  const std::string quoted = quote_windows_argument(argument);
  // Twice, so that where one quoted argument ends is checked as well.
  const std::vector<std::string> args = split_windows_arguments(quoted + " " + quoted);
  require(args.size() == 2 && args[0] == argument && args[1] == argument);
  return 0;
}
