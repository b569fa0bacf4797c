// The rules behind the progress lines: what ZRVBUILD_PROGRESS asks for, how many commands a run
// will start, when the lines are shown, and the text of one line.
#include "run/progress.h"

#include <gtest/gtest.h>

#include <string>

TEST(Progress, RequestFromTheEnvironmentValue) {
  const struct {
    const char* value;
    progress_request request;
  } cases[] = {
      {nullptr, progress_request::on_terminal}, {"", progress_request::on_terminal},
      {"1", progress_request::always},          {"0", progress_request::never},
      {"2", progress_request::invalid},         {"yes", progress_request::invalid},
      {"true", progress_request::invalid},      {" 1", progress_request::invalid},
      {"1 ", progress_request::invalid},        {"01", progress_request::invalid},
      {"off", progress_request::invalid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value == nullptr ? "(unset)" : c.value);
    EXPECT_EQ(c.request, parse_progress_request(c.value));
  }
}

TEST(Progress, PlannedCommandCount) {
  const auto run_of = [](int fortran, int c, int cxx, const char* objects) {
    run_state run;
    run.fortran_files.assign(fortran, "f.f");
    run.c_files.assign(c, "c.c");
    run.cxx_files.assign(cxx, "x.cc");
    run.obj_files = objects;
    return run;
  };
  const struct {
    const char* name;
    run_state run;
    bool depend, link, strip;
    int count;
  } cases[] = {
      {"sources and the link", run_of(2, 3, 1, ""), false, true, false, 7},
      {"and the strip", run_of(2, 3, 1, ""), false, true, true, 8},
      {"named objects are linked too", run_of(0, 1, 0, " a.o"), false, true, false, 2},
      {"objects alone: the link only", run_of(0, 0, 0, " a.o b.o"), false, true, false, 1},
      {"objects alone, stripped", run_of(0, 0, 0, " a.o"), false, true, true, 2},
      {"libraries alone link nothing", run_of(0, 0, 0, ""), false, true, true, 0},
      {"compile only", run_of(2, 1, 1, " a.o"), false, false, true, 4},
      {"dependency files for C and C++ only", run_of(4, 2, 3, " a.o"), true, true, true, 5},
      {"no dependency files for Fortran", run_of(4, 0, 0, ""), true, true, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    run_state run = c.run;
    run.depend = c.depend;
    run.link = c.link;
    run.strip = c.strip;
    EXPECT_EQ(c.count, planned_command_count(run));
  }
}

TEST(Progress, ShownOnlyWhenAskedAndUseful) {
  const progress_request terminal = progress_request::on_terminal;
  const progress_request always = progress_request::always;
  const progress_request never = progress_request::never;
  const struct {
    progress_request request;
    bool terminal, echoing;
    int count;
    bool shown;
  } cases[] = {
      {terminal, true, false, 2, true},  {terminal, false, false, 2, false},
      {always, false, false, 2, true},   {always, true, false, 9, true},
      {never, true, false, 9, false},    {never, false, false, 9, false},
      {terminal, true, true, 9, false},  {always, false, true, 9, false},
      {terminal, true, false, 1, false}, {always, false, false, 1, false},
      {always, false, false, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.request) << " terminal " << c.terminal
                                      << " echoing " << c.echoing << " count " << c.count);
    EXPECT_EQ(c.shown, progress_shown(c.request, c.terminal, c.echoing, c.count));
  }
}

TEST(Progress, LineText) {
  EXPECT_EQ("[1/3] compiling src/a b.f90",
            progress_line(1, 3, command_kind::compile, "src/a b.f90"));
  EXPECT_EQ("[2/12] dependencies of x.cc",
            progress_line(2, 12, command_kind::dependencies, "x.cc"));
  EXPECT_EQ("[11/12] linking x.zrv", progress_line(11, 12, command_kind::link, "x.zrv"));
  EXPECT_EQ("[12/12] stripping x.zrv", progress_line(12, 12, command_kind::strip, "x.zrv"));
}
