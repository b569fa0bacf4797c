// Every file zrvbuild opens, against what an attacker or an accident leaves under its name: a
// link to a victim's file (as root, and as an unprivileged user in a directory it cannot
// write), a directory, a fifo, a character device made with mknod (one that never ends, and a
// link to it), a full file system (a small tmpfs), and a missing or unwritable TMPDIR for the
// temporaries that need one. Each cell: the status and standard error exactly, the victim
// unchanged, the device still a device, and the run ended well within its time limit (a run
// that hangs is ended by SIGALRM, which no cell expects; nor 134, an abort).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

// Compilers and linkers: log "TOOL SOURCE OUT" to ran.log, print a make rule for -M, write the
// -o operand and the -MF list where they can.
const char* const tool_body = R"sh(bin=$(dirname "$0")
out=; list=; src=; prev=; depend=no
for word; do
  case $prev in -o) out=$word ;; -MF) list=$word ;; esac
  case $word in -M) depend=yes ;; -* | @*) ;; *) [ "$prev" = -o ] || [ "$prev" = -MF ] || src=$word ;; esac
  prev=$word
done
echo "$(basename "$0") $src $out" >> "$bin/ran.log"
if [ "$depend" = yes ]; then echo "${src%.*}.o: $src"; exit 0; fi
[ -n "$out" ] && { echo made > "$out"; } 2>/dev/null
[ -n "$list" ] && echo "$out: $src" > "$list"
exit 0
)sh";

const char* const victim_text = "the victim's own lines\n";
const unsigned time_limit = 20;  // seconds; every cell ends in well under one

enum class hazard {
  link_to_victim,               // as root, in a directory it can write
  link_to_victim_unprivileged,  // as nobody, in a directory it cannot write
  // A second name of a victim's file that nobody may write, in such a directory.
  hard_link_to_victim_unprivileged,
  directory,
  fifo,
  endless_device,          // mknod c 1 5, the zero device
  link_to_endless_device,  // a link to such a node
  full_file_system,        // the working directory a tmpfs with no room left
};

const char* hazard_name(hazard h) {
  switch (h) {
    case hazard::link_to_victim:
      return "a link to a victim's file";
    case hazard::link_to_victim_unprivileged:
      return "a link to a victim's file, unprivileged";
    case hazard::hard_link_to_victim_unprivileged:
      return "a hard link to a victim's file, unprivileged";
    case hazard::directory:
      return "a directory";
    case hazard::fifo:
      return "a fifo";
    case hazard::endless_device:
      return "a device that never ends";
    case hazard::link_to_endless_device:
      return "a link to a device that never ends";
    case hazard::full_file_system:
      return "a full file system";
  }
  return "?";
}

struct cell {
  const char* file;  // the file under test, as the trace shows it
  std::string name;  // planted in the working directory
  std::vector<std::string> args;
  std::vector<std::string> env;
  hazard what;
  int status;
  std::string err;
  std::string ran;  // the tools' log
  // What the name holds afterwards, when it is a plain file ("" to leave unchecked).
  std::string content = "";
};

const std::string record = ".zrvbuild-record";
const std::vector<std::string> record_env = {"ZRVBUILD_INCREMENTAL=1"};
const std::vector<std::string> trace_env = {"ZRVBUILD_TRACE=trace.json"};

std::string dep_message(const std::string& reason) {
  return "zrvbuild: unable to write dependency file a.d: " + reason + "\n";
}
std::string record_read(const std::string& reason) {
  return "zrvbuild: unable to read build record .zrvbuild-record: " + reason +
         "; everything is rebuilt\n";
}
std::string record_write(const std::string& reason) {
  return "zrvbuild: unable to write build record .zrvbuild-record: " + reason + "\n";
}
std::string trace_message(const std::string& reason) {
  return "zrvbuild: unable to write trace file trace.json: " + reason + "\n";
}

const std::string rules = "pic/a.o a.o a.d: a.c\n\n";
const std::string ran_depend = "cc a.c \n";
const std::string ran_depend_two = "cc a.c \ncc b.c \n";
const std::string ran_compile = "cc a.c a.o\n";

