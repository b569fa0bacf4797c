// The incremental build's rules on plain data: the record's text, the digest, the compilers'
// dependency output and the up-to-date decision.
#include "text/build_record.h"

#include <gtest/gtest.h>

namespace {

const long long second = 1000000000LL;

record_entry entry_of(const std::string& digest, const std::vector<recorded_file>& files) {
  record_entry entry;
  entry.digest = digest;
  entry.files = files;
  return entry;
}

recorded_file file_of(const std::string& name, long long size, long long time, bool made) {
  recorded_file file;
  file.name = name;
  file.facts.exists = true;
  file.facts.size = size;
  file.facts.time = time;
  file.facts.change_time = time + 1;
  file.facts.device = 2049;
  file.facts.inode = size * 7 + 1;
  file.made = made;
  return file;
}

build_record sample_record() {
  build_record record;
  record["my obj.o"] = entry_of(command_digest("cc -c \"my src.c\" -o \"my obj.o\""),
                                {file_of("my obj.o", 900, 50 * second + 7, true),
                                 file_of("my src.c", 120, 40 * second + 3, false),
                                 file_of("/usr/include/x $#.h", 0, -5, false)});
  recorded_file never_there;
  never_there.name = "incA/x $#.h";
  record["my obj.o"].files.push_back(never_there);
  record["mod.zrv"] = entry_of(command_digest("ld -o mod.zrv a.o"),
                               {file_of("mod.zrv", 1, 60 * second, true)});
  record["mod.zrv"].environment = {{"CPATH", "a dir:b\tdir"}, {"LIBRARY_PATH", ""}};
  record["mod.zrv"].programs = {file_of("/usr/bin/ccache", 70, 30 * second, false),
                                file_of("/opt/my tools/ld", 80, 20 * second, false)};
  return record;
}

}  // namespace

TEST(BuildRecord, TextReadsBackAsWritten) {
  const build_record record = sample_record();
  build_record read;
  ASSERT_TRUE(parse_build_record(build_record_text(record), read));
  ASSERT_EQ(record.size(), read.size());
  for (const auto& [output, entry] : record) {
    const record_entry& back = read.at(output);
    EXPECT_EQ(entry.digest, back.digest);
    EXPECT_EQ(entry.environment, back.environment);
    ASSERT_EQ(entry.programs.size(), back.programs.size());
    for (std::size_t i = 0; i < entry.programs.size(); ++i) {
      EXPECT_EQ(entry.programs[i].name, back.programs[i].name);
      EXPECT_TRUE(same_file_facts(entry.programs[i].facts, back.programs[i].facts)) << output;
    }
    ASSERT_EQ(entry.files.size(), back.files.size());
    for (std::size_t i = 0; i < entry.files.size(); ++i) {
      EXPECT_EQ(entry.files[i].name, back.files[i].name);
      EXPECT_EQ(entry.files[i].made, back.files[i].made);
      EXPECT_EQ(entry.files[i].facts.size, back.files[i].facts.size);
      EXPECT_TRUE(same_file_facts(entry.files[i].facts, back.files[i].facts)) << output;
    }
  }
  build_record empty;
  ASSERT_TRUE(parse_build_record(build_record_text(empty), read));
  EXPECT_TRUE(read.empty());
}

// Anything but a whole record of this version reads as no record at all.
TEST(BuildRecord, DamagedForeignOrCutRecordsAreRefused) {
  const std::string whole = build_record_text(sample_record());
  std::vector<std::string> damaged = {
      "",
      "zrvbuild build record 1\nend 0\n",
      // Version 2 recorded no programs: its entries cannot tell another compiler.
      "zrvbuild build record 2\nend 0\n",
      // Version 3 recorded no files looked for in vain: its entries cannot tell a header put
      // in a directory searched earlier.
      "zrvbuild build record 3\nend 0\n",
      "zrvbuild build record 5\nend 0\n",
      // A file looked for in vain before any entry, or without a name.
      "zrvbuild build record 4\nabsent a.h\nend 0\n",
      std::string(whole).replace(whole.find("absent incA/x $#.h"), 18, "absent "),
      // A program after the entry's files, or with a field missing.
      std::string(whole).insert(whole.find('\n', whole.find("made 1 ")) + 1, "program 1 2 3 4 5\tcc\n"),
      std::string(whole).replace(whole.find("program 70"), 11, "program 70\t"),
      // A field too many, or too few.
      std::string(whole).replace(whole.find("made 900"), 9, "made 900 1 "),
      std::string(whole).replace(whole.find("made 900"), 9, "made "),
      "# a Makefile\nall: x\n",
      whole + "extra\n",
      whole + whole,
      std::string(whole).replace(whole.find("end 2"), 5, "end 3"),
      std::string(whole).replace(whole.find("made 900"), 8, "made x00"),
      std::string(whole).replace(whole.find("made 900"), 8, "made -90"),
      std::string(whole).replace(whole.find("entry "), 6, "entries "),
      std::string(whole).replace(whole.find('\t'), 1, " "),
  };
  // Every cut ends the text early: a last line without its line end, or no end line.
  for (std::size_t length = 0; length < whole.size(); length += 7) damaged.push_back(whole.substr(0, length));
  damaged.push_back(whole.substr(0, whole.size() - 1));
  for (const std::string& text : damaged) {
    build_record read = sample_record();
    EXPECT_FALSE(parse_build_record(text, read)) << text;
    EXPECT_TRUE(read.empty());
  }
}

