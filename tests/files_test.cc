// The one way files are opened, on the platform the tests run on (under Wine for the Windows
// builds): files written whole or not at all (the temporary's name beside the final one, the
// write, commit and discard), what is refused, and reads with their cap.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/interrupts.h"
#include "support/scratch.h"

namespace {

#ifdef _WIN32
const char* const line_end = "\r\n";  // written as text
#else
const char* const line_end = "\n";
#endif

// The names in a directory other than the given one.
std::vector<std::string> others_in(const std::string& dir, const std::string& known) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name != known)
      names.push_back(name);
  }
  return names;
}

}  // namespace

TEST(PendingFile, TemporaryNameIsHiddenBesideTheFinalName) {
  const struct {
    const char* final_path;
    const char* expected;
  } cases[] = {
      {"foo.d", ".foo.d.tmp42"},
      {"dir/foo.d", "dir/.foo.d.tmp42"},
      {"/abs/dir/x.d", "/abs/dir/.x.d.tmp42"},
      {"a\\b\\foo.d", "a\\b\\.foo.d.tmp42"},
      {"a\\b/c\\foo.d", "a\\b/c\\.foo.d.tmp42"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, temporary_name_for(c.final_path, "42")) << c.final_path;
  }
  // A name that leaves no room for the temporary's is cut, so that it still fits in 255 bytes.
  const std::string long_name = std::string(250, 'n') + ".d";
  EXPECT_EQ("d/." + std::string(248, 'n') + ".tmp42", temporary_name_for("d/" + long_name, "42"));
}

TEST(PendingFile, CommitReplacesTheFinalFileWhole) {
  scratch_dir dir;
  const std::string final_path = dir.path("foo.d");
  write_file(final_path, "old");
  pending_file file = open_pending_file(final_path);
  ASSERT_NE(nullptr, file.stream);
  ASSERT_NE("", file.temporary_path);
  std::fputs("new\n", file.stream);
  std::fflush(file.stream);
  // Until the commit the final file is untouched; the temporary is hidden beside it.
  EXPECT_EQ("old", read_file(final_path));
  const std::vector<std::string> during = others_in(dir.root, "foo.d");
  ASSERT_EQ(1u, during.size());
  EXPECT_EQ(0u, during[0].find(".foo.d.tmp")) << during[0];
  EXPECT_TRUE(commit_pending_file(file));
  EXPECT_EQ(std::string("new") + line_end, read_file(final_path));
  EXPECT_EQ(std::vector<std::string>{}, others_in(dir.root, "foo.d"));
}

TEST(PendingFile, DiscardLeavesNothing) {
  scratch_dir dir;
  pending_file file = open_pending_file(dir.path("foo.d"));
  ASSERT_NE(nullptr, file.stream);
  std::fputs("never seen\n", file.stream);
  discard_pending_file(file);
  EXPECT_EQ(std::vector<std::string>{}, others_in(dir.root, ""));
}

TEST(PendingFile, RegisteredTemporariesAreRemovedOnInterruption) {
  scratch_dir dir;
  pending_file first = open_pending_file(dir.path("a.d"));
  pending_file second = open_pending_file(dir.path("b.d"));
  ASSERT_NE(nullptr, first.stream);
  ASSERT_NE(nullptr, second.stream);
  // Closed first: Windows removes no file that is open.
  EXPECT_TRUE(close_pending_file(first));
  EXPECT_TRUE(close_pending_file(second));
  remove_registered_temporaries();
  EXPECT_EQ(std::vector<std::string>{}, others_in(dir.root, ""));
  discard_pending_file(first);
  discard_pending_file(second);
}

TEST(PendingFile, NoFileWhereNoneCanBeMade) {
  // A final path in a directory that does not exist: neither way can make a file.
  scratch_dir dir;
  pending_file file = open_pending_file(dir.path("missing/foo.d"));
  EXPECT_EQ(nullptr, file.stream);
  EXPECT_EQ("", file.temporary_path);
  EXPECT_NE("", file.error);
}
