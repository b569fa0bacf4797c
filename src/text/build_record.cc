// The build record's text, the command digest, dependency output and the up-to-date rule.
#include "text/build_record.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>

const char* const build_record_header = "zrvbuild build record 4";

const char* const tool_environment_names[] = {
    "CPATH",           "C_INCLUDE_PATH",      "CPLUS_INCLUDE_PATH", "OBJC_INCLUDE_PATH",
    "LIBRARY_PATH",    "GCC_EXEC_PREFIX",     "COMPILER_PATH",      "DEPENDENCIES_OUTPUT",
    "SUNPRO_DEPENDENCIES", "SOURCE_DATE_EPOCH", "GCC_COMPARE_DEBUG", "LD_RUN_PATH",
};
const std::size_t tool_environment_count =
    sizeof tool_environment_names / sizeof tool_environment_names[0];

namespace {

const long long nanoseconds_per_second = 1000000000LL;

bool writable_name(const std::string& name) {
  return !name.empty() && name.find_first_of("\t\n\r") == std::string::npos;
}

// A whole decimal number (an optional '-' and digits), as the record writes them.
bool parse_number(const std::string& text, long long& value) {
  if (text.empty() || text.size() > 20) return false;
  std::size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size()) return false;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return end == text.c_str() + text.size();
}

// Splits "WORD REST" at the first blank.
bool cut_word(const std::string& text, std::string& word, std::string& rest) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string::npos) return false;
  word = text.substr(0, blank);
  rest = text.substr(blank + 1);
  return true;
}

bool parse_file_line(const std::string& rest, recorded_file& file) {
  const std::size_t tab = rest.find('\t');
  if (tab == std::string::npos) return false;
  long long* const fields[] = {&file.facts.size, &file.facts.time, &file.facts.change_time,
                               &file.facts.device, &file.facts.inode};
  std::string text = rest.substr(0, tab) + " ";
  for (long long* field : fields) {
    std::string word;
    if (!cut_word(text, word, text) || !parse_number(word, *field)) return false;
  }
  file.name = rest.substr(tab + 1);
  file.facts.exists = true;
  return text.empty() && writable_name(file.name) && file.facts.size >= 0;
}

// "FACTS<TAB>NAME" and the line end.
std::string file_line(const recorded_file& file) {
  const file_facts& facts = file.facts;
  return std::to_string(facts.size) + " " + std::to_string(facts.time) + " " +
         std::to_string(facts.change_time) + " " + std::to_string(facts.device) + " " +
         std::to_string(facts.inode) + "\t" + file.name + "\n";
}

}  // namespace

bool same_file_facts(const file_facts& a, const file_facts& b) {
  return a.exists == b.exists && a.size == b.size && a.time == b.time &&
         a.change_time == b.change_time && a.device == b.device && a.inode == b.inode;
}

std::string command_digest(const std::string& command) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (unsigned char c : command) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  static const char digits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i) {
    hex[static_cast<std::size_t>(i)] = digits[hash & 0xf];
    hash >>= 4;
  }
  return std::to_string(command.size()) + ":" + hex;
}

std::string build_record_text(const build_record& record) {
  std::string text = std::string(build_record_header) + "\n";
  std::size_t entries = 0;
  for (const auto& [output, entry] : record) {
    bool writable = writable_name(output) && writable_name(entry.digest) &&
                    entry.digest.find(' ') == std::string::npos;
    for (const recorded_file& file : entry.programs)
      writable = writable && writable_name(file.name) && file.facts.exists;
    for (const recorded_file& file : entry.files)
      writable = writable && writable_name(file.name) && (file.facts.exists || !file.made);
    for (const auto& [name, value] : entry.environment)
      writable = writable && writable_name(name) && name.find(' ') == std::string::npos &&
                 value.find_first_of("\n\r") == std::string::npos;
    if (!writable) continue;
    text += "entry " + entry.digest + "\t" + output + "\n";
    for (const auto& [name, value] : entry.environment) text += "env " + name + "\t" + value + "\n";
    for (const recorded_file& file : entry.programs) text += "program " + file_line(file);
    for (const recorded_file& file : entry.files) {
      if (!file.facts.exists)
        text += "absent " + file.name + "\n";
      else
        text += (file.made ? "made " : "file ") + file_line(file);
    }
    ++entries;
  }
  return text + "end " + std::to_string(entries) + "\n";
}

