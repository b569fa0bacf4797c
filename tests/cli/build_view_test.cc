// Seeing a build: in a parallel run each command's output arrives whole, and ZRVBUILD_TRACE
// writes a trace in the Trace Event format, read back here by a JSON reader: one event per
// command, lanes no more than the jobs, no two events of a lane at once, module users after
// their definers, and a whole document after a failure and after an interruption.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/json_reader.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

// Every tool: prints five numbered lines on each stream, naming its source, with a pause before
// each; waits SRC.delay seconds; fails with SRC.fail's status; writes its -o operand.
const char* const tool_body = R"sh(out=; src=; prev=
for word; do
  [ "$prev" = -o ] && out=$word
  case $word in -* | @*) ;; *) [ "$prev" = -o ] || src=$word ;; esac
  prev=$word
done
for n in 1 2 3 4 5; do
  echo "$src out $n"
  echo "$src err $n" >&2
  sleep 0.02
done
[ -f "$src.delay" ] && sleep "$(cat "$src.delay")"
if [ -f "$src.fail" ]; then exit "$(cat "$src.fail")"; fi
[ -n "$out" ] && echo made > "$out"
exit 0
)sh";

struct build_dir {
  scratch_dir dir;
  std::string work = dir.path("work");

  build_dir() {
    mkdir(dir.path("bin").c_str(), 0755);
    mkdir(work.c_str(), 0755);
    for (const char* tool : {"fc", "cc", "ld"})
      write_script(dir.path("bin/") + tool, tool_body);
  }

  void put(const std::string& name, const std::string& content = "") const {
    write_file(work + "/" + name, content);
  }

  std::vector<std::string> env(const std::vector<std::string>& extra) const {
    std::vector<std::string> all = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin", "F77=fc",
                                    "CC=cc", "DL_LD=ld", "TMPDIR=" + dir.root};
    all.insert(all.end(), extra.begin(), extra.end());
    for (const std::string& entry : sanitizer_environment())
      all.push_back(entry);
    return all;
  }
};

struct span {
  std::string name, category;
  double start = 0, end = 0;
  int lane = 0;
  int status = -1;
  std::string command;
};

// The command events of a trace; false when the text is no whole trace document.
bool read_trace(const std::string& text, std::vector<span>& commands, json_value& document) {
  if (!json_reader(text).read(document))
    return false;
  for (const json_value& event : document.at("traceEvents").items) {
    if (event.at("ph").text != "X" || event.at("pid").number != 1)
      continue;
    span s;
    s.name = event.at("name").text;
    s.category = event.at("cat").text;
    s.start = event.at("ts").number;
    s.end = s.start + event.at("dur").number;
    s.lane = static_cast<int>(event.at("tid").number);
    const json_value& status = event.at("args").at("status");
    s.status = status.type == json_value::kind::number ? static_cast<int>(status.number) : -1;
    s.command = event.at("args").at("command").text;
    commands.push_back(s);
  }
  return true;
}

const span* find_span(const std::vector<span>& spans, const std::string& name) {
  for (const span& s : spans) {
    if (s.name == name)
      return &s;
  }
  return nullptr;
}

}  // namespace

// Two commands that write at once: each one's lines arrive together, on each stream.
TEST(BuildView, ParallelCommandsOutputArrivesWhole) {
  build_dir b;
  b.put("a.c");
  b.put("b.c");
  const process_result r =
      run_zrvbuild({"-c", "a.c", "b.c"}, b.env({"ZRVBUILD_JOBS=2"}), b.work);
  ASSERT_EQ(0, r.status) << r.err;
  for (const char* source : {"a.c", "b.c"}) {
    std::string out_block, err_block;
    for (int n = 1; n <= 5; ++n) {
      out_block += std::string(source) + " out " + std::to_string(n) + "\n";
      err_block += std::string(source) + " err " + std::to_string(n) + "\n";
    }
    EXPECT_NE(std::string::npos, r.out.find(out_block)) << r.out;
    EXPECT_NE(std::string::npos, r.err.find(err_block)) << r.err;
  }
  EXPECT_EQ(20u, static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n') +
                                          std::count(r.err.begin(), r.err.end(), '\n')));
}

