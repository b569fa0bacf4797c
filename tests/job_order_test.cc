// Which parallel job waits for which, and the job-count and jobserver settings.
#include "phases/job_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phases/jobs.h"
#include "text/make_flags.h"

namespace {

using waits = std::vector<std::vector<std::size_t>>;

job_facts other(const std::string& output) {
  job_facts facts;
  facts.output = output;
  return facts;
}

job_facts fortran(const std::string& output, std::vector<std::string> defines,
                  std::vector<std::string> uses, bool opaque = false) {
  job_facts facts;
  facts.output = output;
  facts.fortran = true;
  facts.scan.defines = std::move(defines);
  facts.scan.uses = std::move(uses);
  facts.scan.opaque = opaque;
  return facts;
}

}  // namespace

TEST(JobOrder, TableOfCases) {
  const struct {
    const char* name;
    std::vector<job_facts> jobs;
    waits expected;
  } cases[] = {
      {"independent", {other("a.o"), other("b.o"), other("c.o")}, {{}, {}, {}}},
      {"same output in sequence",
       {other("x.o"), other("y.o"), other("x.o"), other("X.o")},
       {{}, {}, {0}, {2}}},
      {"use waits for the definer",
       {fortran("m.o", {"m"}, {}), fortran("u.o", {}, {"m"}), other("c.o")},
       {{}, {0}, {}}},
      {"a user listed before its module",
       {fortran("u.o", {}, {"m"}), fortran("v.o", {}, {}), fortran("m.o", {"m"}, {})},
       {{2}, {}, {}}},
      {"a module defined twice: definers in listed order, users after every definer",
       {fortran("u.o", {}, {"m"}), fortran("a.o", {}, {}), fortran("m1.o", {"m"}, {}),
        fortran("m2.o", {"m"}, {})},
       {{2, 3}, {}, {}, {2}}},
      {"an opaque source waits for the definers, not for every earlier source",
       {fortran("a.o", {}, {}), other("c.o"), fortran("m.o", {"m"}, {}),
        fortran("i.o", {}, {}, true)},
       {{}, {}, {}, {2}}},
      {"an opaque source waits for definers listed after it too",
       {fortran("i.o", {}, {}, true), fortran("m.o", {"m"}, {}), fortran("s.o", {"m:s"}, {"m"})},
       {{1, 2}, {}, {1}}},
      {"a module of an opaque source, its users listed first",
       {fortran("u1.o", {}, {"consts"}), fortran("u2.o", {}, {"consts", "kinds"}),
        fortran("kinds.o", {"kinds"}, {}), fortran("consts.o", {"consts"}, {}, true)},
       {{3}, {3, 2}, {}, {2}}},
      {"unknown modules wait for every opaque source, wherever listed",
       {fortran("u.o", {}, {"lib"}), fortran("i.o", {}, {}, true), fortran("a.o", {}, {}),
        fortran("k.o", {}, {"iso_c_binding"}), fortran("j.o", {}, {}, true)},
       {{1, 4}, {}, {}, {}, {1}}},
      {"a definer that uses an unknown module does not wait for an opaque source that waits for "
       "it",
       {fortran("i.o", {}, {}, true), fortran("d.o", {"d"}, {"mpi"}), fortran("u.o", {}, {"mpi"})},
       {{1}, {}, {0}}},
      {"a definer known to wait for an opaque source is not waited for by it",
       {fortran("d.o", {"d"}, {"o"}), fortran("o.o", {"o"}, {}, true)}, {{1}, {}}},
      {"submodule chain",
       {fortran("s.o", {"p:s"}, {"p"}), fortran("p.o", {"p"}, {}),
        fortran("l.o", {"p:l"}, {"p", "p:s"})},
       {{1}, {}, {1, 0}}},
      {"a chain of five modules listed backwards",
       {fortran("u.o", {}, {"m5"}), fortran("m5.o", {"m5"}, {"m4"}), fortran("m4.o", {"m4"}, {"m3"}),
        fortran("m3.o", {"m3"}, {"m2"}), fortran("m2.o", {"m2"}, {"m1"}), fortran("m1.o", {"m1"}, {})},
       {{1}, {2}, {3}, {4}, {5}, {}}},
      {"a circle falls back to the sequential order",
       {fortran("a.o", {"a"}, {"b"}), fortran("b.o", {"b"}, {"a"}), other("c.o")},
       {{}, {0}, {}}},
      {"a circle through an opaque source's own text does too",
       {fortran("x.o", {}, {}), fortran("a.o", {"a"}, {"b"}, true), fortran("b.o", {"b"}, {"a"})},
       {{}, {0}, {0, 1}}},
      {"one output for every source (-c -o)",
       {fortran("o.o", {}, {"m"}), fortran("o.o", {"m"}, {}), other("o.o")},
       {{}, {0}, {1}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, order_jobs(c.jobs)) << c.name;
}

TEST(JobCount, Parsing) {
  const struct {
    const char* value;
    bool valid;
    int count;
  } cases[] = {{nullptr, true, 1},
               {"", true, 1},
               {"1", true, 1},
               {"4", true, 4},
               {"007", true, 7},
               {"0", false, 1},
               {"-2", false, 1},
               {"+2", false, 1},
               {" 2", false, 1},
               {"2 ", false, 1},
               {"two", false, 1},
               {"1.5", false, 1},
               {"99999999999999999999999", true, 1 << 16}};
  for (const auto& c : cases) {
    int count = -1;
    EXPECT_EQ(c.valid, parse_job_count(c.value, count)) << (c.value ? c.value : "(unset)");
    EXPECT_EQ(c.count, count) << (c.value ? c.value : "(unset)");
  }
}

TEST(MakeFlags, Jobserver) {
  using kind = jobserver_auth::kind;
  const struct {
    const char* makeflags;
    kind form;
    std::string name;
    int read_fd;
    int write_fd;
  } cases[] = {
      {"", kind::none, "", -1, -1},
      {"-j2", kind::none, "", -1, -1},
      {" -j3 --jobserver-auth=fifo:/tmp/GMfifo12", kind::fifo, "/tmp/GMfifo12", -1, -1},
      {"j --jobserver-auth=3,4", kind::descriptors, "", 3, 4},
      {" -j2 --jobserver-fds=5,6 -j", kind::descriptors, "", 5, 6},
      {"--jobserver-auth=3,4 --jobserver-auth=fifo:/f", kind::fifo, "/f", -1, -1},
      {"--jobserver-auth=-2,-2", kind::none, "", -1, -1},
      {"--jobserver-auth=gmake_semaphore_1", kind::semaphore, "gmake_semaphore_1", -1, -1},
      {"--jobserver-auth=fifo:", kind::none, "", -1, -1},
      {"-j2 -- X=--jobserver-auth=3,4", kind::none, "", -1, -1},
      // make 4.3 escapes the blank of a variable holding " --jobserver-auth=3,4".
      {"-j2 -- X=a\\ --jobserver-auth=3,4", kind::none, "", -1, -1},
  };
  for (const auto& c : cases) {
    const jobserver_auth auth = parse_jobserver_auth(c.makeflags);
    EXPECT_EQ(c.form, auth.form) << c.makeflags;
    EXPECT_EQ(c.name, auth.name) << c.makeflags;
    if (c.form == kind::descriptors) {
      EXPECT_EQ(c.read_fd, auth.read_fd) << c.makeflags;
      EXPECT_EQ(c.write_fd, auth.write_fd) << c.makeflags;
    }
  }
}
