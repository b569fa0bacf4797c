// Reading module definitions and uses out of Fortran text. The text is first cut into
// statements (comments dropped, continuation lines joined, string contents blanked, letters
// lowered), then each statement's leading words are matched. Include lines and preprocessor
// lines are read as lines; the files they name are followed through a reader given by the
// caller, so that every rule here works on plain text.
#include "phases/fortran_scan.h"

#include <algorithm>
#include <cctype>

#include "text/text_rules.h"

namespace {

// Fixed-form statement text ends at column 72.
const std::string::size_type fixed_form_last_column = 72;

struct statement_cutter {
  std::vector<std::string> statements;
  std::string current;  // a string stands in it as one '"'
  char open_quote = 0;  // the quote of a string that goes on past the line's end

  void end_statement() {
    if (current.find_first_not_of(" \t\r") != std::string::npos)
      statements.push_back(current);
    current.clear();
  }
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f';
}

bool rest_is_blank_or_comment(const std::string& line, std::string::size_type from) {
  for (std::string::size_type i = from; i < line.size(); ++i) {
    if (line[i] == '!')
      return true;
    if (!is_blank(line[i]))
      return false;
  }
  return true;
}

// Appends the statement text of line[from, to) to the cutter. A free-form '&' that ends the
// text returns true: the statement goes on with the next line.
bool cut_text(statement_cutter& cut, const std::string& line, std::string::size_type from,
              std::string::size_type to, bool free_form) {
  for (std::string::size_type i = from; i < to; ++i) {
    const char c = line[i];
    if (free_form && c == '&' && rest_is_blank_or_comment(line, i + 1))
      return true;
    if (cut.open_quote != 0) {
      if (c != cut.open_quote)
        continue;
      if (i + 1 < to && line[i + 1] == cut.open_quote) {
        ++i;  // a doubled quote stands for itself inside the string
        continue;
      }
      cut.open_quote = 0;
      continue;
    }
    if (c == '!')
      break;
    if (c == '\'' || c == '"') {
      cut.open_quote = c;
      cut.current.push_back('"');
    } else if (c == ';') {
      cut.end_statement();
    } else {
      cut.current.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
  }
  return false;
}

std::string lower_case(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The quoted name at line[i] (a doubled quote stands for itself); false when the quote does not
// close on the line. On success i is just past the closing quote.
bool read_quoted_name(const std::string& line, std::string::size_type& i, char close,
                      std::string& name) {
  for (++i; i < line.size(); ++i) {
    if (line[i] != close) {
      name += line[i];
    } else if (close != '>' && i + 1 < line.size() && line[i + 1] == close) {
      name += line[++i];
    } else {
      ++i;
      return true;
    }
  }
  return false;
}

// A preprocessor line of text the preprocessor has not read: an include is recorded;
// conditionals and macro definitions hide what the compiler will see.
void read_directive(const std::string& line, bool preprocessed, fortran_scan& scan) {
  if (!preprocessed)
    return;
  std::string::size_type i = line.find('#') + 1;
  while (i < line.size() && is_blank(line[i]))
    ++i;
  std::string word;
  while (i < line.size() && std::isalpha(static_cast<unsigned char>(line[i])))
    word += line[i++];
  if (word == "include") {
    while (i < line.size() && is_blank(line[i]))
      ++i;
    fortran_include include;
    include.directive = true;
    include.quoted = i < line.size() && line[i] == '"';
    const bool angled = i < line.size() && line[i] == '<';
    // A name made by a macro cannot be followed.
    if ((!include.quoted && !angled) ||
        !read_quoted_name(line, i, include.quoted ? '"' : '>', include.name) ||
        include.name.empty()) {
      scan.opaque = true;
      return;
    }
    scan.includes.push_back(include);
  } else if (word == "if" || word == "ifdef" || word == "ifndef" || word == "elif" ||
             word == "else" || word == "define" || word == "undef") {
    scan.opaque = true;
  }
}

// A Fortran INCLUDE line: the word include in any case, a quoted name and at most a comment,
// alone on its line. The compiler puts the file's text in its place.
bool read_include_line(const std::string& line, fortran_scan& scan) {
  std::string::size_type i = 0;
  while (i < line.size() && is_blank(line[i]))
    ++i;
  if (lower_case(line.substr(i, 7)) != "include")
    return false;
  i += 7;
  while (i < line.size() && is_blank(line[i]))
    ++i;
  if (i >= line.size() || (line[i] != '\'' && line[i] != '"'))
    return false;
  fortran_include include;
  include.quoted = true;
  if (!read_quoted_name(line, i, line[i], include.name) || include.name.empty() ||
      !rest_is_blank_or_comment(line, i)) {
    return false;
  }
  scan.includes.push_back(include);
  return true;
}

bool is_directive(const std::string& line) {
  const std::string::size_type first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '#';
}

void cut_free_form_line(statement_cutter& cut, const std::string& line, bool& continuing) {
  std::string::size_type start = 0;
  if (continuing) {
    // Blank and comment lines may stand between a line and its continuation.
    if (cut.open_quote == 0 && rest_is_blank_or_comment(line, 0))
      return;
    const std::string::size_type first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '&')
      start = first + 1;
  }
  continuing = cut_text(cut, line, start, line.size(), true);
  if (!continuing) {
    cut.open_quote = 0;
    cut.end_statement();
  }
}

void cut_fixed_form_line(statement_cutter& cut, const std::string& line) {
  if (is_fixed_form_comment_line(line))
    return;
  // A tab in the label field starts the statement text; a digit right after it continues.
  std::string::size_type text_start = 6;
  bool continuation = false;
  const std::string::size_type tab = line.find('\t');
  if (tab != std::string::npos && tab < 6) {
    text_start = tab + 1;
    if (text_start < line.size() && line[text_start] >= '1' && line[text_start] <= '9') {
      continuation = true;
      ++text_start;
    }
  } else if (line.size() > 5) {
    continuation = line[5] != ' ' && line[5] != '0';
  }
  if (!continuation) {
    cut.open_quote = 0;
    cut.end_statement();
  }
  const std::string::size_type text_end =
      std::min(line.size(), text_start + (fixed_form_last_column - 6));
  if (text_start < text_end)
    cut_text(cut, line, text_start, text_end, false);
}

std::vector<std::string> words_of(const std::string& statement) {
  std::vector<std::string> words;
  std::string::size_type i = 0;
  // A statement label leads a free-form statement.
  while (i < statement.size() &&
         (is_blank(statement[i]) || std::isdigit(static_cast<unsigned char>(statement[i])))) {
    ++i;
  }
  while (i < statement.size()) {
    const unsigned char c = static_cast<unsigned char>(statement[i]);
    if (is_blank(statement[i])) {
      ++i;
    } else if (std::isalnum(c) || c == '_' || c == '$') {
      std::string::size_type end = i;
      while (end < statement.size() && (std::isalnum(static_cast<unsigned char>(statement[end])) ||
                                        statement[end] == '_' || statement[end] == '$')) {
        ++end;
      }
      words.push_back(statement.substr(i, end - i));
      i = end;
    } else {
      words.push_back(std::string(1, statement[i]));
      ++i;
    }
  }
  return words;
}

bool is_name(const std::string& word) {
  return !word.empty() && (std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_');
}

void add_once(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end())
    names.push_back(name);
}

// use [, nature ::] name ... with "::" also allowed without a nature.
void read_use(const std::vector<std::string>& w, fortran_scan& scan) {
  std::size_t i = 1;
  bool intrinsic = false;
  if (i < w.size() && w[i] == ",") {
    if (i + 1 >= w.size())
      return;
    intrinsic = w[i + 1] == "intrinsic";
    i += 2;
  }
  if (i + 1 < w.size() && w[i] == ":" && w[i + 1] == ":")
    i += 2;
  if (i >= w.size() || !is_name(w[i]))
    return;
  // "use = 1" assigns a variable named use; a use statement's name is followed by nothing or
  // by a comma.
  if (i + 1 < w.size() && w[i + 1] != ",")
    return;
  if (!intrinsic)
    add_once(scan.uses, w[i]);
}

// submodule (ancestor[:parent]) name
void read_submodule(const std::vector<std::string>& w, fortran_scan& scan) {
  if (w.size() < 5 || w[1] != "(" || !is_name(w[2]))
    return;
  const std::string& ancestor = w[2];
  std::size_t i = 3;
  std::string parent;
  if (w[i] == ":" && i + 1 < w.size() && is_name(w[i + 1])) {
    parent = w[i + 1];
    i += 2;
  }
  if (i + 2 != w.size() || w[i] != ")" || !is_name(w[i + 1]))
    return;
  add_once(scan.uses, ancestor);
  if (!parent.empty())
    add_once(scan.uses, ancestor + ":" + parent);
  add_once(scan.defines, ancestor + ":" + w[i + 1]);
}

void read_statement(const std::string& statement, fortran_scan& scan) {
  const std::vector<std::string> w = words_of(statement);
  if (w.empty())
    return;
  if (w[0] == "module" && w.size() == 2 && is_name(w[1])) {
    add_once(scan.defines, w[1]);
  } else if (w[0] == "use") {
    read_use(w, scan);
  } else if (w[0] == "submodule") {
    read_submodule(w, scan);
  } else if (w[0] == "include" && w.size() >= 2 && w[1] == "\"") {
    // An include statement that is not a plain include line: nothing to follow.
    scan.opaque = true;
  }
}

// What the source defines itself it does not wait for.
void drop_own_modules(fortran_scan& scan) {
  scan.uses.erase(std::remove_if(scan.uses.begin(), scan.uses.end(),
                                 [&scan](const std::string& name) {
                                   return std::find(scan.defines.begin(), scan.defines.end(),
                                                    name) != scan.defines.end();
                                 }),
                  scan.uses.end());
}

// The directory part of a file name, "" for a name without one.
std::string directory_of(const std::string& name) {
  const std::string::size_type slash = name.find_last_of("/\\");
  if (slash == std::string::npos)
    return "";
  return slash == 0 ? name.substr(0, 1) : name.substr(0, slash);
}

bool is_absolute_path(const std::string& name) {
  return (!name.empty() && (name[0] == '/' || name[0] == '\\')) ||
         (name.size() > 1 && name[1] == ':');
}

std::string path_in(const std::string& directory, const std::string& name) {
  if (directory.empty())
    return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

}  // namespace

bool is_fixed_form_fortran(const std::string& source) {
  return ends_with(source, ".f") || ends_with(source, ".F");
}

bool is_fixed_form_comment_line(const std::string& line) {
  if (rest_is_blank_or_comment(line, 0) && line.find('!') != 5)
    return true;
  const char first = line[0];
  return first == 'c' || first == 'C' || first == '*' || first == 'd' || first == 'D';
}

bool is_free_form_comment_line(const std::string& line) {
  return rest_is_blank_or_comment(line, 0);
}

bool is_preprocessed_fortran(const std::string& source) {
  return ends_with(source, ".F") || ends_with(source, ".F90");
}

fortran_scan scan_fortran_text(const std::string& text, bool fixed_form, bool preprocessed) {
  fortran_scan scan;
  statement_cutter cut;
  bool continuing = false;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (cut.open_quote == 0 && is_directive(line)) {
      read_directive(line, preprocessed, scan);
    } else if (cut.open_quote == 0 && !continuing && read_include_line(line, scan)) {
      // followed by follow_includes
    } else if (fixed_form) {
      cut_fixed_form_line(cut, line);
    } else {
      cut_free_form_line(cut, line, continuing);
    }
  }
  cut.end_statement();
  for (const std::string& statement : cut.statements)
    read_statement(statement, scan);
  drop_own_modules(scan);
  return scan;
}

fortran_reading read_fortran_command(const std::string& source,
                                     const std::vector<std::string>& words) {
  fortran_reading reading;
  reading.fixed_form = is_fixed_form_fortran(source);
  reading.preprocessed = is_preprocessed_fortran(source);
  reading.include_directories.push_back(directory_of(source));
  std::vector<std::string> after;  // -idirafter: searched after every -I
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool has_next = i + 1 < words.size();
    if (word == "-cpp" || word == "-nocpp") {
      reading.preprocessed = word == "-cpp";
    } else if (word == "-ffixed-form" || word == "-ffree-form") {
      reading.fixed_form = word == "-ffixed-form";
    } else if (word == "-J" && has_next) {
      reading.module_directory = words[++i];
    } else if (starts_with(word, "-J") && word.size() > 2) {
      reading.module_directory = word.substr(2);
    } else if (word == "-I" && has_next) {
      reading.include_directories.push_back(words[++i]);
    } else if (word == "-idirafter" && has_next) {
      after.push_back(words[++i]);
    } else if (starts_with(word, "-idirafter")) {
      after.push_back(word.substr(10));
    } else if (starts_with(word, "-I") && word.size() > 2) {
      reading.include_directories.push_back(word.substr(2));
    }
  }
  reading.include_directories.insert(reading.include_directories.end(), after.begin(),
                                     after.end());
  return reading;
}

