// Bad input and faults, as tables: huge and malformed arguments and environment values, compiler
// output that is not text, tools that crash or vanish, standard output that cannot be written,
// and a working directory that is read-only or disappears. Each case states what must happen;
// in every case nothing may be lost, and the program must not crash, hang or trip a sanitizer
// (run_zrvbuild fails the test on a sanitizer report, and a hung program is ended by SIGALRM).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "config/variable_table.h"
#include "driver/run_sequence.h"
#include "phases/compile.h"
#include "run/run_state.h"
#include "support/process.h"
#include "support/scratch.h"

namespace {

// The longest single argument or environment string Linux passes through exec: MAX_ARG_STRLEN
// (32 pages) counts the terminating NUL.
const std::size_t longest_exec_string = 128 * 1024 - 1;

// The exit status of a case that must fail without saying which status the tool chose.
const int any_failure = -1;

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool ends_with_text(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Compares texts of many megabytes without printing them: sizes and the first difference.
::testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual) {
  if (expected == actual)
    return ::testing::AssertionSuccess();
  std::string::size_type at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
    ++at;
  return ::testing::AssertionFailure()
         << "expected " << expected.size() << " bytes, got " << actual.size()
         << "; first difference at byte " << at << ": expected ..."
         << ::testing::PrintToString(expected.substr(at, 40)) << ", got ..."
         << ::testing::PrintToString(actual.substr(at, 40));
}

void expect_status(int expected, const process_result& result) {
  EXPECT_EQ(0, result.signal) << "zrvbuild itself was ended by a signal";
  if (expected == any_failure) {
    EXPECT_NE(0, result.status);
  } else {
    EXPECT_EQ(expected, result.status);
  }
}

// A working directory for zrvbuild and a bin directory of fake tools beside it. Every tool
// appends one line to the log (outside the working directory): its name and the C sources among
// its arguments. The compiler and the linker create their -o file, and fail when they cannot.
struct tool_bench {
  scratch_dir dir;
  std::string work = dir.path("work");
  std::string bin = dir.path("bin");
  std::string log = dir.path("log");

  tool_bench() {
    mkdir(work.c_str(), 0755);
    mkdir(bin.c_str(), 0755);
    tool("ld", "");
    tool("strip", "");
  }

  // A fake tool: the log line, then body; without a body of its own it writes its -o file.
  void tool(const std::string& name, const std::string& body) {
    const std::string prelude = "line=" + name +
                                "\n"
                                "out=; prev=\n"
                                "for a in \"$@\"; do\n"
                                "  case $a in *.c|*.cc) line=\"$line $a\";; esac\n"
                                "  [ \"$prev\" = -o ] && out=$a; prev=$a\n"
                                "done\n"
                                "echo \"$line\" >> '" +
                                log + "'\n";
    const std::string writes_output = "printf '' > \"$out\" || exit 1\n";
    write_script(bin + "/" + name, prelude + (body.empty() ? writes_output : body));
  }

  std::vector<std::string> env() const {
    return {"PATH=" + bin + ":/usr/bin:/bin", "CC=" + bin + "/cc", "DL_LD=" + bin + "/ld"};
  }

  std::vector<std::string> log_lines() const { return split_lines(read_file(log)); }
};

// ---------------------------------------------------------------------------------------------
// Arguments and environment values: huge, many, or not UTF-8. Every case is a dry run or -p, so
// nothing is started; what the program prints must hold every byte it was given, in order.

struct input_case {
  std::string name;
  std::string must;
  std::vector<std::string> args;
  std::vector<std::string> env;
  unsigned long stack_limit;  // 0: the inherited one
  std::function<void(const std::string& out)> check;
};

std::vector<std::string> numbered(const std::string& head, int count, const std::string& tail) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i)
    items.push_back(head + std::to_string(i) + tail);
  return items;
}

std::vector<std::string> long_defines(int count) {
  std::vector<std::string> defines;
  for (int i = 0; i < count; ++i) {
    std::string define = "-DD" + std::to_string(i) + "=";
    define.append(longest_exec_string - define.size(), static_cast<char>('a' + i % 26));
    defines.push_back(define);
  }
  return defines;
}

