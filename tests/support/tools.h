// Finding the external tools a test drives (groff, bash, ccache, distcc, gcc) and skipping the
// test, with the reason, when one is missing. With ZRVBUILD_REQUIRE_TOOLS set in the
// environment (CI sets it once it has installed them) a missing tool fails the test instead.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

// The directories run_zrvbuild gives the program as PATH, so a tool found here is one the
// commands zrvbuild runs can find too.
inline const char* tool_search_path() {
  return "/usr/local/bin:/usr/bin:/bin";
}

// The full path of an executable named `name`, or "" when there is none.
inline std::string find_tool(const std::string& name) {
  std::string dirs = tool_search_path();
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type colon = dirs.find(':', start);
    std::string candidate = dirs.substr(start, colon - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string::npos)
      return "";
    start = colon + 1;
  }
}

// "" when every tool is there, otherwise the reason the test cannot run.
inline std::string missing_tools(std::initializer_list<const char*> names) {
  std::string missing;
  for (const char* name : names)
    if (find_tool(name).empty())
      missing += std::string(missing.empty() ? "" : ", ") + name;
  if (missing.empty())
    return "";
  return "not installed: " + missing + " (searched " + tool_search_path() + ")";
}

// Returns from the test: a skip, or a failure when the tools are required.
#define ZRV_NEED_TOOLS(...)                                  \
  do {                                                       \
    std::string zrv_missing_ = missing_tools({__VA_ARGS__}); \
    if (!zrv_missing_.empty()) {                             \
      if (std::getenv("ZRVBUILD_REQUIRE_TOOLS"))             \
        FAIL() << zrv_missing_;                              \
      GTEST_SKIP() << zrv_missing_;                          \
    }                                                        \
  } while (0)