std::vector<std::string> module_file_names(const std::string& name) {
  const std::string::size_type colon = name.find(':');
  if (colon != std::string::npos)
    return {name.substr(0, colon) + "@" + name.substr(colon + 1) + ".smod"};
  return {name + ".mod", name + ".smod"};
}

std::vector<std::string> module_search_directories(const fortran_reading& reading) {
  std::vector<std::string> directories = {""};
  directories.insert(directories.end(), reading.include_directories.begin(),
                     reading.include_directories.end());
  directories.push_back(reading.module_directory);
  return directories;
}

std::string path_in_directory(const std::string& directory, const std::string& name) {
  return path_in(directory, name);
}

std::string directory_part(const std::string& name) { return directory_of(name); }

void follow_includes(fortran_scan& scan, const std::string& source, const fortran_reading& reading,
                     const fortran_file_reader& read) {
  struct pending_include {
    fortran_include include;
    std::string includer;  // the file that names it
  };
  std::vector<pending_include> pending;
  for (const fortran_include& include : scan.includes)
    pending.push_back({include, source});
  scan.includes.clear();
  std::vector<std::string> read_already;
  // Each file is read once, so a file that includes itself ends the walk.
  for (std::size_t next = 0; next < pending.size(); ++next) {
    const fortran_include include = pending[next].include;
    std::vector<std::string> candidates;
    if (is_absolute_path(include.name)) {
      candidates.push_back(include.name);
    } else {
      if (include.directive && include.quoted)
        candidates.push_back(path_in(directory_of(pending[next].includer), include.name));
      for (const std::string& directory : reading.include_directories)
        candidates.push_back(path_in(directory, include.name));
    }
    bool found = false;
    for (const std::string& path : candidates) {
      if (std::find(read_already.begin(), read_already.end(), path) != read_already.end()) {
        found = true;
        break;
      }
      std::string text;
      if (!read(path, text))
        continue;
      found = true;
      read_already.push_back(path);
      const fortran_scan part = scan_fortran_text(text, reading.fixed_form, include.directive);
      for (const std::string& name : part.defines)
        add_once(scan.defines, name);
      for (const std::string& name : part.uses)
        add_once(scan.uses, name);
      scan.opaque = scan.opaque || part.opaque;
      for (const fortran_include& inner : part.includes)
        pending.push_back({inner, path});
      break;
    }
    if (!found)
      scan.opaque = true;
  }
  drop_own_modules(scan);
}