std::string blank_joined(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items)
    joined += " " + item;
  return joined;
}

// A dry run of a.c with these -D options prints the compile command, which ends with every one
// of them and the source, and then the link command.
input_case defines_case(const std::string& name, const std::string& must,
                        const std::vector<std::string>& defines, unsigned long stack_limit) {
  std::vector<std::string> args = {"-n"};
  args.insert(args.end(), defines.begin(), defines.end());
  args.push_back("a.c");
  const std::string tail = " " + blank_joined(defines) + " a.c -o a.o";
  return {name, must, args, {}, stack_limit, [tail](const std::string& out) {
            const std::vector<std::string> lines = split_lines(out);
            ASSERT_EQ(2u, lines.size());
            EXPECT_TRUE(ends_with_text(lines[0], tail)) << "compile command lost an argument";
            EXPECT_EQ(0u, lines[1].find("g++ -std=gnu++11 ")) << "link command missing";
          }};
}

std::vector<input_case> input_cases() {
  std::vector<input_case> cases;
  cases.push_back(defines_case("one argument of 128 KiB",
                               "the longest argument exec passes reaches the command whole",
                               long_defines(1), 0));
  cases.push_back(defines_case("arguments of 1 MiB",
                               "eight arguments of 128 KiB reach the command whole and in order",
                               long_defines(8), 0));
  // Exec refuses more than a quarter of the stack limit for arguments and environment together,
  // and never more than 6 MiB whatever the limit: 16 MB of arguments cannot reach any program
  // (the in-process test below covers 16 MiB). This is close to the most exec allows.
  cases.push_back(
      defines_case("arguments of 5.5 MiB",
                   "44 arguments of 128 KiB, near the kernel's 6 MiB, all reach the command",
                   long_defines(44), 64ul << 20));
  cases.push_back(defines_case("100,000 arguments", "100,000 options reach the command in order",
                               numbered("-Dd", 100000, ""), 0));
  {
    std::vector<std::string> args = numbered("s", 100000, ".c");
    args.insert(args.begin(), "-n");
    const std::string objects = blank_joined(numbered("s", 100000, ".o"));
    cases.push_back(
        {"100,000 sources",
         "one compile command per source, in order, and one link "
         "command naming every object",
         args,
         {},
         0,
         [objects](const std::string& out) {
           const std::vector<std::string> lines = split_lines(out);
           ASSERT_EQ(100001u, lines.size());
           for (int i = 0; i < 100000; ++i) {
             const std::string n = std::to_string(i);
             ASSERT_TRUE(ends_with_text(lines[i], " s" + n + ".c -o s" + n + ".o")) << "line " << i;
           }
           EXPECT_NE(std::string::npos, lines[100000].find(" -o s0.zrv " + objects + " "));
         }});
  }
  {
    // Eight environment values of 128 KiB, the longest exec passes, six in the compile command
    // and two in the link command.
    std::vector<std::string> names = {"CC",          "CPPFLAGS", "CPICFLAG", "INCFLAGS",
                                      "XTRA_CFLAGS", "CFLAGS",   "DL_LD",    "DL_LDFLAGS"};
    std::vector<std::string> env;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < names.size(); ++i) {
      values.push_back(
          std::string(longest_exec_string - names[i].size() - 1, static_cast<char>('A' + i)));
      env.push_back(names[i] + "=" + values.back());
    }
    const std::string compile = values[0] + " -c " + values[1] + " " + values[2] + " " + values[3] +
                                " " + values[4] + " " + values[5] + "    a.c -o a.o";
    const std::string link_head = values[6] + " ";
    const std::string link_flags = " " + values[7] + " ";
    cases.push_back({"environment values of 1 MiB",
                     "eight values of 128 KiB reach the commands whole, composed as configured",
                     {"-n", "a.c"},
                     env,
                     0,
                     [=](const std::string& out) {
                       const std::vector<std::string> lines = split_lines(out);
                       ASSERT_EQ(2u, lines.size());
                       EXPECT_TRUE(same_bytes(compile, lines[0]));
                       EXPECT_EQ(0u, lines[1].find(link_head));
                       EXPECT_NE(std::string::npos, lines[1].find(link_flags));
                     }});
  }
  cases.push_back({"arguments that are not UTF-8",
                   "bytes reach the commands and the module name unchanged",
                   {"-n", "-D\xc3\x28=\x80", "-Wl,\xfe\xff", "\xe2\x82.c"},
                   {},
                   0,
                   [](const std::string& out) {
                     const std::vector<std::string> lines = split_lines(out);
                     ASSERT_EQ(2u, lines.size());
                     EXPECT_TRUE(
                         ends_with_text(lines[0], "  -D\xc3\x28=\x80 \xe2\x82.c -o \xe2\x82.o"));
                     EXPECT_NE(std::string::npos,
                               lines[1].find(" -o \xe2\x82.zrv  \xe2\x82.o   -Wl,\xfe\xff "));
                   }});
  cases.push_back({"an environment value that is not UTF-8",
                   "-p prints the bytes unchanged",
                   {"-p", "CC"},
                   {"CC=\xff\xfe cc \x80\x01"},
                   0,
                   [](const std::string& out) { EXPECT_EQ("\xff\xfe cc \x80\x01\n", out); }});
  return cases;
}

