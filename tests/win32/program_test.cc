// The Windows zrvbuild.exe end to end: printed variables with their directories rebased in
// backslash form, a dry run, real runs whose fake compiler, linker and strip program log their
// arguments and return chosen statuses, and dependency files written from a pipe. Windows
// programs end their text lines with "\r\n".
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

namespace {

std::string backslashed(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Short tool and flag settings, so that every piece of a command is easy to see.
const std::vector<std::string> short_settings = {
    "CC=fakecc",       "CXX=fakecxx",          "CPPFLAGS=-DCPP",    "INCFLAGS=-Iinc",
    "XTRA_CFLAGS=-x",  "XTRA_CXXFLAGS=-x",     "CFLAGS=-O1",        "CXXFLAGS=-O1",
    "DL_LD=fakeld",    "DL_LDFLAGS=-shared",   "LFLAGS=-Llib",      "ZRV_LINK_OPTS=opts",
    "ZRV_LINK_DEPS=deps"};

std::vector<std::string> with(std::vector<std::string> env, const std::string& entry) {
  env.push_back(entry);
  return env;
}

}  // namespace

TEST(Win32Program, PrintedVariables) {
  const std::string p = built_prefix();
  const std::string bp = backslashed(p);
  const std::string v = built_version();
  const std::string home = "ZORVAN_HOME=D:\\Zorvan";
  const struct {
    std::vector<std::string> env;
    const char* variable;
    std::string value;
  } cases[] = {
      {{}, "ZORVAN_HOME", p},
      {{}, "ZORVAN_PREFIX", p},
      {{}, "INCLUDEDIR", bp + "\\include"},
      {{}, "LIBDIR", bp + "\\lib"},
      {{}, "ZRVINCLUDEDIR", bp + "\\include\\zorvan-" + v + "\\zorvan"},
      {{}, "ZRVLIBDIR", bp + "\\lib\\zorvan\\" + v},
      {{}, "CPPFLAGS", "-I" + p + "/include"},
      {{home}, "ZORVAN_HOME", "D:\\Zorvan"},
      {{home}, "INCLUDEDIR", "D:\\Zorvan\\include"},
      {{home}, "ZRVLIBDIR", "D:\\Zorvan\\lib\\zorvan\\" + v},
      {{home}, "INCFLAGS",
       "-ID:\\Zorvan\\include\\zorvan-" + v + "\\zorvan\\.. -ID:\\Zorvan\\include\\zorvan-" + v +
           "\\zorvan -ID:\\Zorvan\\include"},
      {{home}, "LFLAGS", "-LD:\\Zorvan\\lib\\zorvan\\" + v + " -LD:\\Zorvan\\lib"},
      {{home}, "ZORVAN_PREFIX", p},
      {{home}, "CPPFLAGS", "-I" + p + "/include"},
      {{"ZORVAN_HOME=D:/Zorvan"}, "ZORVAN_HOME", "D:/Zorvan"},
      {{"ZORVAN_HOME=D:/Zorvan"}, "LIBDIR", "D:\\Zorvan\\lib"},
      {{home, "LIBDIR=E:/lib"}, "LIBDIR", "E:/lib"},
      {{"ZORVAN_HOME="}, "INCLUDEDIR", bp + "\\include"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.variable) + (c.env.empty() ? "" : " with " + c.env.back()));
    process_result run = run_zrvbuild({"-p", c.variable}, c.env);
    EXPECT_EQ(c.value + "\r\n", run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
  }
}

TEST(Win32Program, DryRunOfAModule) {
  scratch_dir dir;
  const std::string v = built_version();
  const std::string all_cxxflags = "-ID:\\Zorvan\\include\\zorvan-" + v +
                                   "\\zorvan\\.. -ID:\\Zorvan\\include\\zorvan-" + v +
                                   "\\zorvan -ID:\\Zorvan\\include -x -O1";
  const std::string lflags = "-LD:\\Zorvan\\lib\\zorvan\\" + v + " -LD:\\Zorvan\\lib";
  const std::vector<std::string> env = {
      "ZORVAN_HOME=D:\\Zorvan", "CXX=fakecxx",        "CPPFLAGS=-DCPP",     "XTRA_CXXFLAGS=-x",
      "CXXFLAGS=-O1",           "DL_LD=fakeld",       "DL_LDFLAGS=-shared", "ZRV_LINK_OPTS=opts",
      "ZRV_LINK_DEPS=deps"};
  const std::string log = install_fake_tool(dir.root, "fakecxx", 0);
  process_result run = run_zrvbuild({"-n", "foo.cc"}, env, dir.root);
  EXPECT_EQ("fakecxx -c -DCPP  " + all_cxxflags + "    foo.cc -o foo.o\r\n" +
                "fakeld " + all_cxxflags + " -shared  -o foo.zrv  foo.o   " + lflags +
                " -lzrvinterp -lzorvan opts deps\r\n",
            run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0, run.status);
  EXPECT_FALSE(file_exists(log));
}

TEST(Win32Program, RealRunsWithFakeTools) {
  const std::string compile_log = "-c\n-DCPP\n-Iinc\n-x\n-O1\nfoo.cc\n-o\nfoo.o\n--\n";
  const std::string link_log =
      "-Iinc\n-x\n-O1\n-shared\n-o\nfoo.zrv\nfoo.o\n-Llib\n-lzrvinterp\n-lzorvan\nopts\ndeps\n--\n";
  const std::string compile_command = "fakecxx -c -DCPP  -Iinc -x -O1    foo.cc -o foo.o";
  const std::string link_command =
      "fakeld -Iinc -x -O1 -shared  -o foo.zrv  foo.o   -Llib -lzrvinterp -lzorvan opts deps";
  const struct {
    const char* name;
    std::vector<std::string> args;
    int compile_status, link_status, strip_status;
    int status;
    std::string out, compiled, linked, stripped;
  } cases[] = {
      {"all succeed", {"foo.cc"}, 0, 0, 0, 0, "", compile_log, link_log, ""},
      {"compiler fails", {"foo.cc"}, 2, 0, 0, 2, "", compile_log, "", ""},
      {"linker aborts", {"foo.cc"}, 0, 3, 0, 3, "", compile_log, link_log, ""},
      {"verbose", {"-v", "foo.cc"}, 0, 0, 0, 0,
       compile_command + "\r\n" + link_command + "\r\n", compile_log, link_log, ""},
      {"strip aborts", {"-s", "foo.cc"}, 0, 0, 3, 3, "", compile_log, link_log, "foo.zrv\n--\n"},
      {"linker fails before strip", {"-s", "foo.cc"}, 0, 2, 0, 2, "", compile_log, link_log, ""},
      {"blank in the source name", {"-c", "my file.cc"}, 0, 0, 0, 0, "",
       "-c\n-DCPP\n-Iinc\n-x\n-O1\nmy file.cc\n-o\nmy file.o\n--\n", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const std::string compiler = install_fake_tool(dir.root, "fakecxx", c.compile_status);
    const std::string linker = install_fake_tool(dir.root, "fakeld", c.link_status);
    const std::string strip = install_fake_tool(dir.root, "strip", c.strip_status);
    process_result run = run_zrvbuild(c.args, short_settings, dir.root);
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(c.out, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(c.compiled, read_file(compiler));
    EXPECT_EQ(c.linked, read_file(linker));
    EXPECT_EQ(c.stripped, read_file(strip));
  }
}

TEST(Win32Program, DependencyFilesThroughAPipe) {
  scratch_dir dir;
  // The fake compilers print their rules as a Windows compiler does, in text mode.
  const std::string c_log = install_fake_tool(dir.root, "fakecc", 0, "foo.o: foo.c foo.h\r\n");
  const std::string cxx_log =
      install_fake_tool(dir.root, "fakecxx", 0, "obj/bar.o: my dir/bar.cc \\\r\n  bar.h\r\n");
  write_file(dir.path("foo.d"), "stale\r\n");
  process_result run = run_zrvbuild({"-M", "-n", "-v", "my dir\\bar.cc", "foo.c", "-DX"},
                                    with(short_settings, "DEPEND_FLAGS=-MM"), dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("-MM\n-DCPP\n-Iinc\n-x\n-O1\n-DX\nfoo.c\n--\n", read_file(c_log));
  EXPECT_EQ("-MM\n-DCPP\n-Iinc\n-x\n-O1\n-DX\nmy dir\\bar.cc\n--\n", read_file(cxx_log));
  EXPECT_EQ("pic/foo.o foo.o foo.d: foo.c foo.h\r\n\r\n", read_file(dir.path("foo.d")));
  EXPECT_EQ("pic/bar.o bar.o bar.d: my dir/bar.cc \\\r\n  bar.h\r\n\r\n",
            read_file(dir.path("bar.d")));
}

TEST(Win32Program, DependencyFileLeavesNoTemporary) {
  scratch_dir dir;
  install_fake_tool(dir.root, "fakecc", 0, "foo.o: foo.c\r\n");
  process_result run = run_zrvbuild({"-M", "foo.c"}, short_settings, dir.root);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("pic/foo.o foo.o foo.d: foo.c\r\n\r\n", read_file(dir.path("foo.d")));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.root)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"fakecc.exe", "fakecc.log", "fakecc.out", "fakecc.status",
                                      "foo.d"}),
            names);
}

