// zrvbuild -M with the real gcc and g++, and GNU make using the dependency files it writes:
// after one header changes, make remakes exactly the dependency files and objects that use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

namespace fs = std::filesystem;

// Sources in subdirectories, headers in include/ and beside one source.
const struct {
  const char* name;
  const char* content;
} tree[] = {
    {"include/shared.h", "#define SHARED 1\n"},
    {"include/alpha.h", "int alpha(void);\n"},
    {"include/beta.hh", "int beta();\n"},
    {"include/unused.h", "#define UNUSED 1\n"},
    {"src/c/gamma_local.h", "#define GAMMA 3\n"},
    {"src/c/alpha.c",
     "#include \"alpha.h\"\n#include \"shared.h\"\nint alpha(void) { return SHARED; }\n"},
    {"src/c/gamma.c", "#include \"gamma_local.h\"\nint gamma_value(void) { return GAMMA; }\n"},
    {"src/cxx/beta.cc",
     "#include \"beta.hh\"\n#include \"shared.h\"\nint beta() { return SHARED; }\n"},
    {"src/cxx/delta.cpp", "#include \"beta.hh\"\nint delta() { return beta() + 1; }\n"},
};

// Objects in the current directory, named as the dependency files name them; each object and
// each regenerated dependency file is logged.
const char* const makefile = R"mk(OBJECTS = alpha.o gamma.o beta.o delta.o
all: $(OBJECTS)
%.o: src/c/%.c
	gcc -Iinclude -c $< -o $@
	echo $@ >> build.log
%.o: src/cxx/%.cc
	g++ -Iinclude -c $< -o $@
	echo $@ >> build.log
%.o: src/cxx/%.cpp
	g++ -Iinclude -c $< -o $@
	echo $@ >> build.log
%.d: src/c/%.c
	$(ZRVBUILD) -M $<
	echo $@ >> build.log
%.d: src/cxx/%.cc
	$(ZRVBUILD) -M $<
	echo $@ >> build.log
%.d: src/cxx/%.cpp
	$(ZRVBUILD) -M $<
	echo $@ >> build.log
include $(OBJECTS:.o=.d)
)mk";

struct DependMake : ::testing::Test {
  scratch_dir scratch;
  std::string root = scratch.root;
  // Flags gcc accepts on any host; the include directory of the tree.
  std::vector<std::string> env = {"INCFLAGS=-Iinclude", "XTRA_CFLAGS= ", "XTRA_CXXFLAGS= ",
                                  "PATH=/usr/local/bin:/usr/bin:/bin", "ZRVBUILD=" ZRVBUILD_EXE};

  void SetUp() override {
    for (const auto& file : tree) {
      fs::create_directories(fs::path(scratch.path(file.name)).parent_path());
      write_file(scratch.path(file.name), file.content);
    }
    write_file(scratch.path("Makefile"), makefile);
  }

  process_result shell(const std::string& command) {
    return run_program({"/bin/sh", "-c", command}, env, root);
  }

  // Everything in the tree gets one old time, then the given file a newer one, so that the
  // order does not depend on the resolution of file times.
  void only_changed(const std::string& name) {
    const auto now = fs::file_time_type::clock::now();
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file())
        fs::last_write_time(entry.path(), now - std::chrono::hours(2));
    }
    if (!name.empty())
      fs::last_write_time(scratch.path(name), now - std::chrono::hours(1));
  }

  // Runs make and returns the names of what it remade, sorted (make picks the order).
  std::vector<std::string> make_and_log() {
    std::remove(scratch.path("build.log").c_str());
    process_result r = shell("make -s");
    EXPECT_EQ(0, r.status) << r.err;
    std::vector<std::string> names;
    std::istringstream log(read_file(scratch.path("build.log")));
    for (std::string name; std::getline(log, name);)
      names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  }
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(DependMake, HeaderChangeRebuildsExactlyItsUsers) {
  ZRV_NEED_TOOLS("make", "gcc", "g++");
  process_result r =
      shell("\"$ZRVBUILD\" -M src/cxx/delta.cpp src/cxx/beta.cc src/c/alpha.c src/c/gamma.c");
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);

  const struct {
    const char* dep_file;
    const char* first_words;
    std::vector<std::string> headers;
  } expected[] = {
      {"alpha.d",
       "pic/alpha.o alpha.o alpha.d: src/c/alpha.c ",
       {"include/alpha.h", "include/shared.h"}},
      {"gamma.d", "pic/gamma.o gamma.o gamma.d: src/c/gamma.c ", {"src/c/gamma_local.h"}},
      {"beta.d",
       "pic/beta.o beta.o beta.d: src/cxx/beta.cc ",
       {"include/beta.hh", "include/shared.h"}},
      {"delta.d", "pic/delta.o delta.o delta.d: src/cxx/delta.cpp ", {"include/beta.hh"}},
  };
  for (const auto& e : expected) {
    const std::string content = read_file(scratch.path(e.dep_file));
    EXPECT_EQ(0u, content.find(e.first_words)) << content;
    for (const std::string& header : e.headers)
      EXPECT_TRUE(contains(content, header)) << content;
    EXPECT_FALSE(contains(content, "unused.h")) << content;
    EXPECT_EQ("\n\n", content.substr(content.size() - 2)) << content;
  }

  using names = std::vector<std::string>;
  EXPECT_EQ((names{"alpha.o", "beta.o", "delta.o", "gamma.o"}), make_and_log());
  EXPECT_EQ(names{}, make_and_log());

  const struct {
    const char* changed;
    names remade;
  } changes[] = {
      {"include/shared.h", {"alpha.d", "alpha.o", "beta.d", "beta.o"}},
      {"src/c/gamma_local.h", {"gamma.d", "gamma.o"}},
      {"include/beta.hh", {"beta.d", "beta.o", "delta.d", "delta.o"}},
      {"include/unused.h", {}},
      {"src/cxx/delta.cpp", {"delta.d", "delta.o"}},
  };
  for (const auto& change : changes) {
    only_changed(change.changed);
    EXPECT_EQ(change.remade, make_and_log()) << change.changed;
    // The remade files are as zrvbuild writes them, and make is content.
    EXPECT_EQ(0u, read_file(scratch.path("beta.d")).find("pic/beta.o beta.o beta.d: src/cxx/"));
    EXPECT_EQ(0, shell("make -q").status) << change.changed;
  }
}

}  // namespace
