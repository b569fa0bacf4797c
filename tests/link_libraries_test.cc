// The library search a link command asks for: -L directories in order, -l requests with the
// file names each may be found under.
#include "text/link_libraries.h"

#include <gtest/gtest.h>

TEST(LinkLibraries, DirectoriesAndRequestsInTheirForms) {
  const library_search search = link_library_search(
      {"gcc", "-shared", "-o", "m.zrv", "a.o", "-Llibs", "-L", "more libs", "-lstat",
       "-l", "other", "-l:exact.a", "-Wl,-rpath,/x", "-lm", "-L"});
  EXPECT_EQ((std::vector<std::string>{"libs", "more libs"}), search.directories);
  ASSERT_EQ(4u, search.requests.size());
  EXPECT_EQ((std::vector<std::string>{"libstat.so", "libstat.a", "libstat.dll.a", "stat.dll.a",
                                      "stat.lib", "libstat.dll", "stat.dll"}),
            search.requests[0]);
  EXPECT_EQ("libother.so", search.requests[1][0]);
  EXPECT_EQ((std::vector<std::string>{"exact.a"}), search.requests[2]);
  EXPECT_EQ("libm.a", search.requests[3][1]);
}

TEST(LinkLibraries, OtherOptionsAskNothing) {
  const library_search search =
      link_library_search({"-", "-v", "-lm.", "-static", "-l", "-Lx", "lib.a", "-Wl,-lfoo"});
  // "-l" takes the next word as its name, whatever it is.
  EXPECT_EQ((std::vector<std::string>{}), search.directories);
  ASSERT_EQ(2u, search.requests.size());
  EXPECT_EQ("libm..so", search.requests[0][0]);
  EXPECT_EQ("lib-Lx.so", search.requests[1][0]);
}
