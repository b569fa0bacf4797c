// A parallel run is the sequential run reordered: every case below runs sequentially and with
// ZRVBUILD_JOBS=2 and 4, with fake tools that record their argument vectors, and the runs must
// agree on the multiset of argument vectors, every file left behind (names and bytes), the exit
// status, standard output and standard error (as a multiset of lines). The one allowed
// difference: commands that start beside a failure that the sequential run never reaches, which
// each case lists.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"

namespace {

// One tool for every role. It appends its name and arguments to the log as one record (a
// response file's words as its content) and to the time log when zrvbuild started it, sleeps for
// SRC.delay seconds, writes SRC.say to its standard error, fails (0.4 s later) with the status in
// SRC.fail after a message naming SRC, prints a make rule (and SRC.rules) for -M, and otherwise
// writes the source's name into its -o operand. SRC is its last operand that is no option.
// A failing tool leaves a watcher behind that logs when zrvbuild has reaped the process it
// started for the command (a zombie still answers kill -0): from then on zrvbuild knows of the
// failure. Times are clock ticks since boot, both taken by the kernel's clock, so a command
// started before the reaping never shows a later time however late its own shell ran.
const char* const tool_body = R"sh(log=$(dirname "$0")/../log/tools.log
record="== $(basename "$0")"
out=; src=; prev=; depend=no
for word; do
  case $word in
    @*) record="$record
@<$(cat "${word#@}")>" ;;
    *) record="$record
$word" ;;
  esac
  if [ "$prev" = -o ]; then out=$word; fi
  case $word in -M) depend=yes ;; -* | @*) ;; *) [ "$prev" = -o ] || src=$word ;; esac
  prev=$word
done
printf '%s\n' "$record" > "$log.$$"
cat "$log.$$" >> "$log"
rm -f "$log.$$"
times=$(dirname "$0")/../log/times.log
# The process zrvbuild started for this command: the interpreter, or this script where the
# interpreter gave way to it.
started=$$
while parent=$(sed 's/^.*) //' "/proc/$started/stat" | cut -d' ' -f2) && [ "$parent" -gt 1 ] &&
    [ "$(cat "/proc/$parent/comm")" != zrvbuild ]; do
  started=$parent
done
set -- $(sed 's/^.*) //' "/proc/$started/stat")
shift 19
echo "start $1 $src" >> "$times"
# In a parallel run, SRC.await names a failing source whose reaping this command waits for.
if [ -f "$src.await" ] && [ "${ZRVBUILD_JOBS:-1}" != 1 ]; then
  marker=$(dirname "$0")/../log/$(cat "$src.await" | tr / _).reaped
  tries=0
  while [ ! -e "$marker" ] && [ "$tries" -lt 3000 ]; do sleep 0.01; tries=$((tries + 1)); done
fi
if [ -f "$src.delay" ]; then sleep "$(cat "$src.delay")"; fi
if [ -f "$src.say" ]; then cat "$src.say" >&2; fi
if [ -f "$src.fail" ]; then
  # A failure takes a while, as a compile does: a command started beside it (whose own start
  # may lag behind under load) logs its start before the failure is logged.
  sleep 0.4
  echo "error in $src" >&2
  echo "failing $src" >> "$times"
  (
    while kill -0 "$started" 2>/dev/null; do sleep 0.01; done
    read -r up rest < /proc/uptime
    echo "reaped $(( ${up%.*} * $(getconf CLK_TCK) + ${up#*.} * $(getconf CLK_TCK) / 100 )) $src" >> "$times"
    : > "$(dirname "$times")/$(echo "$src" | tr / _).reaped"
  ) </dev/null >/dev/null 2>&1 &
  exit "$(cat "$src.fail")"
fi
if [ "$depend" = yes ]; then
  base=${src##*/}
  echo "${base%.*}.o: $src dep.h"
  if [ -f "$src.rules" ]; then cat "$src.rules"; fi
  exit 0
fi
if [ -n "$out" ]; then echo "made from $src" > "$out"; fi
exit 0
)sh";

struct run_outcome {
  std::multiset<std::string> records;
  std::map<std::string, std::string> files;
  int status = -1;
  int signal = 0;
  std::string out;
  std::multiset<std::string> err_lines;
  std::vector<std::string> temporaries;  // what the run left in TMPDIR
  // "start TICKS SRC", "failing SRC" and "reaped TICKS SRC", as logged
  std::vector<std::string> times;
};

