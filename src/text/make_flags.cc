// Reading the jobserver out of MAKEFLAGS.
#include "text/make_flags.h"

#include <cctype>
#include <cstdlib>

#include "text/text_rules.h"

namespace {

// A descriptor number: digits only, not too long to be one.
bool read_descriptor(const std::string& text, int& fd) {
  if (text.empty() || text.size() > 9)
    return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  }
  fd = std::atoi(text.c_str());
  return true;
}

jobserver_auth auth_of(const std::string& value) {
  jobserver_auth auth;
  if (starts_with(value, "fifo:")) {
    auth.name = value.substr(5);
    if (!auth.name.empty())
      auth.form = jobserver_auth::kind::fifo;
    return auth;
  }
  const std::string::size_type comma = value.find(',');
  if (comma != std::string::npos) {
    if (read_descriptor(value.substr(0, comma), auth.read_fd) &&
        read_descriptor(value.substr(comma + 1), auth.write_fd)) {
      auth.form = jobserver_auth::kind::descriptors;
    }
    return auth;
  }
  if (!value.empty()) {
    auth.form = jobserver_auth::kind::semaphore;
    auth.name = value;
  }
  return auth;
}

}  // namespace

jobserver_auth parse_jobserver_auth(const std::string& makeflags) {
  static const char* const prefixes[] = {"--jobserver-auth=", "--jobserver-fds="};
  jobserver_auth auth;
  std::string::size_type start = 0;
  while (start < makeflags.size()) {
    std::string::size_type end = makeflags.find(' ', start);
    if (end == std::string::npos)
      end = makeflags.size();
    const std::string word = makeflags.substr(start, end - start);
    start = end + 1;
    // Variable assignments from make's command line follow "--".
    if (word == "--")
      break;
    for (const char* prefix : prefixes) {
      if (starts_with(word, prefix))
        auth = auth_of(word.substr(std::string(prefix).size()));
    }
  }
  return auth;
}
