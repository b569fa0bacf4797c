// The manual page against the program: its OPTIONS are the help text's entries, its FILES name
// every suffix the help text lists, its ENVIRONMENT lists exactly the variables the environment
// can set, and groff renders it without a warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "support/help_lists.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/tools.h"

namespace {

const std::string man_page = std::string(ZRVBUILD_SOURCE_DIR) + "/man/zrvbuild.1";

const char tag_mark = '@';

// The page as plain text, with every .TP tag marked at its start and given room to stand on
// one line: a tag line reads 7 blanks, the mark, the tag, blanks up to column 107, then the
// description.
std::string rendered_page() {
  std::istringstream source(read_file(man_page));
  std::string marked, line;
  while (std::getline(source, line))
    marked += line == ".TP" ? std::string(".TP 100n\n\\&") + tag_mark + "\\c\n" : line + "\n";
  scratch_dir dir;
  write_file(dir.path("marked.1"), marked);
  process_result r = run_program({find_tool("groff"), "-man", "-Tascii", "-P-cbou", "-rLL=250n",
                                  "-rHY=0", dir.path("marked.1")},
                                 {std::string("PATH=") + tool_search_path()});
  EXPECT_EQ(0, r.status) << r.err;
  return r.out;
}

// The tags of one section, in order.
std::vector<std::string> section_tags(const std::string& page, const std::string& section) {
  std::vector<std::string> tags;
  std::istringstream lines(page);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] != ' ')
      inside = line == section;
    if (!inside || line.compare(0, 8, std::string(7, ' ') + tag_mark) != 0)
      continue;
    std::string tag = line.substr(8, 99);
    tags.push_back(tag.substr(0, tag.find_last_not_of(' ') + 1));
  }
  return tags;
}

std::set<std::string> forms_of(const std::vector<std::string>& tags) {
  std::set<std::string> forms;
  for (const std::string& tag : tags)
    for (const std::string& form : split_forms(tag))
      forms.insert(form);
  return forms;
}

}  // namespace

TEST(ManPage, OptionsAreTheHelpTextEntries) {
  ZRV_NEED_TOOLS("groff");
  std::vector<std::string> expected;
  for (const auto& entry : read_help_lists().option_entries) {
    std::string joined;
    for (const std::string& form : entry)
      joined += (joined.empty() ? "" : ", ") + form;
    expected.push_back(joined);
  }
  ASSERT_EQ(19u, expected.size());
  EXPECT_EQ(expected, section_tags(rendered_page(), "OPTIONS"));
}

TEST(ManPage, FilesNameEveryHelpSuffix) {
  ZRV_NEED_TOOLS("groff");
  help_lists help = read_help_lists();
  ASSERT_EQ(14u, help.suffixes.size());
  std::set<std::string> documented = forms_of(section_tags(rendered_page(), "FILES"));
  for (const std::string& suffix : help.suffixes)
    EXPECT_EQ(1u, documented.count(suffix)) << suffix;
}

// A variable counts as settable when a value given in the environment is what -p prints.
TEST(ManPage, EnvironmentListsExactlyTheSettableVariables) {
  ZRV_NEED_TOOLS("groff");
  help_lists help = read_help_lists();
  ASSERT_EQ(54u, help.variables.size());
  std::set<std::string> settable;
  for (const std::string& name : help.variables) {
    const std::string value = "from-the-environment";
    if (run_zrvbuild({"-p", name}, {name + "=" + value}).out == value + "\n")
      settable.insert(name);
  }
  EXPECT_EQ(43u, settable.size());
  std::vector<std::string> tags = section_tags(rendered_page(), "ENVIRONMENT");
  EXPECT_EQ(settable, std::set<std::string>(tags.begin(), tags.end()));
  EXPECT_EQ(tags.size(), settable.size()) << "a variable is listed twice";
}

TEST(ManPage, NamesEveryVariable) {
  ZRV_NEED_TOOLS("groff");
  std::string page = rendered_page();
  for (const std::string& name : read_help_lists().variables) {
    bool found = false;
    for (std::string::size_type at = page.find(name); at != std::string::npos && !found;
         at = page.find(name, at + 1)) {
      auto word_char = [](char c) {
        return std::isupper(static_cast<unsigned char>(c)) ||
               std::isdigit(static_cast<unsigned char>(c)) || c == '_';
      };
      found = (at == 0 || !word_char(page[at - 1])) &&
              (at + name.size() == page.size() || !word_char(page[at + name.size()]));
    }
    EXPECT_TRUE(found) << name;
  }
}

TEST(ManPage, GroffReportsNothing) {
  ZRV_NEED_TOOLS("groff");
  process_result r = run_program({find_tool("groff"), "-man", "-ww", "-z", man_page},
                                 {std::string("PATH=") + tool_search_path()});
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
}