bool parse_build_record(const std::string& text, build_record& record) {
  record.clear();
  build_record read;
  record_entry* current = nullptr;
  long long entries = 0;
  bool ended = false;
  std::size_t position = 0;
  bool first = true;
  while (position < text.size()) {
    const std::size_t line_end = text.find('\n', position);
    // Every line ends with a line end: a last line without one was cut off.
    if (line_end == std::string::npos || ended) return false;
    const std::string line = text.substr(position, line_end - position);
    position = line_end + 1;
    if (first) {
      if (line != build_record_header) return false;
      first = false;
      continue;
    }
    std::string word;
    std::string rest;
    if (!cut_word(line, word, rest)) return false;
    if (word == "entry") {
      const std::size_t tab = rest.find('\t');
      if (tab == std::string::npos || tab == 0) return false;
      const std::string output = rest.substr(tab + 1);
      if (!writable_name(output) || read.count(output) != 0) return false;
      current = &read[output];
      current->digest = rest.substr(0, tab);
      ++entries;
    } else if (word == "env") {
      const std::size_t tab = rest.find('\t');
      if (current == nullptr || !current->programs.empty() || !current->files.empty() ||
          tab == std::string::npos || tab == 0)
        return false;
      current->environment.emplace_back(rest.substr(0, tab), rest.substr(tab + 1));
    } else if (word == "program") {
      recorded_file file;
      if (current == nullptr || !current->files.empty() || !parse_file_line(rest, file))
        return false;
      current->programs.push_back(file);
    } else if (word == "file" || word == "made") {
      recorded_file file;
      file.made = word == "made";
      if (current == nullptr || !parse_file_line(rest, file)) return false;
      current->files.push_back(file);
    } else if (word == "absent") {
      recorded_file file;
      file.name = rest;
      if (current == nullptr || !writable_name(file.name)) return false;
      current->files.push_back(file);
    } else if (word == "end") {
      long long count = 0;
      if (!parse_number(rest, count) || count != entries) return false;
      ended = true;
    } else {
      return false;
    }
  }
  if (!ended) return false;
  record.swap(read);
  return true;
}

bool parse_dependency_output(const std::string& text, std::vector<std::string>& targets,
                             std::vector<std::string>& prerequisites) {
  targets.clear();
  prerequisites.clear();
  bool in_targets = true;
  bool seen_colon = false;
  std::string name;
  auto finish_name = [&]() {
    if (name.empty()) return;
    (in_targets ? targets : prerequisites).push_back(name);
    name.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '\\' && (next == '\n' || (next == '\r' && i + 2 < text.size() &&
                                       text[i + 2] == '\n'))) {
      finish_name();
      i += next == '\n' ? 1 : 2;
    } else if (c == '\\' && (next == ' ' || next == '\t' || next == '#')) {
      name += next;
      ++i;
    } else if (c == '$' && next == '$') {
      name += '$';
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      finish_name();
    } else if (c == '\n') {
      finish_name();
      // A further rule (such as a phony target) starts; only the first one is the compile's.
      if (seen_colon) break;
    } else if (c == ':' && in_targets &&
               (next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '\0')) {
      finish_name();
      in_targets = false;
      seen_colon = true;
    } else {
      name += c;
    }
  }
  finish_name();
  return seen_colon && !targets.empty();
}

bool facts_trusted(const file_facts& facts, long long start) {
  if (!facts.exists) return false;
  if (facts.time % nanoseconds_per_second == 0) {
    long long start_second = start / nanoseconds_per_second * nanoseconds_per_second;
    if (start < 0 && start % nanoseconds_per_second != 0) start_second -= nanoseconds_per_second;
    return facts.time < start_second;
  }
  return facts.time < start;
}

