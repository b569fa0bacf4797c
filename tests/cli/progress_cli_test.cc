// Progress lines as users meet them. Fake tools print one diagnostic line each on standard
// error; through a pipe the output must stay exactly what it is without the feature, unless
// ZRVBUILD_PROGRESS=1 asks for the lines; through a real terminal (a tmux pane) the lines show
// up between the tools' own lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "build_constants.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/text_lines.h"
#include "support/token_flags.h"
#include "support/tools.h"

namespace {

// Every variable the commands read, set to a short token, so that no default shows.
const std::vector<std::string> token_environment =
    token_environment_with({"F77=gf", "CC=cc", "CXX=cx", "DL_LD=ld", "LD_CXX=ldx"});

const char* const tool_names[] = {"gf", "cc", "cx", "ld", "ldx", "strip"};

// The fake tool: names what it works on (the word after -o, else its last word) in a line on
// standard error and in the log, after a short pause when bin/slow exists, and exits with the
// number in bin/NAME.status (0 without it).
const char* const fake_tool_body = R"sh(bin=$(dirname "$0")
name=$(basename "$0")
on=; prev=
for word; do if [ "$prev" = -o ]; then on=$word; fi; prev=$word; done
[ -n "$on" ] || on=$word
if [ -f "$bin/slow" ]; then sleep 0.2; fi
echo "$name $on" >> "$bin/ran.log"
echo "$name: note on $on" >&2
if [ -f "$bin/$name.status" ]; then exit "$(cat "$bin/$name.status")"; fi
if [ "$FAIL_TOOL" = "$name" ]; then exit 2; fi
exit 0
)sh";


// The tools' diagnostic lines, in order.
std::string note(const std::string& tool, const std::string& on) {
  return tool + ": note on " + on;
}

const std::string compile_b_c = "cc -c -Icpp -fpic-c -Iinc -xc -O1    b.c -o b.o";
const std::string compile_x_cc = "cx -c -Icpp -fpic-x -Iinc -xcxx -O2    x.cc -o x.o";
const std::string link_b_x =
    "ld -Iinc -xcxx -O2 -shared  -o b.zrv  b.o x.o   -Llib -lzrvinterp -lzorvan -zo -zd";

// A scratch directory with the fake tools in bin/; the runs happen in the directory itself.
struct fake_tools {
  scratch_dir dir;
  std::string bin = dir.path("bin");

  fake_tools() {
    mkdir(bin.c_str(), 0755);
    for (const char* tool : tool_names)
      write_script(bin + "/" + tool, fake_tool_body);
  }

  void fail_tool(const std::string& tool, int status) {
    write_file(bin + "/" + tool + ".status", std::to_string(status));
  }

  std::string ran() const {
    return file_exists(bin + "/ran.log") ? read_file(bin + "/ran.log") : "";
  }

  // The environment of a run: the fake tools first on PATH, the tokens, then `extra`.
  std::vector<std::string> environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {"PATH=" + bin + ":" + tool_search_path()};
    env.insert(env.end(), token_environment.begin(), token_environment.end());
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  process_result run(const std::vector<std::string>& args,
                     const std::vector<std::string>& extra = {}) const {
    return run_zrvbuild(args, environment(extra), dir.root);
  }
};

struct pipe_case {
  const char* name;
  std::vector<std::string> args;
  const char* failing_tool;  // exits with 2, or nullptr
  std::string out, err;
  int status;
};

}  // namespace

