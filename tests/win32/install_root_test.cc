// The installation root from the modules really loaded in this process: a library whose name
// carries the product word, loaded from a folder ...\bin\, makes that folder's parent the root;
// ZORVAN_HOME wins over it; with neither, the build prefix is the root.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/install_root.h"
#include "platform/modules.h"
#include "support/scratch.h"
#include "win32/win32_support.h"

namespace {

const std::string prefix = "C:/Zorvan/prefix";

// A copy of the probe library under root\folder\, loaded while the fixture lives.
class Win32InstallRoot : public ::testing::Test {
 protected:
  void SetUp() override { _putenv_s("ZORVAN_HOME", ""); }
  void TearDown() override {
    if (library_ != nullptr) FreeLibrary(library_);
  }

  std::string load_from(const std::string& folder) {
    std::string directory = dir_.root;
    for (std::string::size_type start = 0; start < folder.size();) {
      std::string::size_type end = folder.find('\\', start);
      if (end == std::string::npos) end = folder.size();
      directory += "\\" + folder.substr(start, end - start);
      CreateDirectoryA(directory.c_str(), nullptr);
      start = end + 1;
    }
    const std::string path = directory + "\\libzorvan_probe.dll";
    EXPECT_TRUE(CopyFileA(probe_dll().c_str(), path.c_str(), FALSE)) << path;
    library_ = LoadLibraryA(path.c_str());
    EXPECT_NE(nullptr, library_) << path;
    return path;
  }

  scratch_dir dir_;
  HMODULE library_ = nullptr;
};

}  // namespace

TEST_F(Win32InstallRoot, SnapshotListsTheLibraryWithItsPath) {
  const std::string path = load_from("root\\bin");
  bool seen = false;
  for (const module_entry& module : list_loaded_modules()) {
    if (module.base_name != "libzorvan_probe.dll") continue;
    seen = true;
    EXPECT_EQ(0, lstrcmpiA(path.c_str(), module.full_path.c_str())) << module.full_path;
  }
  EXPECT_TRUE(seen);
  // The test program itself comes first and does not carry the product word.
  ASSERT_FALSE(list_loaded_modules().empty());
  EXPECT_EQ(0, lstrcmpiA("zrvbuild_tests.exe", list_loaded_modules()[0].base_name.c_str()));
}

TEST_F(Win32InstallRoot, RootIsTheParentOfTheBinFolder) {
  load_from("root\\bin");
  const std::string root = process_installation_root(prefix);
  EXPECT_EQ(0, lstrcmpiA((dir_.root + "\\root").c_str(), root.c_str())) << root;
  EXPECT_EQ(root + "\\include", rebase_to_root(prefix + "/include", root, prefix));
}

// The test program carries the UTF-8 manifest, as zrvbuild.exe does: the snapshot's paths keep
// letters outside the ANSI code page.
TEST_F(Win32InstallRoot, RootWithLettersOutsideTheAnsiCodePage) {
  const std::string folder = "Zorvan \xe6\x9d\x8e";  // Zorvan 李
  load_from(folder + "\\bin");
  const std::string root = process_installation_root(prefix);
  EXPECT_EQ(0, lstrcmpiA((dir_.root + "\\" + folder).c_str(), root.c_str())) << root;
  EXPECT_EQ(root + "\\include", rebase_to_root(prefix + "/include", root, prefix));
}

TEST_F(Win32InstallRoot, LastBinFolderCounts) {
  load_from("bin\\tools\\bin");
  EXPECT_EQ(0, lstrcmpiA((dir_.root + "\\bin\\tools").c_str(),
                         process_installation_root(prefix).c_str()));
}

TEST_F(Win32InstallRoot, ZorvanHomeWins) {
  load_from("root\\bin");
  _putenv_s("ZORVAN_HOME", "D:\\Elsewhere");
  EXPECT_EQ("D:\\Elsewhere", process_installation_root(prefix));
}

TEST_F(Win32InstallRoot, MatchingLibraryOutsideABinFolderGivesThePrefix) {
  load_from("root\\lib");
  EXPECT_EQ(prefix, process_installation_root(prefix));
}

TEST_F(Win32InstallRoot, WithoutEitherThePrefix) {
  EXPECT_EQ(prefix, process_installation_root(prefix));
  load_from("root\\bin");
  FreeLibrary(library_);
  library_ = nullptr;
  EXPECT_EQ(prefix, process_installation_root(prefix));
}