namespace {

// The first variable of the table whose value differs between two environments, or "".
std::string changed_variable(const tool_environment& then, const tool_environment& now) {
  const auto value_in = [](const tool_environment& environment, const std::string& name,
                           bool& set) -> std::string {
    for (const auto& [variable, value] : environment) {
      if (variable == name) {
        set = true;
        return value;
      }
    }
    set = false;
    return "";
  };
  for (std::size_t i = 0; i < tool_environment_count; ++i) {
    const std::string name = tool_environment_names[i];
    bool set_then = false;
    bool set_now = false;
    const std::string value_then = value_in(then, name, set_then);
    const std::string value_now = value_in(now, name, set_now);
    if (set_then != set_now || value_then != value_now) return name;
  }
  return "";
}

// The first program whose file differs between then and now (another path, changed facts, one
// found only then or only now), or "": named as found now, the recorded one when none is.
std::string changed_program(const std::vector<recorded_file>& then,
                            const std::vector<recorded_file>& now) {
  for (std::size_t i = 0; i < then.size() || i < now.size(); ++i) {
    if (i >= now.size()) return then[i].name;
    if (i >= then.size() || now[i].name != then[i].name ||
        !same_file_facts(now[i].facts, then[i].facts))
      return now[i].name;
  }
  return "";
}

}  // namespace

std::string stale_reason(const record_entry* entry, const std::string& digest,
                         const tool_environment& environment, const std::vector<file_facts>& now,
                         long long run_start, const std::vector<recorded_file>& programs) {
  if (entry == nullptr) return "not recorded";
  if (entry->digest != digest) return "the command changed";
  const std::string variable = changed_variable(entry->environment, environment);
  if (!variable.empty()) return variable + " changed";
  const std::string program = changed_program(entry->programs, programs);
  if (!program.empty()) return "the compiler " + program + " changed";
  if (entry->files.empty() || now.size() != entry->files.size()) return "not recorded";
  for (std::size_t i = 0; i < now.size(); ++i) {
    const recorded_file& then = entry->files[i];
    // A file the command looked for in vain, where one found now would come first.
    if (!then.facts.exists) {
      if (now[i].exists) return then.name + " appeared";
      continue;
    }
    if (!now[i].exists) return then.name + " is missing";
    if (!same_file_facts(now[i], then.facts)) return then.name + " changed";
    if (!then.made && !facts_trusted(now[i], run_start))
      return then.name + " has a time not before this run";
  }
  return "";
}

namespace {

bool ends_with_text(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool is_module_file_name(const std::string& name) {
  return ends_with_text(name, ".mod") || ends_with_text(name, ".smod");
}

}  // namespace

std::vector<bool> surely_skipped(const std::vector<const record_entry*>& entries,
                                 const std::vector<bool>& up_to_date) {
  std::vector<bool> sure(entries.size(), false);
  bool any_runs = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    sure[i] = up_to_date[i] && entries[i] != nullptr;
    any_runs = any_runs || !sure[i];
  }
  std::set<std::string> made_by_sure;
  std::map<std::string, std::vector<std::size_t>> readers;  // of each file, among the sure ones
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == nullptr) continue;
    for (const recorded_file& file : entries[i]->files) {
      if (file.made) {
        if (sure[i]) made_by_sure.insert(file.name);
      } else if (sure[i]) {
        readers[file.name].push_back(i);
      }
    }
  }
  // A compile that may run may remake what it made, and so make those that read it run in
  // turn, along whole chains: each compile found to be unsure is taken up once, so the cost
  // grows with the files of all entries, not with the depth of a chain.
  std::vector<std::size_t> unsure;
  const auto make_unsure = [&sure, &unsure](std::size_t i) {
    if (!sure[i]) return;
    sure[i] = false;
    unsure.push_back(i);
  };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!sure[i]) {
      unsure.push_back(i);
      continue;
    }
    // A module file no compile surely skipped made may be made by one that runs.
    for (const recorded_file& file : entries[i]->files) {
      if (any_runs && !file.made && is_module_file_name(file.name) &&
          made_by_sure.count(file.name) == 0)
        make_unsure(i);
    }
  }
  for (std::size_t next = 0; next < unsure.size(); ++next) {
    const record_entry* entry = entries[unsure[next]];
    if (entry == nullptr) continue;
    for (const recorded_file& file : entry->files) {
      if (!file.made) continue;
      const auto found = readers.find(file.name);
      if (found == readers.end()) continue;
      for (std::size_t reader : found->second) make_unsure(reader);
    }
  }
  return sure;
}