TEST(Hardening, ArgumentsAndEnvironment) {
  for (const input_case& c : input_cases()) {
    SCOPED_TRACE(c.name + ": " + c.must);
    child_setup setup;
    setup.stack_limit = c.stack_limit;
    process_result result = run_zrvbuild(c.args, c.env, ".", setup);
    expect_status(0, result);
    EXPECT_EQ("", result.err);
    c.check(result.out);
  }
}

// Exec cannot carry 16 MB of arguments, but the walk and the composition must: in-process, one
// argument of 16 MiB and 128 arguments of 128 KiB reach the compile command whole.
TEST(Hardening, SixteenMebibytesOfArgumentsInProcess) {
  std::vector<std::string> args = {"zrvbuild", "-DHUGE=" + std::string(16u << 20, 'h')};
  for (const std::string& define : long_defines(128))
    args.push_back(define);
  args.push_back("a.c");
  std::vector<const char*> argv;
  for (const std::string& arg : args)
    argv.push_back(arg.c_str());

  run_state run;
  bool run_ended = false;
  EXPECT_EQ(0, prepare_run(static_cast<int>(argv.size()), argv.data(), run, run_ended));
  EXPECT_FALSE(run_ended);
  const std::vector<std::string> defines(args.begin() + 1, args.end() - 1);
  variable_table table;
  const std::string command = compose_compile_command(source_language::c, "a.c", "a.o", run, table);
  EXPECT_TRUE(ends_with_text(command, " " + blank_joined(defines) + " a.c -o a.o"));
  EXPECT_EQ((16u << 20) + 7 + 128 * longest_exec_string + 129, run.define_flags.size());
}

// ---------------------------------------------------------------------------------------------
// Compiler output in a dependency run (-M a.c): every byte that is not the rewritten target part
// is copied, one output line per line read.

struct compiler_output_case {
  const char* name;
  const char* must;
  const char* compiler;  // the fake compiler's body after its log line
  std::string dependency_file;
  int status;
};

std::vector<compiler_output_case> compiler_output_cases() {
  const std::string mebibytes_64(64u << 20, 'h');
  return {
      {"NUL bytes", "NUL bytes stay inside their line", "printf 'a.o: a.c x\\000y.h\\n'\n",
       std::string("pic/a.o a.o a.d: a.c x\0y.h\n\n", 28), 0},
      {"carriage returns", "a carriage return is an ordinary byte; only a line feed ends a line",
       "printf 'a.o: a.c \\\\\\r\\n b.h\\r\\n'\n", "pic/a.o a.o a.d: a.c \\\r\n b.h\r\n\n", 0},
      {"invalid UTF-8", "bytes that are not UTF-8 are copied, and '/' still splits the target",
       "printf 'd\\377/\\300\\301.o: \\376.c\\n'\n", "pic/\xc0\xc1.o \xc0\xc1.o a.d: \xfe.c\n\n",
       0},
      {"one line of 64 MiB", "the line is read and written whole",
       "printf 'a.o: '; head -c 67108864 /dev/zero | tr '\\000' h; printf '\\n'\n",
       "pic/a.o a.o a.d: " + mebibytes_64 + "\n\n", 0},
      {"no output, exit 1", "the file holds the one empty line read, and the status is 1",
       "exit 1\n", "\n", 1},
      {"standard output closed early",
       "what came before the close is kept; the compiler's failure is the status",
       "printf 'a.o: a.c\\n'\nexec 1>&-\nprintf 'b.h\\n' 2>/dev/null || exit 3\n",
       "pic/a.o a.o a.d: a.c\n\n", 3},
  };
}