TEST(BuildView, TraceOfAParallelBuild) {
  build_dir b;
  b.put("user.f90", "program p\nuse defs\nend program\n");
  b.put("defs.f90", "module defs\nend module\n");
  b.put("defs.f90.delay", "0.3");
  for (const char* source : {"a.c", "b.c", "c.c"})
    b.put(source);
  const std::string trace = b.dir.path("trace.json");
  const process_result r =
      run_zrvbuild({"user.f90", "defs.f90", "a.c", "b.c", "c.c"},
                   b.env({"ZRVBUILD_JOBS=2", "ZRVBUILD_TRACE=" + trace}), b.work);
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<span> commands;
  json_value document;
  ASSERT_TRUE(read_trace(read_file(trace), commands, document));
  EXPECT_EQ(2, document.at("otherData").at("jobs").number);
  std::vector<std::string> names;
  for (const span& s : commands)
    names.push_back(s.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"a.c", "b.c", "c.c", "defs.f90", "user.f90", "user.zrv"}),
            names);
  std::map<int, std::vector<span>> lanes;
  for (const span& s : commands) {
    EXPECT_GE(s.lane, 1);
    EXPECT_LE(s.lane, 2);
    EXPECT_EQ(0, s.status);
    EXPECT_NE(std::string::npos, s.command.find(s.name == "user.zrv" ? "ld " : s.name));
    EXPECT_EQ(s.name == "user.zrv" ? "link" : "compile", s.category);
    lanes[s.lane].push_back(s);
  }
  for (auto& lane : lanes) {
    std::sort(lane.second.begin(), lane.second.end(),
              [](const span& x, const span& y) { return x.start < y.start; });
    for (std::size_t i = 1; i < lane.second.size(); ++i)
      EXPECT_LE(lane.second[i - 1].end, lane.second[i].start) << lane.second[i].name;
  }
  const span* user = find_span(commands, "user.f90");
  const span* definer = find_span(commands, "defs.f90");
  ASSERT_TRUE(user != nullptr && definer != nullptr);
  EXPECT_GE(user->start, definer->end);
  // The phases and the user's wait are spans of their own.
  bool wait_seen = false, compile_phase_seen = false;
  for (const json_value& event : document.at("traceEvents").items) {
    wait_seen = wait_seen || event.at("name").text == "waits before user.f90";
    compile_phase_seen = compile_phase_seen || (event.at("cat").text == "phase" &&
                                                event.at("name").text == "compile");
  }
  EXPECT_TRUE(wait_seen);
  EXPECT_TRUE(compile_phase_seen);
}

TEST(BuildView, TraceOfARunThatFailsOrIsInterrupted) {
  {
    SCOPED_TRACE("a failure");
    build_dir b;
    b.put("a.c");
    b.put("b.c");
    b.put("b.c.fail", "3");
    const std::string trace = b.dir.path("trace.json");
    const process_result r =
        run_zrvbuild({"a.c", "b.c"}, b.env({"ZRVBUILD_TRACE=" + trace}), b.work);
    EXPECT_EQ(3, r.status);
    std::vector<span> commands;
    json_value document;
    ASSERT_TRUE(read_trace(read_file(trace), commands, document));
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(3, find_span(commands, "b.c")->status);
  }
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("interrupted, ZRVBUILD_JOBS=") + jobs);
    build_dir b;
    b.put("a.c");
    b.put("b.c");
    b.put("a.c.delay", "5");
    b.put("b.c.delay", "5");
    const std::string trace = b.dir.path("trace.json");
    started_program program = start_program(
        {ZRVBUILD_EXE, "a.c", "b.c"},
        b.env({std::string("ZRVBUILD_JOBS=") + jobs, "ZRVBUILD_TRACE=" + trace}), b.work);
    usleep(500 * 1000);
    kill(-program.pid, SIGINT);
    const process_result r = wait_program(program);
    EXPECT_EQ(SIGINT, r.signal);
    std::vector<span> commands;
    json_value document;
    ASSERT_TRUE(read_trace(read_file(trace), commands, document)) << read_file(trace);
    EXPECT_FALSE(commands.empty());
  }
}

// Found when the run starts, before anything is built.
TEST(BuildView, TraceFileThatCannotBeWritten) {
  build_dir b;
  b.put("a.c");
  const process_result r = run_zrvbuild(
      {"-c", "a.c"}, b.env({"ZRVBUILD_TRACE=" + b.dir.path("no/such/dir/t.json")}), b.work);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("zrvbuild: unable to write trace file " + b.dir.path("no/such/dir/t.json") +
                ": No such file or directory\n",
            r.err);
  EXPECT_EQ("", r.out);
  EXPECT_FALSE(file_exists(b.work + "/a.o"));
}