TEST(BuildRecord, NamesThatCannotBeWrittenLeaveTheirEntryOut) {
  build_record record;
  record["ok.o"] = entry_of("1:0", {file_of("ok.o", 1, 1, true)});
  record["line\nbreak.o"] = entry_of("1:0", {file_of("line\nbreak.o", 1, 1, true)});
  record["tab.o"] = entry_of("1:0", {file_of("tab.o", 1, 1, true), file_of("a\tb.h", 1, 1, false)});
  build_record read;
  ASSERT_TRUE(parse_build_record(build_record_text(record), read));
  ASSERT_EQ(1u, read.size());
  EXPECT_EQ(1u, read.count("ok.o"));
}

TEST(BuildRecord, DigestTellsCommandsApart) {
  EXPECT_EQ(command_digest("gcc -c a.c -o a.o"), command_digest("gcc -c a.c -o a.o"));
  const char* const commands[] = {"gcc -c a.c -o a.o", "gcc -c a.c -o a.o ", "gcc -c a.c  -o a.o",
                                  "gcc -O2 -c a.c -o a.o", "", "ccache gcc -c a.c -o a.o"};
  for (const char* a : commands) {
    for (const char* b : commands) {
      if (std::string(a) != b) {
        EXPECT_NE(command_digest(a), command_digest(b)) << a << "|" << b;
      }
    }
  }
}