// Through a pipe, by default and with ZRVBUILD_PROGRESS=0, both streams carry exactly what the
// program and its tools wrote before progress lines existed.
TEST(ProgressCli, PipeOutputIsUnchanged) {
  const pipe_case cases[] = {
      {"compile, link and strip",
       {"-s", "x.cc", "a.f", "b.c"},
       nullptr,
       "",
       lines({note("gf", "a.o"), note("cc", "b.o"), note("cx", "x.o"), note("ld", "x.zrv"),
              note("strip", "x.zrv")}),
       0},
      {"compile only",
       {"-c", "a.f", "b.c"},
       nullptr,
       "",
       lines({note("gf", "a.o"), note("cc", "b.o")}),
       0},
      {"dependency files",
       {"-M", "b.c", "x.cc", "a.f"},
       nullptr,
       "",
       lines({note("cc", "b.c"), note("cx", "x.cc")}),
       0},
      {"failing compile",
       {"a.f", "b.c", "x.cc"},
       "cc",
       "",
       lines({note("gf", "a.o"), note("cc", "b.o")}),
       2},
      {"failing link",
       {"-s", "b.c", "x.cc"},
       "ld",
       "",
       lines({note("cc", "b.o"), note("cx", "x.o"), note("ld", "b.zrv")}),
       2},
      {"stand-alone",
       {"--link-stand-alone", "-o", "prog", "a.f", "b.c"},
       nullptr,
       "",
       lines({note("gf", "a.o"), note("cc", "b.o"), note("ldx", "prog")}),
       0},
      {"verbose",
       {"-v", "b.c", "x.cc"},
       nullptr,
       lines({compile_b_c, compile_x_cc, link_b_x}),
       lines({note("cc", "b.o"), note("cx", "x.o"), note("ld", "b.zrv")}),
       0},
      {"dry run",
       {"-n", "b.c", "x.cc"},
       nullptr,
       lines({compile_b_c, compile_x_cc, link_b_x}),
       "",
       0},
  };
  for (const char* setting : {"", "ZRVBUILD_PROGRESS=0"}) {
    for (const pipe_case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + setting);
      fake_tools tools;
      if (c.failing_tool != nullptr)
        tools.fail_tool(c.failing_tool, 2);
      std::vector<std::string> extra;
      if (*setting != '\0')
        extra.push_back(setting);
      process_result r = tools.run(c.args, extra);
      EXPECT_EQ(c.out, r.out);
      EXPECT_EQ(c.err, r.err);
      EXPECT_EQ(c.status, r.status);
    }
  }
}

// ZRVBUILD_PROGRESS=1 shows the lines on a pipe too (for logs), one before each command; N is
// the plan and stays so when a command fails.
TEST(ProgressCli, LinesOnAPipeWhenAsked) {
  const std::string exe = build_constants::default_executable_name;
  const pipe_case cases[] = {
      {"compile, link and strip",
       {"-s", "x.cc", "a.f", "b.c"},
       nullptr,
       "",
       lines({"[1/5] compiling a.f", note("gf", "a.o"), "[2/5] compiling b.c", note("cc", "b.o"),
              "[3/5] compiling x.cc", note("cx", "x.o"), "[4/5] linking x.zrv", note("ld", "x.zrv"),
              "[5/5] stripping x.zrv", note("strip", "x.zrv"),
              "built x.zrv: 3 compiled, 1 linked in T s"}),
       0},
      {"compile only",
       {"-c", "a.f", "src/my b.c"},
       nullptr,
       "",
       lines({"[1/2] compiling a.f", note("gf", "a.o"), "[2/2] compiling src/my b.c",
              note("cc", "my b.o"), "compiled 2 in T s"}),
       0},
      {"dependency files",
       {"-M", "b.c", "x.cc", "a.f"},
       nullptr,
       "",
       lines({"[1/2] dependencies of b.c", note("cc", "b.c"), "[2/2] dependencies of x.cc",
              note("cx", "x.cc"), "wrote 2 dependency files in T s"}),
       0},
      {"failing compile",
       {"a.f", "b.c", "x.cc"},
       "cc",
       "",
       lines({"[1/4] compiling a.f", note("gf", "a.o"), "[2/4] compiling b.c", note("cc", "b.o"),
              "[2/4] compiling b.c failed (status 2)",
              "build failed: compiling b.c failed (status 2)"}),
       2},
      {"failing link",
       {"-s", "b.c"},
       "ld",
       "",
       lines({"[1/3] compiling b.c", note("cc", "b.o"), "[2/3] linking b.zrv", note("ld", "b.zrv"),
              "[2/3] linking b.zrv failed (status 2)",
              "build failed: linking b.zrv failed (status 2)"}),
       2},
      {"stand-alone with a name",
       {"--link-stand-alone", "-o", "prog", "b.c"},
       nullptr,
       "",
       lines({"[1/2] compiling b.c", note("cc", "b.o"), "[2/2] linking prog", note("ldx", "prog"),
              "built prog: 1 compiled, 1 linked in T s"}),
       0},
      {"stand-alone without a name",
       {"--link-stand-alone", "b.c", "-s"},
       nullptr,
       "",
       lines({"[1/3] compiling b.c", note("cc", "b.o"), "[2/3] linking " + exe, note("ldx", "-od"),
              "[3/3] stripping " + exe, note("strip", exe),
              "built " + exe + ": 1 compiled, 1 linked in T s"}),
       0},
      {"named objects",
       {"u.o", "v.o", "-s"},
       nullptr,
       "",
       lines({"[1/2] linking u.zrv", note("ld", "u.zrv"), "[2/2] stripping u.zrv",
              note("strip", "u.zrv"), "built u.zrv: 0 compiled, 1 linked in T s"}),
       0},
      {"a single command has nothing to follow",
       {"-c", "b.c"},
       nullptr,
       "",
       lines({note("cc", "b.o")}),
       0},
      {"none beside echoed commands",
       {"-v", "b.c", "x.cc"},
       nullptr,
       lines({compile_b_c, compile_x_cc, link_b_x}),
       lines({note("cc", "b.o"), note("cx", "x.o"), note("ld", "b.zrv")}),
       0},
      {"none in a dry run",
       {"-n", "b.c", "x.cc"},
       nullptr,
       lines({compile_b_c, compile_x_cc, link_b_x}),
       "",
       0},
  };
  for (const pipe_case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_tools tools;
    if (c.failing_tool != nullptr)
      tools.fail_tool(c.failing_tool, 2);
    process_result r = tools.run(c.args, {"ZRVBUILD_PROGRESS=1"});
    EXPECT_EQ(c.out, r.out);
    EXPECT_EQ(c.err, without_times(r.err));
    EXPECT_EQ(c.status, r.status);
  }
}

