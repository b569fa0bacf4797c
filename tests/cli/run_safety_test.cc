// What an outsider can do to a run, sequential and parallel alike: links planted under the
// names of temporaries, descriptors that MAKEFLAGS calls a jobserver but are not, signals sent
// to the process alone or ignored when it starts, a child signal ignored by the parent, a small
// stack limit, and a disk that takes no more.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/interrupts.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

// Compilers and linkers that log "TOOL OUT" to ran.log, sleep for the seconds in the file
// "delay" when it exists, write their -o operand, and print a make rule for -M.
const char* const tool_body = R"sh(bin=$(dirname "$0")
out=; src=; prev=; depend=no
for word; do
  [ "$prev" = -o ] && out=$word
  case $word in -M) depend=yes ;; -* | @*) ;; *) [ "$prev" = -o ] || src=$word ;; esac
  prev=$word
done
echo "$(basename "$0") $out" >> "$bin/ran.log"
[ -f "$bin/delay" ] && sleep "$(cat "$bin/delay")"
if [ "$depend" = yes ]; then echo "${src%.*}.o: $src"; exit 0; fi
[ -n "$out" ] && echo "made" > "$out"
exit 0
)sh";

struct fixture {
  scratch_dir dir;
  std::string bin = dir.path("bin");
  std::string work = dir.path("work");

  fixture() {
    mkdir(bin.c_str(), 0755);
    mkdir(work.c_str(), 0755);
    for (const char* tool : {"cc", "ld", "strip"})
      write_script(bin + "/" + tool, tool_body);
    for (const char* source : {"a.c", "b.c", "c.c", "d.c"})
      write_file(work + "/" + source, "");
  }

  std::vector<std::string> env(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> all = {"PATH=" + bin + ":/usr/bin:/bin", "CC=cc", "DL_LD=ld",
                                    "TMPDIR=" + dir.root};
    all.insert(all.end(), extra.begin(), extra.end());
    for (const std::string& entry : sanitizer_environment())
      all.push_back(entry);
    return all;
  }

  std::string ran() const {
    return file_exists(bin + "/ran.log") ? read_file(bin + "/ran.log") : "";
  }

  // zrvbuild with args, started by /bin/sh after the shell's own preparation; the shell execs
  // it, so $$ in the preparation is zrvbuild's process id.
  process_result run_after(const std::string& preparation, const std::vector<std::string>& args,
                           const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> argv = {"/bin/sh", "-c", preparation + "\nexec \"$@\"", "sh",
                                     ZRVBUILD_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, env(extra), work);
  }
};

const std::vector<std::vector<std::string>> sequential_and_parallel = {{}, {"ZRVBUILD_JOBS=2"}};

}  // namespace

// A link planted under the name of the dependency file's temporary is neither followed nor
// reused: its target keeps its bytes, the dependency files are whole.
TEST(RunSafety, LinksPlantedUnderTemporaryNamesAreNotFollowed) {
  for (const auto& mode : sequential_and_parallel) {
    SCOPED_TRACE(mode.empty() ? "sequential" : mode[0]);
    fixture f;
    const std::string target = f.dir.path("target");
    write_file(target, "keep\n");
    const process_result result =
        f.run_after("for n in a b; do ln -s '" + target + "' .$n.d.tmp$$; ln -s '" + target +
                        "' .$n.d.tmp$$-output; done",
                    {"-M", "a.c", "b.c"}, mode);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("keep\n", read_file(target));
    EXPECT_EQ("pic/a.o a.o a.d: a.c\n\n", read_file(f.work + "/a.d"));
    EXPECT_EQ("pic/b.o b.o b.d: b.c\n\n", read_file(f.work + "/b.d"));
  }
}

// A regular file or a hard link to a victim's file planted under every name the dependency
// file's temporary may take: none is opened (the temporary is created exclusively), the
// victim keeps its bytes, and the file is refused with the message.
TEST(RunSafety, FilesPlantedUnderEveryTemporaryNameAreRefused) {
  for (const char* planted : {"regular file", "hard link"}) {
    SCOPED_TRACE(planted);
    fixture f;
    const std::string victim = f.dir.path("victim");
    write_file(victim, "keep\n");
    const std::string plant = std::string(planted) == "hard link"
                                  ? "ln '" + victim + "' \"$n\""
                                  : "printf 'planted\\n' > \"$n\"";
    const process_result result = f.run_after(
        "i=0; while [ $i -lt 100 ]; do n=.a.d.tmp$$-$i; [ $i = 0 ] && n=.a.d.tmp$$; " + plant +
            "; i=$((i + 1)); done",
        {"-M", "a.c"});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("zrvbuild: unable to write dependency file a.d: File exists\n", result.err);
    EXPECT_EQ("keep\n", read_file(victim));
    EXPECT_FALSE(file_exists(f.work + "/a.d"));
  }
}

