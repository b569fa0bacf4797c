// The policy for every file zrvbuild opens, on plain descriptions of files.
#include "text/file_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

file_shape shape(file_kind kind, bool link = false, unsigned long names = 1) {
  file_shape s;
  s.kind = kind;
  s.link = link;
  s.names = names;
  return s;
}

const char* way_name(write_way way) {
  switch (way) {
    case write_way::replace:
      return "replace";
    case write_way::in_place:
      return "in place";
    case write_way::refuse:
      return "refuse";
  }
  return "?";
}

}  // namespace

TEST(FilePolicy, HowEachKindOfTargetIsWritten) {
  const struct {
    const char* what;
    file_shape target;
    write_way way;
    bool existing_may_be_written;  // where no temporary can be made
    bool may_be_removed;
  } cases[] = {
      {"nothing there", shape(file_kind::missing), write_way::replace, false, true},
      {"a plain file", shape(file_kind::regular), write_way::replace, true, true},
      {"a plain file with a second name", shape(file_kind::regular, false, 2), write_way::replace,
       false, true},
      {"a link to a plain file (a victim's)", shape(file_kind::regular, true), write_way::replace,
       false, true},
      {"a link to nothing", shape(file_kind::missing, true), write_way::replace, false, true},
      {"a directory", shape(file_kind::directory), write_way::refuse, false, false},
      {"a link to a directory", shape(file_kind::directory, true), write_way::replace, false, true},
      {"a fifo", shape(file_kind::fifo), write_way::in_place, false, false},
      {"a link to a fifo", shape(file_kind::fifo, true), write_way::in_place, false, false},
      {"a device (/dev/null)", shape(file_kind::device), write_way::in_place, false, false},
      {"a link to a device", shape(file_kind::device, true), write_way::in_place, false, false},
      {"a terminal", shape(file_kind::terminal), write_way::in_place, false, false},
      {"a socket", shape(file_kind::other), write_way::in_place, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_STREQ(way_name(c.way), way_name(choose_write(c.target)));
    EXPECT_EQ(c.existing_may_be_written, may_write_existing(c.target));
    EXPECT_EQ(c.may_be_removed, may_remove(c.target));
  }
}

TEST(FilePolicy, WhatEachReadTakes) {
  const std::string plain_only = "not a regular file";
  const std::string argument = "not a regular file, pipe or terminal";
  const struct {
    const char* what;
    file_shape source;
    long long size;
    std::string own_file;       // the refusal of a file read for zrvbuild itself
    std::string argument_file;  // and of @FILE
  } cases[] = {
      {"a plain file", shape(file_kind::regular), 100, "", ""},
      {"an empty plain file", shape(file_kind::regular), 0, "", ""},
      {"a plain file at the cap", shape(file_kind::regular), largest_read, "", ""},
      {"a plain file past the cap", shape(file_kind::regular), largest_read + 1,
       "larger than 256 MiB", "larger than 256 MiB"},
      {"a directory", shape(file_kind::directory), 0, "Is a directory", "Is a directory"},
      {"a fifo or pipe", shape(file_kind::fifo), 0, plain_only, ""},
      {"a terminal", shape(file_kind::terminal), 0, plain_only, ""},
      {"a device that never ends", shape(file_kind::device), 0, plain_only, argument},
      {"a socket", shape(file_kind::other), 0, plain_only, argument},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.own_file, read_refusal(c.source, read_use::own_file, c.size));
    EXPECT_EQ(c.argument_file, read_refusal(c.source, read_use::argument_file, c.size));
  }
}

TEST(FilePolicy, NamesOfThisProcesssOwnStreams) {
  const struct {
    const char* path;
    int descriptor;
  } cases[] = {
      {"/dev/stdin", 0},        {"/dev/stdout", 1},  {"/dev/stderr", 2},
      {"/dev/fd/1", 1},         {"/dev/fd/63", 63},  {"/proc/self/fd/2", 2},
      {"/proc/self/fd/17", 17}, {"/dev/null", -1},   {"/dev/fd/", -1},
      {"/dev/fd/x", -1},        {"/dev/fd/1/x", -1}, {"/dev/fd/123456", -1},
      {"/proc/1/fd/1", -1},     {"dev/stderr", -1},  {"/dev/stderr2", -1},
      {"trace.json", -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.descriptor, own_stream_descriptor(c.path)) << c.path;
}

TEST(FilePolicy, TheMessageForATemporaryThatCannotBeMade) {
  EXPECT_EQ("unable to create a temporary file in /nonexistent: No such file or directory",
            temporary_file_refusal("/nonexistent", "No such file or directory"));
}