std::multiset<std::string> split_records(const std::string& log) {
  std::multiset<std::string> records;
  std::string::size_type start = 0;
  while ((start = log.find("== ", start)) != std::string::npos) {
    std::string::size_type next = log.find("\n== ", start + 3);
    const std::string::size_type end = next == std::string::npos ? log.size() : next + 1;
    records.insert(log.substr(start, end - start));
    start = end;
  }
  return records;
}

std::multiset<std::string> split_lines(const std::string& text) {
  std::multiset<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.insert(line);
  return lines;
}

std::map<std::string, std::string> files_under(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().string().substr(root.size() + 1);
    files[relative] = entry.is_directory() ? "<directory>" : read_file(entry.path().string());
  }
  return files;
}

struct agreement_case {
  const char* name;
  std::vector<std::string> sources;  // created empty before the run (directories as needed)
  std::vector<std::string> args;
  std::map<std::string, std::string> marks;  // file -> content: SRC.fail, SRC.delay, X.d, ...
  std::vector<std::string> env;
  // Sources whose commands only a parallel run may start: listed after a failure.
  std::vector<std::string> beside_failure;
  bool read_only_directory = false;
  // TMPDIR is a file system of 64 KiB, full before the run starts (a tmpfs; root only).
  bool full_temporary = false;
  // With two jobs no slot frees before the failure is reaped (the others await it), so none of
  // the commands beside the failure may start at all.
  bool none_beside_at_two_jobs = false;
};

// Where the filler of a full TMPDIR lives; not a temporary of the run.
const char* const filler_name = "filler";

// A small tmpfs at dir, filled up; false where it cannot be mounted.
bool mount_full_file_system(const std::string& dir) {
  if (geteuid() != 0)
    return false;
  const std::string quoted = "'" + dir + "'";
  if (std::system(("mount -t tmpfs -o size=64k zrvbuild-test " + quoted + " 2>/dev/null").c_str()) != 0)
    return false;
  std::system(("dd if=/dev/zero of=" + quoted + "/" + filler_name + " bs=4k 2>/dev/null").c_str());
  return true;
}

// A diagnostic far larger than a pipe holds, in long lines.
std::string long_diagnostic() {
  std::string text;
  for (int line = 0; text.size() < 200 * 1024; ++line)
    text += "note " + std::to_string(line) + ": " + std::string(1000, 'd') + "\n";
  return text;
}

// Dependency rules far larger than a pipe holds.
std::string long_rules() {
  std::string text;
  for (int header = 0; header < 2000; ++header)
    text += " \\\n  include/header_number_" + std::to_string(header) + ".h";
  return text + "\n";
}

std::vector<std::string> many_objects(int count) {
  std::vector<std::string> objects;
  for (int i = 0; i < count; ++i)
    objects.push_back("object_file_with_a_rather_long_name_number_" + std::to_string(i) + ".o");
  return objects;
}

run_outcome run_case(const agreement_case& c, const std::string& jobs) {
  scratch_dir dir;
  const std::string work = dir.path("work");
  const std::string temporary = dir.path("tmp dir");
  for (const char* sub : {"bin", "log", "work", "tmp dir"})
    mkdir(dir.path(sub).c_str(), 0755);
  for (const char* tool : {"fc", "cc", "cxx", "ld", "strip"})
    write_script(dir.path("bin/") + tool, tool_body);
  for (const std::string& source : c.sources) {
    const std::string::size_type slash = source.rfind('/');
    if (slash != std::string::npos)
      mkdir((work + "/" + source.substr(0, slash)).c_str(), 0755);
    write_file(work + "/" + source, "");
  }
  for (const auto& mark : c.marks)
    write_file(work + "/" + mark.first, mark.second);
  std::vector<std::string> env = {"PATH=" + dir.path("bin") + ":/usr/bin:/bin",
                                  "TMPDIR=" + temporary,
                                  "F77=fc",
                                  "CC=cc",
                                  "CXX=cxx",
                                  "DL_LD=ld",
                                  "LD_CXX=ld"};
  if (!jobs.empty())
    env.push_back("ZRVBUILD_JOBS=" + jobs);
  for (const std::string& entry : c.env) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&name](const std::string& e) { return e.rfind(name, 0) == 0; }),
              env.end());
    env.push_back(entry);
  }
  bool mounted = false;
  if (c.full_temporary) {
    mounted = mount_full_file_system(temporary);
    if (!mounted) {
      run_outcome skipped;
      skipped.status = -2;
      return skipped;
    }
  }
  child_setup setup;
  if (c.read_only_directory) {
    chmod(work.c_str(), 0555);
    setup.without_dac_override = true;
  }
  const process_result result = run_zrvbuild(c.args, env, work, setup);
  chmod(work.c_str(), 0755);
  run_outcome outcome;
  const std::string log = dir.path("log/tools.log");
  outcome.records = split_records(file_exists(log) ? read_file(log) : "");
  outcome.files = files_under(work);
  outcome.status = result.status;
  outcome.signal = result.signal;
  outcome.out = result.out;
  outcome.err_lines = split_lines(result.err);
  for (const auto& entry : std::filesystem::directory_iterator(temporary)) {
    if (!mounted || entry.path().filename() != filler_name)
      outcome.temporaries.push_back(entry.path().string());
  }
  if (mounted)
    std::system(("umount '" + temporary + "'").c_str());
  // Each failing tool's watcher logs the reaping soon after; zrvbuild has reaped every command
  // before it exits.
  const std::string times = dir.path("log/times.log");
  for (int tries = 0; tries < 2000; ++tries) {
    const std::string text = file_exists(times) ? read_file(times) : "";
    outcome.times.clear();
    std::istringstream in(text);
    int failing = 0, reaped = 0;
    for (std::string line; std::getline(in, line);) {
      outcome.times.push_back(line);
      failing += line.rfind("failing ", 0) == 0;
      reaped += line.rfind("reaped ", 0) == 0;
    }
    if (reaped >= failing)
      break;
    usleep(10000);
  }
  return outcome;
}