std::vector<cell> cells() {
  const std::vector<std::string> depend = {"-M", "a.c"};
  const std::vector<std::string> depend_two = {"-M", "a.c", "b.c"};
  const std::vector<std::string> jobs = {"ZRVBUILD_JOBS=2"};
  const std::vector<std::string> compile = {"-c", "a.c"};
  const std::vector<std::string> arguments = {"-c", "@args"};
  const std::string enxio = "No such device or address";
  const std::string eisdir = "Is a directory";
  const std::string enospc = "No space left on device";
  const std::string eacces = "Permission denied";
  std::vector<cell> all;
  for (hazard h : {hazard::link_to_victim, hazard::link_to_victim_unprivileged}) {
    const bool root = h == hazard::link_to_victim;
    // A writable directory: the link is replaced by a file of its own. One zrvbuild cannot
    // write: nothing is written through the link.
    all.push_back({"dependency file",
                   "a.d",
                   depend,
                   {},
                   h,
                   root ? 0 : 1,
                   root ? "" : dep_message(eacces),
                   ran_depend,
                   root ? rules : ""});
    all.push_back({"dependency file, two jobs", "a.d", depend_two, jobs, h, root ? 0 : 1,
                   root ? ""
                        : dep_message(eacces) +
                              "zrvbuild: unable to write dependency file b.d: " + eacces + "\n",
                   ran_depend_two, root ? rules : ""});
    // The victim's text is no record: everything is rebuilt, and the record written anew.
    all.push_back({"build record", record, compile, record_env, h, 0,
                   root ? "" : record_write(eacces), ran_compile});
    all.push_back({"trace", "trace.json", compile, trace_env, h, root ? 0 : 1,
                   root ? "" : trace_message(eacces), root ? ran_compile : ""});
  }
  // Where no temporary can be made, a file with another name is not written in place.
  const hazard hard = hazard::hard_link_to_victim_unprivileged;
  all.push_back({"dependency file", "a.d", depend, {}, hard, 1, dep_message(eacces), ran_depend});
  all.push_back(
      {"build record", record, compile, record_env, hard, 0, record_write(eacces), ran_compile});
  all.push_back({"trace", "trace.json", compile, trace_env, hard, 1, trace_message(eacces), ""});
  all.push_back({"dependency file",
                 "a.d",
                 depend,
                 {},
                 hazard::directory,
                 1,
                 dep_message(eisdir),
                 ran_depend});
  all.push_back({"dependency file, two jobs", "a.d", depend_two, jobs, hazard::directory, 1,
                 dep_message(eisdir), ran_depend_two});
  all.push_back({"build record", record, compile, record_env, hazard::directory, 0,
                 record_read(eisdir) + record_write(eisdir), ran_compile});
  all.push_back(
      {"trace", "trace.json", compile, trace_env, hazard::directory, 1, trace_message(eisdir), ""});
  all.push_back({"argument file",
                 "args",
                 arguments,
                 {},
                 hazard::directory,
                 1,
                 "zrvbuild: unable to read arguments from args: Is a directory\n",
                 ""});
  // A fifo nobody reads is never waited for; one named as an argument file is read from its
  // writer, as a pipeline hands over a list (the cell writes "a.c" into it).
  all.push_back(
      {"dependency file", "a.d", depend, {}, hazard::fifo, 1, dep_message(enxio), ran_depend});
  all.push_back({"dependency file, two jobs", "a.d", depend_two, jobs, hazard::fifo, 1,
                 dep_message(enxio), ran_depend_two});
  all.push_back({"build record", record, compile, record_env, hazard::fifo, 0,
                 record_read("not a regular file") + record_write(enxio), ran_compile});
  all.push_back(
      {"trace", "trace.json", compile, trace_env, hazard::fifo, 1, trace_message(enxio), ""});
  all.push_back({"argument file", "args", arguments, {}, hazard::fifo, 0, "", ran_compile});
  // A device is written in place and stays a device; it is never read.
  for (hazard h : {hazard::endless_device, hazard::link_to_endless_device}) {
    all.push_back({"dependency file", "a.d", depend, {}, h, 0, "", ran_depend});
    all.push_back({"dependency file, two jobs", "a.d", depend_two, jobs, h, 0, "", ran_depend_two});
    all.push_back({"build record", record, compile, record_env, h, 0,
                   record_read("not a regular file"), ran_compile});
    all.push_back({"trace", "trace.json", compile, trace_env, h, 0, "", ran_compile});
    all.push_back({"argument file",
                   "args",
                   arguments,
                   {},
                   h,
                   1,
                   "zrvbuild: unable to read arguments from args: not a regular file, pipe or "
                   "terminal\n",
                   ""});
  }
  // Nothing cut is ever put in place.
  all.push_back({"dependency file",
                 "a.d",
                 depend,
                 {},
                 hazard::full_file_system,
                 1,
                 dep_message(enospc),
                 ran_depend});
  all.push_back(
      {"dependency file, two jobs", "a.d", depend_two, jobs, hazard::full_file_system, 1,
       dep_message(enospc) + "zrvbuild: unable to write dependency file b.d: " + enospc + "\n",
       ran_depend_two});
  all.push_back({"build record", record, compile, record_env, hazard::full_file_system, 0,
                 record_write(enospc), ran_compile});
  all.push_back({"trace", "trace.json", compile, trace_env, hazard::full_file_system, 1,
                 trace_message(enospc), ran_compile});
  return all;
}

