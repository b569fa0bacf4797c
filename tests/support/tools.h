// Finding the external tools a test drives (groff, bash, ccache, distcc, gcc, make) and skipping
// the test, with the reason, when one is missing. With ZRVBUILD_REQUIRE_TOOLS set in the
// environment (CI sets it once it has installed them) a missing tool fails the test instead;
// so does anything else of the machine a test needs and cannot have.
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

// Returns from the test with `reason`: a skip, or a failure when ZRVBUILD_REQUIRE_TOOLS is set.
// For any test that needs something of the machine (a tool, a device, a way to drop rights).
#define ZRV_SKIP_UNLESS_REQUIRED(reason)                        \
  do {                                                          \
    if (std::getenv("ZRVBUILD_REQUIRE_TOOLS"))                  \
      FAIL() << (reason) << " (ZRVBUILD_REQUIRE_TOOLS is set)"; \
    GTEST_SKIP() << (reason);                                   \
  } while (0)

// Returns from the test when a tool is missing: a skip, or a failure when tools are required.
#define ZRV_NEED_TOOLS(...)                                  \
  do {                                                       \
    std::string zrv_missing_ = missing_tools({__VA_ARGS__}); \
    if (!zrv_missing_.empty())                               \
      ZRV_SKIP_UNLESS_REQUIRED(zrv_missing_);                \
  } while (0)
