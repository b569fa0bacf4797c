// Fortran module order with the real GNU Fortran compiler, as real libraries write their sources:
// each set is listed in its worst order (every user before the sources it needs) and compiled
// 20 times with two jobs and 20 times with four. A source that started before a module file it
// needs was written fails with "Cannot open module file". The first seven sets are the idioms
// a text-only scan got wrong (preprocessor conditionals and macros, included files, a module
// defined twice); the others are the idioms it already handled.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/fortran_texts.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

void make_parent_directories(const std::string& root, const std::string& name) {
  for (std::string::size_type slash = name.find('/'); slash != std::string::npos;
       slash = name.find('/', slash + 1)) {
    mkdir((root + "/" + name.substr(0, slash)).c_str(), 0755);
  }
}

bool ends_with_any(const std::string& name, std::initializer_list<const char*> suffixes) {
  for (const char* suffix : suffixes) {
    const std::string end(suffix);
    if (name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
      return true;
  }
  return false;
}

// Objects and module files go before every build.
void remove_products(const std::string& root) {
  DIR* dir = opendir(root.c_str());
  ASSERT_NE(nullptr, dir);
  std::vector<std::string> products;
  while (const dirent* entry = readdir(dir)) {
    if (ends_with_any(entry->d_name, {".o", ".mod", ".smod"}))
      products.push_back(root + "/" + entry->d_name);
  }
  closedir(dir);
  for (const std::string& product : products)
    std::remove(product.c_str());
}

class ModuleIdiom : public ::testing::TestWithParam<idiom_set> {};

}  // namespace

TEST_P(ModuleIdiom, WorstOrderTwentyTimesWithTwoAndFourJobs) {
  ZRV_NEED_TOOLS("gfortran");
  const idiom_set& set = GetParam();
  scratch_dir dir;
  for (const source_file& file : set.files) {
    make_parent_directories(dir.root, file.name);
    write_file(dir.path(file.name), file.text);
  }
  std::vector<std::string> args = {"-c"};
  args.insert(args.end(), set.args.begin(), set.args.end());
  for (const char* jobs : {"2", "4"}) {
    const std::vector<std::string> env = {std::string("PATH=") + tool_search_path(),
                                          "FFLAGS=-O0", std::string("ZRVBUILD_JOBS=") + jobs};
    for (int round = 1; round <= 20; ++round) {
      remove_products(dir.root);
      const process_result r = run_zrvbuild(args, env, dir.root);
      ASSERT_EQ(0, r.status) << jobs << " jobs, round " << round << "\n" << r.out << r.err;
      for (const std::string& object : set.objects)
        ASSERT_TRUE(file_exists(dir.path(object))) << object << ", " << jobs << " jobs";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(JobsModuleIdioms, ModuleIdiom, ::testing::ValuesIn(module_idiom_sets()),
                         [](const ::testing::TestParamInfo<idiom_set>& info) {
                           return info.param.name;
                         });