struct bench {
  scratch_dir dir;
  std::string bin = dir.path("bin");
  std::string work = dir.path("work");
  std::string victim = dir.path("victim");
  std::string program = ZRVBUILD_EXE;
  std::string temporary = dir.root;  // TMPDIR
  bool mounted = false;

  bench() {
    mkdir(bin.c_str(), 0755);
    mkdir(work.c_str(), 0755);
    for (const char* tool : {"cc", "ld"})
      write_script(bin + "/" + tool, tool_body);
    write_file(victim, victim_text);
  }
  ~bench() {
    if (mounted)
      umount(work.c_str());
  }

  // Made long ago, so that an incremental build trusts their times.
  void sources() const {
    for (const char* source : {"a.c", "b.c"}) {
      const std::string path = work + "/" + source;
      write_file(path, "");
      const struct timespec times[2] = {{1000000000, 5}, {1000000000, 5}};
      utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }

  std::string ran() const {
    return file_exists(bin + "/ran.log") ? read_file(bin + "/ran.log") : "";
  }

  std::vector<std::string> env(const std::vector<std::string>& extra) const {
    std::vector<std::string> all = {"PATH=" + bin + ":/usr/bin:/bin", "CC=cc", "DL_LD=ld",
                                    "ZRVBUILD_PROGRESS=0"};
    all.insert(all.end(), extra.begin(), extra.end());
    bool own_temporary = false;
    for (const std::string& entry : extra)
      own_temporary = own_temporary || entry.compare(0, 7, "TMPDIR=") == 0;
    if (!own_temporary)
      all.push_back("TMPDIR=" + temporary);
    for (const std::string& entry : sanitizer_environment())
      all.push_back(entry);
    return all;
  }

  // Makes everything an unprivileged user needs reachable: the program (the build tree may lie
  // where it cannot go), the tools and their log; the working directory stays root's.
  void open_to_nobody() {
    program = bin + "/zrvbuild";
    std::filesystem::copy_file(ZRVBUILD_EXE, program,
                               std::filesystem::copy_options::overwrite_existing);
    chmod(program.c_str(), 0755);
    chmod(dir.root.c_str(), 0755);
    write_file(bin + "/ran.log", "");
    chmod((bin + "/ran.log").c_str(), 0666);
    temporary = dir.path("tmp");
    mkdir(temporary.c_str(), 0755);
    chmod(temporary.c_str(), 01777);
    chmod(work.c_str(), 0555);
  }

  // Fills the working directory, a tmpfs of its own, to the last byte.
  bool fill_work() {
    if (mount("tmpfs", work.c_str(), "tmpfs", 0, "size=256k") != 0)
      return false;
    mounted = true;
    sources();
    std::FILE* filler = std::fopen((work + "/filler").c_str(), "w");
    if (filler == nullptr)
      return false;
    const std::string block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
    return true;
  }
};

bool is_char_device(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool is_fifo(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool is_link(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool is_directory(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The lines of a text in order, so that lines of parallel jobs compare in any order.
std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size())
    lines.push_back(text.substr(start) + " (no line end)");
  std::sort(lines.begin(), lines.end());
  return lines;
}

bool setpriv_works() {
  const std::vector<std::string> probe = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups", "/bin/true"};
  return access(probe[0].c_str(), X_OK) == 0 && run_program(probe, {}).status == 0;
}

}  // namespace

TEST(HostileFiles, EveryFileAgainstWhatMayStandUnderItsName) {
  if (geteuid() != 0)
    ZRV_SKIP_UNLESS_REQUIRED("not root: no mknod, mount or change of user");
  if (!setpriv_works())
    ZRV_SKIP_UNLESS_REQUIRED("no working setpriv to run as an unprivileged user");
  for (const cell& c : cells()) {
    SCOPED_TRACE(std::string(c.file) + " against " + hazard_name(c.what));
    bench b;
    const std::string planted = b.work + "/" + c.name;
    const std::string device = b.dir.path("zero");
    std::string preparation;
    switch (c.what) {
      case hazard::link_to_victim:
      case hazard::link_to_victim_unprivileged:
        ASSERT_EQ(0, symlink(b.victim.c_str(), planted.c_str()));
        break;
      case hazard::hard_link_to_victim_unprivileged:
        chmod(b.victim.c_str(), 0666);
        ASSERT_EQ(0, link(b.victim.c_str(), planted.c_str()));
        break;
      case hazard::directory:
        ASSERT_EQ(0, mkdir(planted.c_str(), 0755));
        break;
      case hazard::fifo:
        ASSERT_EQ(0, mkfifo(planted.c_str(), 0666));
        if (c.name == "args")
          preparation = "timeout 10 sh -c 'printf a.c > args' &\n";
        break;
      case hazard::endless_device:
        ASSERT_EQ(0, mknod(planted.c_str(), S_IFCHR | 0666, makedev(1, 5)));
        break;
      case hazard::link_to_endless_device:
        ASSERT_EQ(0, mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 5)));
        ASSERT_EQ(0, symlink(device.c_str(), planted.c_str()));
        break;
      case hazard::full_file_system:
        ASSERT_TRUE(b.fill_work()) << "a tmpfs could not be mounted and filled";
        break;
    }
    if (c.what != hazard::full_file_system)
      b.sources();
    std::vector<std::string> argv = {"/bin/sh", "-c", preparation + "exec \"$@\"", "sh"};
    if (c.what == hazard::link_to_victim_unprivileged ||
        c.what == hazard::hard_link_to_victim_unprivileged) {
      b.open_to_nobody();
      argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    argv.push_back(b.program);
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    child_setup setup;
    setup.time_limit = time_limit;
    const process_result r = run_program(argv, b.env(c.env), b.work, setup);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(sorted_lines(c.err), sorted_lines(r.err)) << r.err;
    EXPECT_EQ(sorted_lines(c.ran), sorted_lines(b.ran()));
    EXPECT_EQ(victim_text, read_file(b.victim));
    switch (c.what) {
      case hazard::link_to_victim:
        EXPECT_FALSE(is_link(planted)) << "the link was kept and written through";
        break;
      case hazard::link_to_victim_unprivileged:
        EXPECT_TRUE(is_link(planted));
        break;
      case hazard::hard_link_to_victim_unprivileged:
        break;
      case hazard::directory:
        EXPECT_TRUE(is_directory(planted));
        break;
      case hazard::fifo:
        EXPECT_TRUE(is_fifo(planted));
        break;
      case hazard::endless_device:
        EXPECT_TRUE(is_char_device(planted));
        EXPECT_FALSE(is_link(planted));
        break;
      case hazard::link_to_endless_device:
        EXPECT_TRUE(is_link(planted));
        EXPECT_TRUE(is_char_device(device));
        break;
      case hazard::full_file_system:
        EXPECT_FALSE(file_exists(planted)) << "a cut file was put in place";
        break;
    }
    if (!c.content.empty()) {
      EXPECT_EQ(c.content, read_file(planted));
    }
    // No temporary is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(b.work)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
    }
  }
}

