// The program starts, prints its fixed texts and composes a first command end to end.
#include <gtest/gtest.h>

#include "support/process.h"

TEST(Smoke, UsageVersionAndDryRun) {
  process_result usage = run_zrvbuild({});
  EXPECT_EQ("usage: zrvbuild [options] file ...\n", usage.out);
  EXPECT_EQ(1, usage.status);

  process_result version = run_zrvbuild({"--version"});
  EXPECT_EQ("zrvbuild, version " + built_version() + "\n", version.out);
  EXPECT_EQ(0, version.status);

  process_result dry = run_zrvbuild({"-n", "foo.cc"});
  EXPECT_EQ(0, dry.status);
  EXPECT_EQ(0u, dry.out.find("g++ -std=gnu++11 -c -I" + built_prefix() + "/include"));
}
