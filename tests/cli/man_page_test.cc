// The manual page against the program: its OPTIONS are the help text's entries, its FILES name
// every suffix the help text lists, its ENVIRONMENT lists exactly the variables the environment
// can set and those the program reads, the README's table names them all too, and groff
// renders the page without a warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
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

// A variable counts as settable when a value given in the environment is what -p prints.
std::set<std::string> settable_variables() {
  std::set<std::string> settable;
  for (const std::string& name : read_help_lists().variables) {
    const std::string value = "from-the-environment";
    if (run_zrvbuild({"-p", name}, {name + "=" + value}).out == value + "\n")
      settable.insert(name);
  }
  return settable;
}

// The variables the program's sources read by name: every getenv("NAME") under src/.
std::set<std::string> variables_read_by_name() {
  const std::regex read_by_name(R"re(getenv\(\s*"([A-Za-z_][A-Za-z0-9_]*)"\s*\))re");
  std::set<std::string> names;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(ZRVBUILD_SOURCE_DIR) + "/src")) {
    if (!entry.is_regular_file()) continue;
    const std::string text = read_file(entry.path().string());
    for (std::sregex_iterator at(text.begin(), text.end(), read_by_name), end; at != end; ++at)
      names.insert((*at)[1]);
  }
  return names;
}

// The names in backquotes in the first cell of each row of the README's table of variables.
std::set<std::string> readme_table_names() {
  std::istringstream lines(read_file(std::string(ZRVBUILD_SOURCE_DIR) + "/README.md"));
  const std::regex quoted_name("`([A-Z_][A-Z0-9_]*)[^`]*`");
  std::set<std::string> names;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 2, "| ") != 0) continue;
    const std::string cell = line.substr(2, line.find(" |", 1) - 2);
    for (std::sregex_iterator at(cell.begin(), cell.end(), quoted_name), end; at != end; ++at)
      names.insert((*at)[1]);
  }
  return names;
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

TEST(ManPage, EnvironmentListsExactlyTheVariablesRead) {
  ZRV_NEED_TOOLS("groff");
  ASSERT_EQ(54u, read_help_lists().variables.size());
  std::set<std::string> read = settable_variables();
  EXPECT_EQ(43u, read.size());
  for (const std::string& name : variables_read_by_name()) read.insert(name);
  std::vector<std::string> tags = section_tags(rendered_page(), "ENVIRONMENT");
  EXPECT_EQ(read, std::set<std::string>(tags.begin(), tags.end()));
  EXPECT_EQ(tags.size(), read.size()) << "a variable is listed twice";
}

// Every variable the program reads, as a configuration variable or by name, is a tag of the
// manual page's ENVIRONMENT and stands in the README's table.
TEST(ManPage, EveryVariableReadIsInTheManualAndTheReadme) {
  ZRV_NEED_TOOLS("groff");
  const std::set<std::string> by_name = variables_read_by_name();
  for (const char* known : {"ZRVBUILD_JOBS", "ZRVBUILD_INCREMENTAL", "ZRVBUILD_PROGRESS",
                            "ZRVBUILD_TRACE", "ZORVAN_HOME", "TMPDIR"})
    EXPECT_EQ(1u, by_name.count(known)) << known << " is no longer found in the sources";
  std::set<std::string> read = settable_variables();
  read.insert(by_name.begin(), by_name.end());
  std::vector<std::string> tags = section_tags(rendered_page(), "ENVIRONMENT");
  const std::set<std::string> in_manual(tags.begin(), tags.end());
  const std::set<std::string> in_readme = readme_table_names();
  for (const std::string& name : read) {
    EXPECT_EQ(1u, in_manual.count(name)) << name << " is missing from the manual page";
    EXPECT_EQ(1u, in_readme.count(name)) << name << " is missing from the README's table";
  }
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