// Two pipes that are not one pipe's two ends, on descriptors 3 and 4 as make would pass its
// own: no token is read from the one nor written to the other.
TEST(RunSafety, TwoPipesThatAreNotOneAreNoJobserver) {
  fixture f;
  const std::string tokens = f.dir.path("tokens");
  const std::string returned = f.dir.path("returned");
  ASSERT_EQ(0, mkfifo(tokens.c_str(), 0600));
  ASSERT_EQ(0, mkfifo(returned.c_str(), 0600));
  // Opened for reading and writing, neither open waits; each pipe is left with what it holds
  // afterwards, read without waiting.
  const process_result result = run_program(
      {"/bin/sh", "-c",
       "exec 3<>\"$1\" 4<>\"$2\"; printf TTT >&3; shift 2; \"$@\"; status=$?; "
       "echo \"left $(dd bs=1 count=16 iflag=nonblock <&3 2>/dev/null)\"; "
       "echo \"returned $(dd bs=1 count=16 iflag=nonblock <&4 2>/dev/null)\"; exit $status",
       "sh", tokens, returned, ZRVBUILD_EXE, "-c", "a.c", "b.c", "c.c", "d.c"},
      f.env({"ZRVBUILD_JOBS=4", "MAKEFLAGS=-j4 --jobserver-auth=3,4"}), f.work);
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("left TTT\nreturned \n", result.out);
  const std::string ran = f.ran();
  EXPECT_EQ(4, std::count(ran.begin(), ran.end(), '\n'));
}

// Standard input and output are pipes, but not make's token pipe: nothing is read from the one
// or written to the other, and the jobs run as ZRVBUILD_JOBS says.
TEST(RunSafety, StandardStreamsAreNoJobserver) {
  fixture f;
  const process_result result = run_program(
      {"/bin/sh", "-c", "printf SECRET | \"$@\" | cat", "sh", ZRVBUILD_EXE, "-c", "a.c", "b.c",
       "c.c", "d.c"},
      f.env({"ZRVBUILD_JOBS=4", "MAKEFLAGS= --jobserver-auth=0,1"}), f.work);
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.out);
  const std::string ran = f.ran();
  EXPECT_EQ(4, std::count(ran.begin(), ran.end(), '\n'));
}

// SIGINT and SIGQUIT sent to zrvbuild alone while commands run are ignored, as system() ignores
// them: the build completes.
TEST(RunSafety, InterruptsSentToTheProcessAloneAreIgnoredWhileCommandsRun) {
  for (int signal_number : {SIGINT, SIGQUIT}) {
    for (const auto& mode : sequential_and_parallel) {
      SCOPED_TRACE(std::to_string(signal_number) + (mode.empty() ? " sequential" : " parallel"));
      fixture f;
      write_file(f.bin + "/delay", "0.8");
      started_program program = start_program({ZRVBUILD_EXE, "a.c", "b.c"}, f.env(mode), f.work);
      usleep(300 * 1000);
      kill(program.pid, signal_number);
      const process_result result = wait_program(program);
      EXPECT_EQ(0, result.signal);
      EXPECT_EQ(0, result.status) << result.err;
      EXPECT_TRUE(file_exists(f.work + "/a.zrv"));
    }
  }
}

// Started with SIGINT ignored (in the background of a shell, say), zrvbuild keeps it ignored: a
// command that dies of SIGINT is a failing command, and the run ends with its status, not by
// the signal.
TEST(RunSafety, AnIgnoredInterruptStaysIgnored) {
  ZRV_NEED_TOOLS("perl");
  for (const auto& mode : sequential_and_parallel) {
    SCOPED_TRACE(mode.empty() ? "sequential" : mode[0]);
    fixture f;
    write_script(f.bin + "/cc", "exec perl -e '$SIG{INT} = \"DEFAULT\"; kill \"INT\", $$'\n");
    const process_result result = f.run_after("trap '' INT", {"-c", "a.c", "b.c"}, mode);
    EXPECT_EQ(0, result.signal);
    // The interpreter's status for a command ended by SIGINT, as any failure's status.
    EXPECT_EQ(128 + SIGINT, result.status);
  }
}