// Where a temporary file is still needed (a response file for a long link, the compiler's list
// of what it read in an incremental build) and TMPDIR is missing or cannot be written: the
// message, status 1, and the command never runs.
TEST(HostileFiles, ATemporaryDirectoryThatCannotBeUsed) {
  std::vector<std::string> long_link;
  for (int i = 0; i < 3000; ++i)
    long_link.push_back("object_file_with_a_rather_long_name_number_" + std::to_string(i) + ".o");
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string ran;
  } uses[] = {
      {"a response file", long_link, {}, ""},
      {"the compiler's list", {"-c", "a.c"}, {"ZRVBUILD_INCREMENTAL=1"}, ""},
  };
  for (const auto& use : uses) {
    for (bool missing : {true, false}) {
      SCOPED_TRACE(std::string(use.what) + (missing ? ", missing" : ", read-only"));
      bench b;
      b.sources();
      const std::string temporary = b.dir.path(missing ? "none" : "read-only");
      if (!missing)
        mkdir(temporary.c_str(), 0555);
      std::vector<std::string> env = use.env;
      env.push_back("TMPDIR=" + temporary);
      child_setup setup;
      setup.time_limit = time_limit;
      setup.without_dac_override = true;  // root, too, meets the read-only directory
      const process_result r = run_zrvbuild(use.args, b.env(env), b.work, setup);
      EXPECT_EQ(1, r.status);
      EXPECT_EQ("zrvbuild: unable to create a temporary file in " + temporary + ": " +
                    (missing ? "No such file or directory" : "Permission denied") + "\n",
                r.err);
      EXPECT_EQ(use.ran, b.ran());
    }
  }
}