TEST(Hardening, CompilerOutput) {
  for (const compiler_output_case& c : compiler_output_cases()) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.must);
    tool_bench bench;
    bench.tool("cc", c.compiler);
    process_result result = run_zrvbuild({"-M", "a.c"}, bench.env(), bench.work);
    expect_status(c.status, result);
    EXPECT_EQ("", result.out);
    EXPECT_TRUE(same_bytes(c.dependency_file, read_file(bench.work + "/a.d")));
    EXPECT_EQ(std::vector<std::string>{"cc a.c"}, bench.log_lines());
  }
}

// ---------------------------------------------------------------------------------------------
// Tools that crash, vanish or misbehave in a build of a.c and b.c into a module: the status is
// nonzero and nothing after the failing command runs.

struct failing_tool_case {
  const char* name;
  const char* must;
  std::vector<std::string> extra_args;
  const char* compiler;  // body of the fake compiler; nullptr: CC names no existing program
  const char* linker;    // body of the fake linker ("" writes its output)
  int status;
  std::vector<std::string> log;
};

std::vector<failing_tool_case> failing_tool_cases() {
  return {
      {"compiler killed by SIGKILL",
       "nonzero status; b.c is not compiled and nothing is linked",
       {},
       "kill -KILL $$\n",
       "",
       any_failure,
       {"cc a.c"}},
      {"compiler killed by SIGSEGV",
       "nonzero status; b.c is not compiled and nothing is linked",
       {},
       "kill -SEGV $$\n",
       "",
       any_failure,
       {"cc a.c"}},
      {"compiler that cannot be found",
       "the shell's 127; nothing else runs",
       {},
       nullptr,
       "",
       127,
       {}},
      {"compiler that closes its standard output early",
       "its failure is the status; nothing after it runs",
       {},
       "exec 1>&-\nprintf 'note\\n' 2>/dev/null || exit 4\n",
       "",
       4,
       {"cc a.c"}},
      {"compiler that writes nothing and exits 1",
       "status 1; nothing after it runs",
       {},
       "exit 1\n",
       "",
       1,
       {"cc a.c"}},
      {"linker killed by SIGSEGV",
       "nonzero status; the strip step does not run",
       {"-s"},
       "",
       "kill -SEGV $$\n",
       any_failure,
       {"cc a.c", "cc b.c", "ld"}},
      // One string handed to the shell is limited like an argument; the shell could not start,
      // so the command is refused with a message (tests/cli/long_commands_test.cc).
      {"command longer than exec allows",
       "status 1; nothing runs",
       {long_defines(1)[0]},
       "",
       "",
       1,
       {}},
  };
}

TEST(Hardening, FailingTools) {
  for (const failing_tool_case& c : failing_tool_cases()) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.must);
    tool_bench bench;
    std::vector<std::string> env = bench.env();
    if (c.compiler == nullptr) {
      env[1] = "CC=" + bench.dir.path("no-such-dir/cc");
    } else {
      bench.tool("cc", c.compiler);
    }
    bench.tool("ld", c.linker);
    std::vector<std::string> args = c.extra_args;
    args.push_back("a.c");
    args.push_back("b.c");
    process_result result = run_zrvbuild(args, env, bench.work);
    expect_status(c.status, result);
    EXPECT_EQ(c.log, bench.log_lines());
    EXPECT_FALSE(file_exists(bench.work + "/a.zrv"));
  }
}