// The same at the platform layer, where the decision is made: a command interpreter that did
// die by an ignored SIGINT (one that execs its command does) does not end the run by it.
TEST(RunSafety, ACommandEndedByAnIgnoredInterruptDoesNotEndTheRun) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGINT, SIG_IGN);
    catch_interrupts();
    const int ended_by_sigint = SIGINT;  // the raw status of a process ended by the signal
    _exit(interrupting_signal(ended_by_sigint) == 0 && ignored_at_start(SIGINT) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Started with SIGCHLD ignored, as some daemons start their children, the commands' statuses
// are still collected: a successful build succeeds.
TEST(RunSafety, AnIgnoredChildSignalDoesNotLoseStatuses) {
  ZRV_NEED_TOOLS("perl");
  for (const auto& mode : sequential_and_parallel) {
    SCOPED_TRACE(mode.empty() ? "sequential" : mode[0]);
    fixture g;
    std::vector<std::string> argv = {find_tool("perl"), "-e", "$SIG{CHLD} = 'IGNORE'; exec @ARGV",
                                     ZRVBUILD_EXE, "-c", "a.c", "b.c"};
    const process_result ignored = run_program(argv, g.env(mode), g.work);
    EXPECT_EQ(0, ignored.status) << ignored.err;
    EXPECT_TRUE(file_exists(g.work + "/b.o"));
  }
}

// A response file that cannot be written whole (here a file size limit) ends the run with the
// message, and the link never runs on part of the list.
TEST(RunSafety, AResponseFileCutShortIsReported) {
  fixture f;
  std::vector<std::string> args = {"a.c"};
  for (int i = 0; i < 3000; ++i)
    args.push_back("object_file_with_a_rather_long_name_number_" + std::to_string(i) + ".o");
  const process_result result = f.run_after("trap '' XFSZ; ulimit -f 40", args);
  EXPECT_EQ(1, result.status);
  // The file named, with the system's reason.
  const std::string head = "zrvbuild: unable to write response file ";
  const std::string tail = ": File too large\n";
  ASSERT_EQ(0u, result.err.find(head)) << result.err;
  ASSERT_GT(result.err.size(), head.size() + tail.size()) << result.err;
  EXPECT_EQ(tail, result.err.substr(result.err.size() - tail.size())) << result.err;
  EXPECT_EQ("cc a.o\n", f.ran());
}

namespace {

// The largest count for which fits(count) holds, fits(low) holding and fits(high) not.
int largest_fitting(int low, int high, const std::function<bool(int)>& fits) {
  while (high - low > 1) {
    const int middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return low;
}

std::vector<std::string> numbered(const std::string& stem, int count, const std::string& end) {
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i)
    words.push_back(stem + std::to_string(100000 + i) + end);
  return words;
}

}  // namespace

// Under a small stack limit (ulimit -s 512: 128 KiB for arguments and environment) the limit is
// the kernel's own: a compile just under it runs, one just over is refused with the message, and
// the limit is far above half the space. A link just over goes through a response file.
TEST(RunSafety, TheCommandLimitIsTheKernelsUnderASmallStack) {
  fixture f;
  child_setup setup;
  setup.stack_limit = 512 * 1024;
  process_result last;
  auto compile_runs = [&](int count) {
    std::vector<std::string> args = {"-c", "a.c"};
    for (const std::string& word : numbered("-DA_LONGER_MACRO_NAME_", count, "=1"))
      args.push_back(word);
    unlink((f.bin + "/ran.log").c_str());
    last = run_zrvbuild(args, f.env(), f.work, setup);
    return last.status == 0;
  };
  const int most = largest_fitting(100, 10000, compile_runs);
  ASSERT_TRUE(compile_runs(most)) << last.err;
  EXPECT_EQ("cc a.o\n", f.ran());
  ASSERT_FALSE(compile_runs(most + 1));
  EXPECT_EQ("", f.ran());
  const std::string prefix = "zrvbuild: command too long for the command interpreter (";
  ASSERT_EQ(0u, last.err.find(prefix)) << last.err;
  const std::size_t length = std::stoul(last.err.substr(prefix.size()));
  // Each -D word takes 30 characters and a blank; the whole is past 64 KiB, half the space.
  EXPECT_GT(length, 80000u);

  auto link_is_direct = [&](int count) {
    std::vector<std::string> args = numbered("an_object_with_a_long_name_", count, ".o");
    unlink((f.bin + "/ran.log").c_str());
    last = run_zrvbuild(args, f.env({"ZRVBUILD_PROGRESS=0"}), f.work, setup);
    // The fake linker logs its -o operand; through a response file it runs all the same.
    return last.status == 0 && f.ran() == "ld an_object_with_a_long_name_100000.zrv\n" &&
           last.err.empty() && !file_exists(f.work + "/response-used");
  };
  write_script(f.bin + "/ld",
               std::string("for w; do case $w in @*) touch response-used ;; esac; done\n") +
                   tool_body);
  auto direct = [&](int count) {
    unlink((f.work + "/response-used").c_str());
    return link_is_direct(count);
  };
  const int most_objects = largest_fitting(100, 8000, direct);
  ASSERT_TRUE(direct(most_objects)) << last.err;
  unlink((f.work + "/response-used").c_str());
  ASSERT_FALSE(link_is_direct(most_objects + 1));
  EXPECT_EQ(0, last.status) << last.err;
  EXPECT_TRUE(file_exists(f.work + "/response-used"));
}