bool names_any(const std::string& text, const std::vector<std::string>& sources) {
  for (const std::string& source : sources) {
    if (text.find(source) != std::string::npos)
      return true;
  }
  return false;
}

// A command listed after a failure may start beside it, never once zrvbuild has seen the
// failure: each start of such a command comes no later than the first reaping of a failed one.
void expect_none_started_after_a_failure(const run_outcome& outcome, const agreement_case& c) {
  long long first_reaped = -1;
  for (const std::string& line : outcome.times) {
    std::istringstream in(line);
    std::string word, source;
    long long ticks = 0;
    in >> word >> ticks >> source;
    if (word == "reaped" && (first_reaped < 0 || ticks < first_reaped))
      first_reaped = ticks;
  }
  if (first_reaped < 0)
    return;
  for (const std::string& line : outcome.times) {
    std::istringstream in(line);
    std::string word, source;
    long long ticks = 0;
    in >> word >> ticks >> source;
    if (word == "start" && names_any(source, c.beside_failure)) {
      EXPECT_LE(ticks, first_reaped) << source << " started after a failure";
    }
  }
}

// The parallel outcome less what the commands beside a failure added.
run_outcome without_beside_failure(run_outcome outcome, const agreement_case& c,
                                   const run_outcome& sequential) {
  for (auto it = outcome.records.begin(); it != outcome.records.end();) {
    const bool extra = outcome.records.count(*it) > sequential.records.count(*it);
    it = extra && names_any(*it, c.beside_failure) ? outcome.records.erase(it) : std::next(it);
  }
  for (auto it = outcome.err_lines.begin(); it != outcome.err_lines.end();)
    it = names_any(*it, c.beside_failure) && sequential.err_lines.count(*it) == 0
             ? outcome.err_lines.erase(it)
             : std::next(it);
  for (auto it = outcome.files.begin(); it != outcome.files.end();) {
    const bool extra = sequential.files.count(it->first) == 0 ||
                       sequential.files.at(it->first) != it->second;
    it = extra && names_any(it->second, c.beside_failure) ? outcome.files.erase(it)
                                                          : std::next(it);
  }
  return outcome;
}