// A value other than 0 or 1 stops a run that would build anything before any command starts.
// The exits that build nothing (usage, version, help, -p, an unrecognised argument) behave as
// without the variable.
TEST(ProgressCli, BadValueStopsTheRun) {
  fake_tools tools;
  for (const char* value : {"2", "yes", "on", " ", "1 "}) {
    SCOPED_TRACE(std::string("[") + value + "]");
    const std::string setting = std::string("ZRVBUILD_PROGRESS=") + value;
    const std::string message =
        "zrvbuild: ZRVBUILD_PROGRESS must be 0 or 1, not \"" + std::string(value) + "\"\n";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"a.f", "b.c"},
                                                 {"-n", "b.c"},
                                                 {"-v", "-M", "b.c"},
                                                 {"-c", "b.c"},
                                                 {"libx.a"}}) {
      process_result r = tools.run(args, {setting});
      EXPECT_EQ("", r.out);
      EXPECT_EQ(message, r.err);
      EXPECT_EQ(1, r.status);
    }
    EXPECT_EQ("", tools.ran());

    const struct {
      std::vector<std::string> args;
      int status;
    } exits[] = {
        {{}, 1}, {{"--version"}, 0}, {{"-h"}, 0}, {{"-p", "CC"}, 0}, {{"b.c", "foo.txt"}, 1}};
    for (const auto& e : exits) {
      process_result with = tools.run(e.args, {setting});
      process_result without = tools.run(e.args);
      EXPECT_EQ(without.out, with.out);
      EXPECT_EQ(without.err, with.err);
      EXPECT_EQ(e.status, with.status);
      EXPECT_EQ(e.status, without.status);
    }
  }
}

namespace {

std::string single_quoted(const std::string& word) {
  return "'" + word + "'";
}

// A tmux server on a private socket, stopped when the test ends.
struct tmux_server {
  std::string tmux = find_tool("tmux");
  std::string socket;
  explicit tmux_server(const std::string& socket_path) : socket(socket_path) {}
  ~tmux_server() { command({"kill-server"}); }

  process_result command(const std::vector<std::string>& words) const {
    std::vector<std::string> argv = {tmux, "-S", socket, "-f", "/dev/null"};
    argv.insert(argv.end(), words.begin(), words.end());
    return run_program(argv, {std::string("PATH=") + tool_search_path(), "TERM=xterm"});
  }
};

// The visible text of a pane, without the blank lines below the last written one.
std::string pane_text(const tmux_server& server, const std::string& session) {
  std::string text = server.command({"capture-pane", "-p", "-t", session}).out;
  while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\n\n") == 0)
    text.pop_back();
  return text;
}

}  // namespace