// ---------------------------------------------------------------------------------------------
// Standard output that cannot be written: the status must not claim success.

const char* const write_error = "zrvbuild: error writing standard output\n";

enum class broken_output { full_device, pipe_without_reader };

struct output_case {
  const char* name;
  const char* must;
  std::vector<std::string> args;
  broken_output output;
  bool ignore_sigpipe;
  int status;  // when no signal ends the run
  int signal;  // the signal that must end the run, or 0
  std::string err;
  std::vector<std::string> log;
};

std::vector<output_case> output_cases() {
  const std::string unrecognized = "zrvbuild: unrecognized argument foo.txt\n";
  return {
      {"-p CC >/dev/full",
       "status 1 and the message, not 0 with the value lost",
       {"-p", "CC"},
       broken_output::full_device,
       false,
       1,
       0,
       write_error,
       {}},
      {"-h >/dev/full",
       "status 1 and the message",
       {"-h"},
       broken_output::full_device,
       false,
       1,
       0,
       write_error,
       {}},
      {"-p CC into a pipe without reader, SIGPIPE ignored",
       "status 1 and the message",
       {"-p", "CC"},
       broken_output::pipe_without_reader,
       true,
       1,
       0,
       write_error,
       {}},
      {"-p CC into a pipe without reader, SIGPIPE default",
       "SIGPIPE ends the process, as the shell then reports (141)",
       {"-p", "CC"},
       broken_output::pipe_without_reader,
       false,
       0,
       SIGPIPE,
       "",
       {}},
      {"dry run >/dev/full",
       "status 1 at the first command that cannot be shown",
       {"-n", "a.c", "b.c"},
       broken_output::full_device,
       false,
       1,
       0,
       write_error,
       {}},
      {"verbose run >/dev/full",
       "a command whose echo is lost does not run; status 1",
       {"-v", "a.c", "b.c"},
       broken_output::full_device,
       false,
       1,
       0,
       write_error,
       {}},
      {"verbose run into a pipe without reader, SIGPIPE ignored",
       "a command whose echo is lost does not run; status 1",
       {"-v", "a.c"},
       broken_output::pipe_without_reader,
       true,
       1,
       0,
       write_error,
       {}},
      {"warning lost before a dependency run",
       "no command starts after the lost warning",
       {"-largeArrayDims", "-M", "a.c"},
       broken_output::full_device,
       false,
       1,
       0,
       write_error,
       {}},
      {"lost warning and an unrecognized argument",
       "the run's own failure status is kept",
       {"-largeArrayDims", "foo.txt"},
       broken_output::full_device,
       false,
       1,
       0,
       unrecognized + write_error,
       {}},
  };
}

TEST(Hardening, OutputThatCannotBeWritten) {
  for (const output_case& c : output_cases()) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.must);
    tool_bench bench;
    bench.tool("cc", "");
    child_setup setup;
    setup.ignore_sigpipe = c.ignore_sigpipe;
    int pipe_ends[2] = {-1, -1};
    if (c.output == broken_output::full_device) {
      setup.stdout_fd = open("/dev/full", O_WRONLY);
    } else {
      ASSERT_EQ(0, pipe(pipe_ends));
      close(pipe_ends[0]);
      setup.stdout_fd = pipe_ends[1];
    }
    ASSERT_GE(setup.stdout_fd, 0);
    process_result result = run_zrvbuild(c.args, bench.env(), bench.work, setup);
    close(setup.stdout_fd);
    EXPECT_EQ(c.signal, result.signal);
    if (c.signal == 0) {
      EXPECT_EQ(c.status, result.status);
    }
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(c.log, bench.log_lines());
  }
}

// A reader that stops after one byte may leave before or after zrvbuild has written the help:
// either everything was written (0) or SIGPIPE ended the writer (141); never a lie either way.
TEST(Hardening, HelpIntoHeadOfOneByte) {
  scratch_dir dir;
  const std::string status_file = dir.path("status");
  std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
  for (const std::string& entry : sanitizer_environment())
    env.push_back(entry);
  process_result result = run_program(
      {"/bin/sh", "-c", "{ \"$0\" -h; echo $? > \"$1\"; } | head -c 1", ZRVBUILD_EXE, status_file},
      env);
  EXPECT_EQ("u", result.out);
  const std::string status = read_file(status_file);
  EXPECT_TRUE(status == "0\n" || status == "141\n") << status;
  EXPECT_EQ(std::string::npos, result.err.find("Sanitizer"));
}

