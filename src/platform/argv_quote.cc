// The Windows re-quoting of one program argument.
#include "platform/argv_quote.h"

namespace {

bool is_control(char c) { return c >= 1 && c <= 31; }

}  // namespace

std::string quote_windows_argument(const std::string& argument) {
  if (argument.empty()) return "\"\"";
  bool needs_escape = false;
  bool needs_quotes = false;
  for (char c : argument) {
    if (c == ' ' || is_control(c)) needs_quotes = true;
    if (c == '"' || c == '\\') needs_escape = true;
  }
  if (!needs_escape && !needs_quotes) return argument;

  std::string quoted;
  if (needs_quotes) quoted += '"';
  std::string::size_type backslashes = 0;
  for (char c : argument) {
    if (c == '"') {
      // A run of n backslashes before a quote becomes 2n+1 backslashes and the quote.
      quoted.append(backslashes + 1, '\\');
      backslashes = 0;
    } else if (c == '\\') {
      ++backslashes;
    } else {
      backslashes = 0;
    }
    quoted += c;
  }
  if (needs_quotes) {
    // Backslashes before the closing quote are doubled so that they stay backslashes.
    quoted.append(backslashes, '\\');
    quoted += '"';
  }
  return quoted;
}