std::vector<std::string> with(std::vector<std::string> first, const std::vector<std::string>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

const std::vector<agreement_case>& agreement_cases() {
  static const std::vector<agreement_case> cases = {
      {"names with blanks and other letters",
       {"my file.c", "Zoë.c", "b.cc", "x y.f90"},
       {"my file.c", "Zoë.c", "b.cc", "x y.f90", "-o", "módulo x"},
       {},
       {},
       {}},
      {"compile only into one object", {"a.c", "b.c"}, {"-c", "a.c", "b.c", "-o", "q.o"}, {}, {}, {}},
      {"the same base names", {"d1/s.c", "d2/s.c", "t.c"}, {"d1/s.c", "d2/s.c", "t.c"}, {}, {}, {}},
      {"stand-alone and stripped",
       {"a.c", "b.cc"},
       {"--link-stand-alone", "-s", "a.c", "b.cc", "-o", "prog"},
       {},
       {},
       {}},
      {"a MEX file", {"a.c", "b.c"}, {"--mex", "a.c", "b.c"}, {}, {}, {}},
      {"the first source fails",
       {"a.c", "b.c", "c.c"},
       {"a.c", "b.c", "c.c"},
       {{"a.c.fail", "2"}, {"a.c.delay", "0.3"}},
       {},
       {"b.c", "c.c"}},
      {"a source in the middle fails",
       {"a.c", "b.c", "c.c"},
       {"a.c", "b.c", "c.c"},
       {{"b.c.fail", "3"}, {"a.c.delay", "0.3"}},
       {},
       {"c.c"}},
      {"a source in the middle fails while an earlier one awaits its reaping",
       {"a.c", "b.c", "c.c"},
       {"a.c", "b.c", "c.c"},
       {{"b.c.fail", "3"}, {"a.c.await", "b.c"}},
       {},
       {"c.c"},
       false,
       false,
       true},
      {"a failure frees a job slot while an earlier source still runs",
       {"a.c", "b.c", "c.c", "d.c"},
       {"a.c", "b.c", "c.c", "d.c"},
       {{"a.c.await", "b.c"}, {"a.c.delay", "0.3"}, {"b.c.fail", "3"}},
       {},
       {"c.c", "d.c"},
       false,
       false,
       true},
      {"the last source fails",
       {"a.c", "b.c", "c.c"},
       {"a.c", "b.c", "c.c"},
       {{"c.c.fail", "4"}},
       {},
       {}},
      {"a slow earlier source and a later failure",
       {"d1/s.c", "d2/s.c", "t.c"},
       {"d1/s.c", "d2/s.c", "t.c"},
       {{"d1/s.c.delay", "0.5"}, {"d2/s.c.fail", "6"}, {"t.c.fail", "3"}},
       {},
       {"t.c"}},
      {"a Fortran user waits for its module's definer while a later C source fails",
       {"user.f90", "defs.f90", "late.c"},
       {"user.f90", "defs.f90", "late.c"},
       {{"user.f90", "program p\nuse defs\nend program\n"},
        {"defs.f90", "module defs\nend module\n"},
        {"defs.f90.delay", "0.3"},
        {"user.f90.fail", "5"},
        {"late.c.fail", "1"}},
       {},
       // The definer is listed after the failing user: in sequence it is never reached.
       {"late.c", "defs.f90"}},
      {"a compiler that is not there", {"a.c", "b.cc"}, {"a.c", "b.cc"}, {}, {"CXX=no-such-cxx"}, {}},
      {"objects and libraries on the command line",
       {"a.c", "b.c"},
       {"a.c", "x.o", "b.c", "libq.a", "-Lfoo", "-lbar", "-Wl,-z,defs"},
       {},
       {},
       {}},
      {"a link too long for the interpreter",
       {"a.c", "b.c"},
       with({"a.c", "b.c"}, many_objects(3000)),
       {},
       {},
       {}},
      {"dependency files of C and C++", {"a.c", "b.cc", "c.c"}, {"-M", "a.c", "b.cc", "c.c"}, {}, {}, {}},
      {"a failing dependency command",
       {"a.c", "b.cc", "c.c"},
       {"-M", "a.c", "b.cc", "c.c"},
       {{"b.cc.fail", "7"}},
       {},
       {}},
      {"dependency files where nothing new can be made",
       {"a.c", "b.cc"},
       {"-M", "a.c", "b.cc"},
       {{"a.d", "old\n"}, {"b.d", "old\n"}},
       {},
       {},
       true},
      {"no TMPDIR, which nothing needs",
       {"a.c", "b.cc", "c.f90"},
       {"a.c", "b.cc", "c.f90"},
       {{"b.cc.say", "a warning\n"}},
       {"TMPDIR=/nonexistent"},
       {}},
      {"dependency files without a TMPDIR",
       {"a.c", "b.cc"},
       {"-M", "a.c", "b.cc"},
       {},
       {"TMPDIR=/nonexistent"},
       {}},
      {"a diagnostic of 200 KB kept whole beside others",
       {"a.c", "b.c", "c.c"},
       {"-c", "a.c", "b.c", "c.c"},
       {{"a.c.say", long_diagnostic()}, {"b.c.say", long_diagnostic()}, {"c.c.say", "short\n"}},
       {},
       {}},
      {"long dependency rules and diagnostics with a full TMPDIR",
       {"a.c", "b.cc", "c.c"},
       {"-M", "a.c", "b.cc", "c.c"},
       {{"a.c.rules", long_rules()}, {"b.cc.rules", long_rules()}, {"c.c.say", long_diagnostic()}},
       {},
       {},
       false,
       true},
      {"compiles with a full TMPDIR",
       {"a.c", "b.c", "c.f90"},
       {"a.c", "b.c", "c.f90"},
       {{"a.c.say", long_diagnostic()}},
       {},
       {},
       false,
       true},
  };
  return cases;
}

// The lines without the one that explains a failed sequential Fortran compile by the order of
// the sources: a parallel run orders them by their modules and has nothing to explain.
std::multiset<std::string> without_order_hint(std::multiset<std::string> lines) {
  for (auto it = lines.begin(); it != lines.end();)
    it = it->find(" (listed later) defines; list ") != std::string::npos ? lines.erase(it)
                                                                          : std::next(it);
  return lines;
}

}  // namespace