// ---------------------------------------------------------------------------------------------
// A working directory that is read-only, or removed while the run goes on.

enum class directory_fault { read_only, removed_by_first_compile };

struct directory_case {
  const char* name;
  const char* must;
  std::vector<std::string> args;
  directory_fault fault;
  int status;
  // Standard error, all of it; with a removed directory, zrvbuild's own lines. More than one
  // where a race that zrvbuild cannot see decides.
  std::vector<std::string> err;
  std::vector<std::string> log;
};

// zrvbuild's own lines of standard error, in order, without what the shell and the tools said.
std::string lines_of_zrvbuild(const std::string& err) {
  std::string own;
  for (const std::string& line : split_lines(err))
    if (line.compare(0, 10, "zrvbuild: ") == 0)
      own += line + "\n";
  return own;
}

std::vector<directory_case> directory_cases() {
  return {
      {"read-only, build",
       "the compiler's failure is the status; nothing after it runs",
       {"a.c", "b.c"},
       directory_fault::read_only,
       1,
       {""},
       {"cc a.c"}},
      {"read-only, dependency files",
       "a message for each file that cannot be written, status 1",
       {"-M", "a.c", "b.c"},
       directory_fault::read_only,
       1,
       {"zrvbuild: unable to write dependency file a.d: Permission denied\n"
        "zrvbuild: unable to write dependency file b.d: Permission denied\n"},
       {"cc a.c", "cc b.c"}},
      {"removed by the first compile",
       "the next compile fails and nothing is linked",
       {"a.c", "b.c"},
       directory_fault::removed_by_first_compile,
       1,
       {""},
       {"cc a.c", "cc b.c"}},
      // a.d is opened before the compiler gets to remove the directory (or not: a race that
      // zrvbuild cannot see); b.d comes after the removal and cannot be created.
      {"removed during a dependency run",
       "a file that cannot be created: message, status 1",
       {"-M", "a.c", "b.c"},
       directory_fault::removed_by_first_compile,
       1,
       {"zrvbuild: unable to write dependency file b.d: No such file or directory\n",
        "zrvbuild: unable to write dependency file a.d: No such file or directory\n"
        "zrvbuild: unable to write dependency file b.d: No such file or directory\n"},
       {"cc a.c", "cc b.c"}},
  };
}

TEST(Hardening, WorkingDirectory) {
  for (const directory_case& c : directory_cases()) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.must);
    tool_bench bench;
    // The fake compiler prints a rule (for -M) and writes its object (for a build); when it
    // cannot, it fails without a word, so that standard error holds only what zrvbuild says.
    std::string compiler =
        "printf 'x.o: x.c\\n'\n"
        "[ -z \"$out\" ] || { printf '' > \"$out\"; } 2>/dev/null || exit 1\n";
    child_setup setup;
    if (c.fault == directory_fault::read_only) {
      chmod(bench.work.c_str(), 0555);
      setup.without_dac_override = true;  // root, too, must meet the read-only directory
    } else {
      compiler += "case $line in *a.c) rm -rf \"$PWD\";; esac\n";
    }
    bench.tool("cc", compiler);
    process_result result = run_zrvbuild(c.args, bench.env(), bench.work, setup);
    expect_status(c.status, result);
    // The shell may remark on a vanished working directory; zrvbuild's own lines are exact.
    const std::string err =
        c.fault == directory_fault::read_only ? result.err : lines_of_zrvbuild(result.err);
    EXPECT_NE(c.err.end(), std::find(c.err.begin(), c.err.end(), err))
        << "standard error: " << ::testing::PrintToString(result.err)
        << "\nexpected one of: " << ::testing::PrintToString(c.err);
    EXPECT_EQ(c.log, bench.log_lines());
    EXPECT_FALSE(file_exists(bench.work + "/a.zrv"));
  }
}

}  // namespace