TEST(BuildRecord, DependencyOutputAsCompilersWriteIt) {
  const struct {
    const char* text;
    std::vector<std::string> targets;
    std::vector<std::string> prerequisites;
  } cases[] = {
      {"a.o: a.c b.h\n", {"a.o"}, {"a.c", "b.h"}},
      {"my\\ obj.o: my\\ src.c \\\n /usr/include/x.h \\\n  dir/has\\#hash$$dollar.h\n",
       {"my obj.o"},
       {"my src.c", "/usr/include/x.h", "dir/has#hash$dollar.h"}},
      {"bar.mod bar.o bar.o: bar.f90 \\\n inc.fi\n", {"bar.mod", "bar.o", "bar.o"},
       {"bar.f90", "inc.fi"}},
      {"C:\\src\\a.o: C:\\src\\a.c \\\r\n C:\\inc\\b.h\r\n", {"C:\\src\\a.o"},
       {"C:\\src\\a.c", "C:\\inc\\b.h"}},
      // Phony targets after the compile's rule are not its files.
      {"a.o: a.c b.h\n\nb.h:\n", {"a.o"}, {"a.c", "b.h"}},
      {"a.o:\n", {"a.o"}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> targets;
    std::vector<std::string> prerequisites;
    EXPECT_TRUE(parse_dependency_output(c.text, targets, prerequisites)) << c.text;
    EXPECT_EQ(c.targets, targets) << c.text;
    EXPECT_EQ(c.prerequisites, prerequisites) << c.text;
  }
  for (const char* text : {"", "a.o a.c\n", ": a.c\n", "garbage"}) {
    std::vector<std::string> targets;
    std::vector<std::string> prerequisites;
    EXPECT_FALSE(parse_dependency_output(text, targets, prerequisites)) << text;
  }
}

TEST(BuildRecord, TimesAtOrAfterTheStartAreNotTrusted) {
  const long long start = 100 * second + 500;
  const struct {
    long long time;
    bool trusted;
  } cases[] = {
      {start - 1, true},         {start, false},          {start + 1, false},
      {start + 3600 * second, false},
      // A whole second may come from a file system that cuts times to seconds.
      {100 * second, false},     {99 * second, true},     {99 * second + 1, true},
  };
  for (const auto& c : cases) {
    file_facts facts;
    facts.exists = true;
    facts.time = c.time;
    EXPECT_EQ(c.trusted, facts_trusted(facts, start)) << c.time;
  }
  EXPECT_FALSE(facts_trusted(file_facts(), start));
}

TEST(BuildRecord, WhyAnOutputIsNotUpToDate) {
  const long long start = 1000 * second + 1;
  const record_entry entry = entry_of("D", {file_of("a.o", 10, 900 * second + 5, true),
                                            file_of("a.c", 20, 800 * second + 5, false),
                                            file_of("b.h", 30, 700 * second + 5, false)});
  auto facts = [](long long size, long long time) {
    file_facts f;
    f.exists = true;
    f.size = size;
    f.time = time;
    f.change_time = time + 1;
    f.device = 2049;
    f.inode = size * 7 + 1;
    return f;
  };
  // Size and modification time as recorded, another fact not.
  auto with = [&facts](long long size, long long time, long long file_facts::*field,
                       long long value) {
    file_facts f = facts(size, time);
    f.*field = value;
    return f;
  };
  const std::vector<file_facts> same = {facts(10, 900 * second + 5), facts(20, 800 * second + 5),
                                        facts(30, 700 * second + 5)};
  // The programs behind the command's words: another path, changed facts, one more or fewer.
  record_entry with_programs = entry;
  const recorded_file gcc = file_of("/usr/bin/gcc", 500, 100 * second + 1, false);
  const recorded_file ccache = file_of("/usr/bin/ccache", 400, 100 * second + 1, false);
  with_programs.programs = {ccache, gcc};
  recorded_file elsewhere = gcc;
  elsewhere.name = "/opt/bin/gcc";
  recorded_file rewritten = gcc;
  rewritten.facts.change_time += 1;
  recorded_file replaced = ccache;
  replaced.facts.inode += 1;
  const struct {
    std::vector<recorded_file> now;
    const char* reason;
  } programs[] = {
      {{ccache, gcc}, ""},
      {{ccache, elsewhere}, "the compiler /opt/bin/gcc changed"},
      {{ccache, rewritten}, "the compiler /usr/bin/gcc changed"},
      {{replaced, gcc}, "the compiler /usr/bin/ccache changed"},
      {{ccache}, "the compiler /usr/bin/gcc changed"},
      {{ccache, gcc, elsewhere}, "the compiler /opt/bin/gcc changed"},
      {{}, "the compiler /usr/bin/ccache changed"},
  };
  for (const auto& c : programs)
    EXPECT_EQ(c.reason, stale_reason(&with_programs, "D", {}, same, start, c.now)) << c.reason;
  EXPECT_EQ("the command changed", stale_reason(&with_programs, "E", {}, same, start, {}));
  EXPECT_EQ("", stale_reason(&entry, "D", {}, same, start));
  EXPECT_EQ("not recorded", stale_reason(nullptr, "D", {}, same, start));
  EXPECT_EQ("the command changed", stale_reason(&entry, "E", {}, same, start));
  EXPECT_EQ("not recorded", stale_reason(&entry, "D", {}, {same[0]}, start));
  // The tool environment: a variable set, unset or changed is named.
  record_entry in_environment = entry;
  in_environment.environment = {{"CPATH", "inc1"}, {"SOURCE_DATE_EPOCH", "1"}};
  const struct {
    tool_environment now;
    const char* reason;
  } environments[] = {
      {{{"CPATH", "inc1"}, {"SOURCE_DATE_EPOCH", "1"}}, ""},
      {{{"CPATH", "inc2"}, {"SOURCE_DATE_EPOCH", "1"}}, "CPATH changed"},
      {{{"SOURCE_DATE_EPOCH", "1"}}, "CPATH changed"},
      {{{"CPATH", "inc1"}, {"LIBRARY_PATH", ""}, {"SOURCE_DATE_EPOCH", "1"}},
       "LIBRARY_PATH changed"},
      {{{"CPATH", "inc1"}}, "SOURCE_DATE_EPOCH changed"},
  };
  for (const auto& c : environments)
    EXPECT_EQ(c.reason, stale_reason(&in_environment, "D", c.now, same, start));

  const struct {
    std::size_t index;
    file_facts now;
    const char* reason;
  } cases[] = {
      {0, file_facts(), "a.o is missing"},
      {0, facts(11, 900 * second + 5), "a.o changed"},
      {1, facts(20, 800 * second + 6), "a.c changed"},
      {2, facts(31, 700 * second + 5), "b.h changed"},
      {2, file_facts(), "b.h is missing"},
      // A time set back after an edit, a link pointed elsewhere, a file replaced.
      {1, with(20, 800 * second + 5, &file_facts::change_time, 950 * second), "a.c changed"},
      {2, with(30, 700 * second + 5, &file_facts::inode, 5), "b.h changed"},
      {2, with(30, 700 * second + 5, &file_facts::device, 2050), "b.h changed"},
      {0, with(10, 900 * second + 5, &file_facts::inode, 8), "a.o changed"},
  };
  for (const auto& c : cases) {
    std::vector<file_facts> now = same;
    now[c.index] = c.now;
    EXPECT_EQ(c.reason, stale_reason(&entry, "D", {}, now, start));
  }
  // A recorded input whose time is now at or after the start (a clock set ahead) is no
  // evidence; the command's own output may be as new as it likes.
  const record_entry ahead = entry_of("D", {file_of("a.o", 10, start + 5, true),
                                            file_of("b.h", 30, start + second, false)});
  EXPECT_EQ("b.h has a time not before this run",
            stale_reason(&ahead, "D", {}, {facts(10, start + 5), facts(30, start + second)}, start));
}

// A file looked for in vain keeps the output up to date while it stays absent; once it exists
// (of any size or time), the output is rebuilt.
TEST(BuildRecord, AFileLookedForInVainThatAppearsRebuilds) {
  const long long start = 1000 * second + 1;
  recorded_file earlier;
  earlier.name = "inc1/cfg.h";
  const record_entry entry = entry_of("D", {file_of("a.o", 10, 900 * second + 5, true),
                                            file_of("inc2/cfg.h", 30, 700 * second + 5, false),
                                            earlier});
  std::vector<file_facts> now = {entry.files[0].facts, entry.files[1].facts, file_facts()};
  EXPECT_EQ("", stale_reason(&entry, "D", {}, now, start));
  now[2] = entry.files[1].facts;
  EXPECT_EQ("inc1/cfg.h appeared", stale_reason(&entry, "D", {}, now, start));
  now[2] = file_facts();
  now[2].exists = true;
  EXPECT_EQ("inc1/cfg.h appeared", stale_reason(&entry, "D", {}, now, start));
}

// A compile up to date now is surely skipped unless a compile that runs may write what it read.
TEST(BuildRecord, OnlyCompilesNothingCanRemakeInputsForAreSurelySkipped) {
  const auto compile = [](const std::vector<std::string>& made,
                          const std::vector<std::string>& read) {
    std::vector<recorded_file> files;
    for (const std::string& name : made) files.push_back(file_of(name, 1, second, true));
    for (const std::string& name : read) files.push_back(file_of(name, 1, second, false));
    return entry_of("D", files);
  };
  const record_entry definer = compile({"d.o", "shapes.mod"}, {"d.F90"});
  const record_entry user = compile({"u.o"}, {"u.F90", "shapes.mod"});
  const record_entry dotted_user = compile({"v.o"}, {"v.F90", "./shapes.mod"});
  const record_entry foreign_user = compile({"w.o"}, {"w.F90", "inc/outside.mod", "x.inc"});
  const record_entry plain = compile({"p.o"}, {"p.c", "p.h"});
  const record_entry top_user = compile({"t.o"}, {"t.F90", "users.mod"});
  const record_entry user_defining = compile({"u.o", "users.mod"}, {"u.F90", "shapes.mod"});
  const record_entry header_reader = compile({"h.o"}, {"h.c", "gen.h"});
  const record_entry header_maker = compile({"g.o", "gen.h"}, {"g.c"});
  const struct {
    std::vector<const record_entry*> entries;
    std::vector<bool> up_to_date;
    std::vector<bool> expected;
    const char* why;
  } cases[] = {
      {{&definer, &user, &dotted_user, &foreign_user, &plain},
       {true, true, true, true, true},
       {true, true, true, true, true},
       "nothing runs: every module file stays as it is"},
      {{&user, &definer, &plain},
       {true, false, true},
       {false, false, true},
       "the definer runs, so its user may have to follow"},
      {{&dotted_user, &definer},
       {true, false},
       {false, false},
       "the same module file under another spelling"},
      {{&foreign_user, &plain, &definer},
       {true, true, false},
       {false, true, false},
       "a module file no compile up to date made may be made by one that runs"},
      {{&foreign_user, &plain, nullptr},
       {true, true, false},
       {false, true, false},
       "a compile without an entry may define any module"},
      {{&user, &definer, &plain},
       {true, true, false},
       {true, true, false},
       "a module file an up-to-date compile made stays as it is"},
      {{&top_user, &user_defining, &definer},
       {true, true, false},
       {false, false, false},
       "a chain: the definer runs, its user may run, and so may the user's user"},
      {{&top_user, &user_defining, &definer},
       {true, false, true},
       {false, false, true},
       "the middle of a chain runs"},
      {{&header_reader, &header_maker},
       {true, false},
       {false, false},
       "any file a compile that runs made, not only module files"},
      {{&header_reader, &header_maker},
       {true, true},
       {true, true},
       "the same, with both up to date"},
      {{nullptr, &plain}, {true, true}, {false, true}, "no entry is never sure"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, surely_skipped(c.entries, c.up_to_date)) << c.why;
}