// Through a real terminal: the lines appear in order, K counting up to N, each tool's line on a
// line of its own between them; ZRVBUILD_PROGRESS=0, -v and single commands show none.
TEST(ProgressCli, LinesOnATerminal) {
  ZRV_NEED_TOOLS("tmux");
  fake_tools tools;
  write_file(tools.bin + "/slow", "");
  const struct {
    const char* name;
    std::vector<std::string> extra;
    std::vector<std::string> args;
    std::string screen;
    int status;
    std::string redirect = "";  // appended to the run's command in the pane's shell
  } cases[] = {
      {"a build",
       {},
       {"-s", "x.cc", "a.f", "b.c"},
       lines({"[1/5] compiling a.f", note("gf", "a.o"), "[2/5] compiling b.c", note("cc", "b.o"),
              "[3/5] compiling x.cc", note("cx", "x.o"), "[4/5] linking x.zrv", note("ld", "x.zrv"),
              "[5/5] stripping x.zrv", note("strip", "x.zrv"),
              "built x.zrv: 3 compiled, 1 linked in T s"}),
       0},
      {"dependency files",
       {},
       {"-M", "b.c", "x.cc"},
       lines({"[1/2] dependencies of b.c", note("cc", "b.c"), "[2/2] dependencies of x.cc",
              note("cx", "x.cc"), "wrote 2 dependency files in T s"}),
       0},
      {"ZRVBUILD_PROGRESS=1",
       {"ZRVBUILD_PROGRESS=1"},
       {"b.c", "x.cc"},
       lines({"[1/3] compiling b.c", note("cc", "b.o"), "[2/3] compiling x.cc", note("cx", "x.o"),
              "[3/3] linking b.zrv", note("ld", "b.zrv"), "built b.zrv: 2 compiled, 1 linked in T s"}),
       0},
      {"ZRVBUILD_PROGRESS=0",
       {"ZRVBUILD_PROGRESS=0"},
       {"b.c", "x.cc"},
       lines({note("cc", "b.o"), note("cx", "x.o"), note("ld", "b.zrv")}),
       0},
      {"verbose",
       {},
       {"-v", "b.c", "x.cc"},
       lines({compile_b_c, note("cc", "b.o"), compile_x_cc, note("cx", "x.o"), link_b_x,
              note("ld", "b.zrv")}),
       0},
      {"a single command", {}, {"-c", "b.c"}, lines({note("cc", "b.o")}), 0},
      // Standard error decides, whatever standard output is.
      {"standard output elsewhere",
       {},
       {"b.c", "x.cc"},
       lines({"[1/3] compiling b.c", note("cc", "b.o"), "[2/3] compiling x.cc", note("cx", "x.o"),
              "[3/3] linking b.zrv", note("ld", "b.zrv"), "built b.zrv: 2 compiled, 1 linked in T s"}),
       0,
       " >stdout.txt"},
      {"a failure",
       {"FAIL_TOOL=cc"},
       {"b.c", "x.cc"},
       lines({"[1/3] compiling b.c", note("cc", "b.o"), "[1/3] compiling b.c failed (status 2)",
              "build failed: compiling b.c failed (status 2)"}),
       2},
      {"standard error elsewhere", {}, {"b.c", "x.cc"}, "\n", 0, " 2>stderr.txt"},
      {"a bad value",
       {"ZRVBUILD_PROGRESS=yes"},
       {"b.c", "x.cc"},
       lines({"zrvbuild: ZRVBUILD_PROGRESS must be 0 or 1, not \"yes\""}),
       1},
  };
  const scratch_dir& dir = tools.dir;
  tmux_server server(dir.path("tmux.sock"));
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string session = "run" + std::to_string(++index);
    const std::string status_file = dir.path(session + ".status");
    // The run's whole environment is given here: a pane starts with the server's.
    std::string script = "cd " + single_quoted(dir.root) + "\nenv -i";
    std::vector<std::string> env = tools.environment(c.extra);
    for (const std::string& entry : sanitizer_environment())
      env.push_back(entry);
    for (const std::string& entry : env)
      script += " " + single_quoted(entry);
    script += " " + single_quoted(ZRVBUILD_EXE);
    for (const std::string& arg : c.args)
      script += " " + single_quoted(arg);
    script += c.redirect;
    // The status goes to a file in one step; the pane then stays open for the capture.
    script += "\necho $? > " + single_quoted(status_file + ".tmp") + "\nmv " +
              single_quoted(status_file + ".tmp") + " " + single_quoted(status_file) +
              "\nexec sleep 60\n";
    write_file(dir.path(session + ".sh"), script);
    process_result started = server.command({"new-session", "-d", "-s", session, "-x", "200", "-y",
                                             "50", "sh " + dir.path(session + ".sh")});
    ASSERT_EQ(0, started.status) << started.err;
    // Waits for the run to end; a run that hangs is stopped by the limit of run_program.
    process_result waited = run_program(
        {"/bin/sh", "-c", "while [ ! -f \"$1\" ]; do sleep 0.05; done", "wait", status_file},
        {std::string("PATH=") + tool_search_path()});
    ASSERT_EQ(0, waited.status);
    EXPECT_EQ(std::to_string(c.status) + "\n", read_file(status_file));
    EXPECT_EQ(c.screen, without_times(pane_text(server, session)));
  }
}