// A read stops at 256 MiB: a plain file past it (sparse, so it costs no disk) is refused at
// once, and so is a pipe that never ends once that much has come; a build record past it is
// ignored and everything is rebuilt.
TEST(HostileFiles, ReadsStopAtTheCap) {
  const long long cap = 256LL * 1024 * 1024;
  const struct {
    const char* what;
    std::string preparation;
    std::vector<std::string> args;
    std::vector<std::string> env;
    int status;
    std::string err;
    std::string ran;
  } cases[] = {
      {"an argument file past the cap",
       "truncate -s " + std::to_string(cap + 1) + " big\n",
       {"-c", "@big"},
       {},
       1,
       "zrvbuild: unable to read arguments from big: larger than 256 MiB\n",
       ""},
      {"an argument file just at the cap",
       "truncate -s " + std::to_string(cap) + " big\n",
       {"-c", "a.c", "@big"},
       {},
       0,
       "",
       ran_compile},
      {"a pipe that never ends",
       "yes a.c | ",
       {"-c", "@/dev/stdin"},
       {},
       1,
       "zrvbuild: unable to read arguments from /dev/stdin: larger than 256 MiB\n",
       ""},
      {"a build record past the cap",
       "truncate -s " + std::to_string(cap + 1) + " .zrvbuild-record\n",
       {"-c", "a.c"},
       {"ZRVBUILD_INCREMENTAL=1"},
       0,
       record_read("larger than 256 MiB"),
       ran_compile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bench b;
    b.sources();
    std::vector<std::string> argv = {"/bin/sh", "-c", c.preparation + "exec \"$@\"", "sh",
                                     ZRVBUILD_EXE};
    // A pipe's reader is started by the shell itself.
    if (c.preparation == "yes a.c | ")
      argv[2] = c.preparation + "\"$@\"";
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    child_setup setup;
    setup.time_limit = 60;  // far above the second or two of reading the cap
    const process_result r = run_program(argv, b.env(c.env), b.work, setup);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ(c.ran, b.ran());
  }
}

// A trace named as one of the process's own streams is written into that stream, whatever it
// is (here a plain file), and no file is made or replaced in /dev; as an unprivileged user, who
// could not replace anything there anyway.
TEST(HostileFiles, ATraceIntoTheProcesssOwnStream) {
  if (geteuid() != 0)
    ZRV_SKIP_UNLESS_REQUIRED("not root: no change of user");
  if (!setpriv_works())
    ZRV_SKIP_UNLESS_REQUIRED("no working setpriv to run as an unprivileged user");
  for (const char* stream : {"/dev/stderr", "/dev/fd/2", "/proc/self/fd/2", "/dev/fd/5"}) {
    SCOPED_TRACE(stream);
    bench b;
    b.sources();
    b.open_to_nobody();
    chmod(b.work.c_str(), 0777);
    const std::string into = b.work + "/stream";
    write_file(into, "");
    chmod(into.c_str(), 0666);
    const int descriptor = std::string(stream) == "/dev/fd/5" ? 5 : 2;
    const process_result r =
        run_program({"/bin/sh", "-c", "exec \"$@\" " + std::to_string(descriptor) + ">>stream",
                     "sh", "/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                     b.program, "-c", "a.c"},
                    b.env({std::string("ZRVBUILD_TRACE=") + stream}), b.work);
    EXPECT_EQ(0, r.status) << r.err;
    const std::string trace = read_file(into);
    EXPECT_EQ(0u, trace.find("{\"traceEvents\":[")) << trace;
    EXPECT_EQ(ran_compile, b.ran());
  }
}