TEST(JobsAgree, ParallelRunsAgreeWithTheSequentialRun) {
  for (const agreement_case& c : agreement_cases()) {
    SCOPED_TRACE(c.name);
    const run_outcome sequential = run_case(c, "");
    if (sequential.status == -2)
      continue;  // a full file system cannot be made here
    EXPECT_TRUE(sequential.temporaries.empty());
    for (const char* jobs : {"2", "4"}) {
      SCOPED_TRACE(std::string("ZRVBUILD_JOBS=") + jobs);
      const run_outcome whole = run_case(c, jobs);
      expect_none_started_after_a_failure(whole, c);
      if (c.none_beside_at_two_jobs && std::string(jobs) == "2") {
        for (const std::string& line : whole.times)
          EXPECT_FALSE(line.rfind("start ", 0) == 0 && names_any(line, c.beside_failure))
              << line << ": started beside a failure with no free slot";
      }
      const run_outcome parallel = without_beside_failure(whole, c, sequential);
      EXPECT_EQ(sequential.records, parallel.records);
      EXPECT_EQ(sequential.files, parallel.files);
      EXPECT_EQ(sequential.status, parallel.status);
      EXPECT_EQ(sequential.signal, parallel.signal);
      EXPECT_EQ(sequential.out, parallel.out);
      EXPECT_EQ(without_order_hint(sequential.err_lines), parallel.err_lines);
      EXPECT_TRUE(parallel.temporaries.empty());
    }
  }
}

// The agreement holds because the runs do what they should; a few outcomes pinned down so that
// two runs that are wrong alike cannot agree.
TEST(JobsAgree, TheSequentialOutcomesAreTheIntendedOnes) {
  const std::map<std::string, int> statuses = {
      {"the first source fails", 2},
      {"a source in the middle fails", 3},
      {"a failure frees a job slot while an earlier source still runs", 3},
      {"the last source fails", 4},
      {"a slow earlier source and a later failure", 6},
      {"a Fortran user waits for its module's definer while a later C source fails", 5},
      {"a compiler that is not there", 127},
      {"a failing dependency command", 7},
      {"dependency files where nothing new can be made", 0},
      {"names with blanks and other letters", 0},
      {"a link too long for the interpreter", 0},
      {"no TMPDIR, which nothing needs", 0},
      {"dependency files without a TMPDIR", 0},
      {"a diagnostic of 200 KB kept whole beside others", 0},
      {"long dependency rules and diagnostics with a full TMPDIR", 0},
  };
  for (const agreement_case& c : agreement_cases()) {
    if (statuses.count(c.name) == 0)
      continue;
    SCOPED_TRACE(c.name);
    const run_outcome sequential = run_case(c, "");
    EXPECT_EQ(statuses.at(c.name), sequential.status);
    if (std::string(c.name) == "names with blanks and other letters") {
      EXPECT_EQ(1u, sequential.files.count("módulo x.zrv"));
      bool linked_whole = false;
      for (const std::string& record : sequential.records)
        linked_whole = linked_whole || record.find("\nmy file.o\n") != std::string::npos;
      EXPECT_TRUE(linked_whole);
    }
    if (std::string(c.name) == "dependency files where nothing new can be made") {
      // Each line read, and the empty one at the end of the output, is a line of the file.
      EXPECT_EQ("pic/a.o a.o a.d: a.c dep.h\n\n", sequential.files.at("a.d"));
    }
    if (std::string(c.name) == "a diagnostic of 200 KB kept whole beside others") {
      // Every line whole, each diagnostic's lines together.
      EXPECT_EQ(2u, sequential.err_lines.count("note 200: " + std::string(1000, 'd')));
    }
    if (std::string(c.name) == "long dependency rules and diagnostics with a full TMPDIR" &&
        sequential.status != -2) {
      EXPECT_EQ("pic/a.o a.o a.d: a.c dep.h\n" + long_rules() + "\n", sequential.files.at("a.d"));
    }
    if (std::string(c.name) == "a link too long for the interpreter") {
      bool through_file = false;
      for (const std::string& record : sequential.records)
        through_file = through_file || record.find("\n@<") != std::string::npos;
      EXPECT_TRUE(through_file);
    }
  }
}