TEST(Win32Program, CommandEndedByCtrlCEndsTheRun) {
  // STATUS_CONTROL_C_EXIT: the compiler was ended by Ctrl-C. Nothing more runs, and zrvbuild
  // ends as the run-time's default SIGINT action ends a program.
  scratch_dir dir;
  const int control_c_exit = static_cast<int>(0xC000013AUL);
  const std::string compiler = install_fake_tool(dir.root, "fakecxx", control_c_exit);
  const std::string linker = install_fake_tool(dir.root, "fakeld", 0);
  process_result run = run_zrvbuild({"foo.cc", "bar.cc"}, short_settings, dir.root);
  EXPECT_EQ(3, run.status);
  EXPECT_EQ("-c\n-DCPP\n-Iinc\n-x\n-O1\nfoo.cc\n-o\nfoo.o\n--\n", read_file(compiler));
  EXPECT_EQ("", read_file(linker));
}

TEST(Win32Program, DryRunsQuoteEveryNameWithABlank) {
  const struct {
    std::vector<std::string> args;
    std::string in_output;
  } cases[] = {
      {{"-n", "-c", "C:\\Users\\Jane Doe\\my a.f90"},
       " \"C:\\Users\\Jane Doe\\my a.f90\" -o \"my a.o\"\r\n"},
      {{"-n", "my a.c", "b.cc", "-o", "my m"},
       "fakeld -Iinc -x -O1 -shared  -o \"my m.zrv\"  \"my a.o\" b.o   -Llib "},
      {{"-n", "-s", "a.c", "-o", "C:\\Jane Doe\\m"}, "\r\nstrip \"C:\\Jane Doe\\m.zrv\"\r\n"},
      {{"-n", "--link-stand-alone", "a.c", "-o", "my p"},
       " -o \"my p\"  a.o   -Llib -lzrvinterp -lzorvan "},
      {{"-n", "--link-stand-alone", "-s", "a.c", "-o", "my p"}, "\r\nstrip \"my p.exe\"\r\n"},
      {{"-n", "-c", "-idirafter", "C:\\Jane Doe\\inc", "a.c"},
       " -idirafter \"C:\\Jane Doe\\inc\"  a.c -o a.o\r\n"},
      {{"-n", "-c", "-D\"A B\"", "a.c"}, "  -D\"A B\" a.c -o a.o\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    process_result run =
        run_zrvbuild(c.args, with(with(short_settings, "F77=fakef"), "LD_CXX=fakeldx"));
    EXPECT_NE(std::string::npos, run.out.find(c.in_output)) << run.out;
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
  }
}

TEST(Win32Program, LinkOverTheInterpretersLimitThroughAResponseFile) {
  // The fake tool refuses a command line over cmd.exe's limit, as cmd.exe itself would.
  {
    scratch_dir dir;
    const std::string log = install_fake_tool(dir.root, "fakeld", 0);
    process_result direct =
        run_program({dir.path("fakeld.exe"), std::string(8200, 'x')}, {}, dir.root);
    EXPECT_EQ(99, direct.status);
    EXPECT_FALSE(file_exists(log));
  }
  std::vector<std::string> objects;
  std::string received;
  for (int i = 0; i < 1000; ++i) {
    objects.push_back("obj-" + std::to_string(1000 + i) + ".o");
    received += objects.back() + "\n";
  }
  objects.push_back("C:\\Jane Doe\\my obj.o");
  objects.push_back("my lib.a");
  received += "C:\\Jane Doe\\my obj.o\nmy lib.a\n";
  const std::string link_log = "-Iinc\n-x\n-O1\n-shared\n-o\nobj-1000.zrv\n" + received +
                               "-Llib\n-lzrvinterp\n-lzorvan\nopts\ndeps\n--\n";
  const struct {
    const char* name;
    std::vector<std::string> options;
    int link_status;
  } cases[] = {
      {"success", {}, 0},
      {"failure", {}, 2},
      {"verbose", {"-v"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const std::string tmp = dir.path("tmp");
    CreateDirectoryA(tmp.c_str(), nullptr);
    const std::string linker = install_fake_tool(dir.root, "fakeld", c.link_status);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), objects.begin(), objects.end());
    process_result run =
        run_zrvbuild(args, with(with(short_settings, "TMP=" + tmp), "TEMP=" + tmp), dir.root);
    EXPECT_EQ(c.link_status, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(link_log, read_file(linker));
    if (!c.options.empty()) {
      // What ran names the response file in place of the lists.
      const std::string head = "fakeld -Iinc -x -O1 -shared  -o obj-1000.zrv @" + tmp + "\\";
      EXPECT_EQ(0u, run.out.find(head)) << run.out.substr(0, 300);
      EXPECT_NE(std::string::npos,
                run.out.find("  -Llib -lzrvinterp -lzorvan opts deps\r\n", head.size()));
      EXPECT_LT(run.out.size(), 8191u);
    } else {
      EXPECT_EQ("", run.out);
    }
    // The response file is gone after success and after failure.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((tmp + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
      FindClose(search);
  }
}

TEST(Win32Program, ArgumentFiles) {
  // More names than a Windows command line holds reach zrvbuild.exe through "@FILE".
  scratch_dir dir;
  write_file(dir.path("args.rsp"), "-c\r\n\"my file.c\"\r\nZo\xc3\xab.c 'C:\\\\Jane Doe\\\\a.c'\r\n");
  write_file(dir.path("Zo\xc3\xab args"), "-DX");
  const struct {
    std::vector<std::string> args;
    std::string out, err;
    int status;
  } cases[] = {
      {{"-n", "@args.rsp"},
       "fakecc -c -DCPP  -Iinc -x -O1    \"my file.c\" -o \"my file.o\"\r\n"
       "fakecc -c -DCPP  -Iinc -x -O1    Zo\xc3\xab.c -o Zo\xc3\xab.o\r\n"
       "fakecc -c -DCPP  -Iinc -x -O1    \"C:\\Jane Doe\\a.c\" -o a.o\r\n",
       "", 0},
      {{"-n", "-c", "@" + dir.path("Zo\xc3\xab args"), "b.c"},
       "fakecc -c -DCPP  -Iinc -x -O1    -DX b.c -o b.o\r\n", "", 0},
      {{"-n", "-c", "@args.c"}, "fakecc -c -DCPP  -Iinc -x -O1    .\\@args.c -o .\\@args.o\r\n",
       "", 0},
      {{"-n", "b.c", "@C:\\no such dir\\args"}, "",
       // The system's reason follows, in the system's words.
       "zrvbuild: unable to read arguments from C:\\no such dir\\args: ", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    process_result run = run_zrvbuild(c.args, short_settings, dir.root);
    EXPECT_EQ(c.out, run.out);
    if (c.err.size() > 2 && c.err.compare(c.err.size() - 2, 2, ": ") == 0) {
      EXPECT_EQ(0u, run.err.find(c.err)) << run.err;
      EXPECT_GT(run.err.size(), c.err.size() + 2) << run.err;
      EXPECT_EQ(run.err.size() - 2, run.err.find("\r\n")) << run.err;
    } else {
      EXPECT_EQ(c.err, run.err);
    }
    EXPECT_EQ(c.status, run.status);
  }
}
