// Incremental builds: the decisions at each command's start, what each finished command read
// and made, and the record file.
#include "phases/incremental.h"

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "phases/fortran_scan.h"
#include "platform/file_facts.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/pending_file.h"
#include "platform/wrappers.h"
#include "run/messages.h"
#include "text/build_record.h"
#include "text/text_rules.h"

const char* const build_record_name = ".zrvbuild-record";

namespace {

bool active = false;
build_record record;
bool record_changed = false;
long long run_start = 0;
std::string private_directory;  // holds the compilers' dependency output
int private_directory_slot = -1;
int dependency_files = 0;
// The files this run's commands made, with their facts as each command ended: a later command
// of the run that reads one (a module file, an object in the link) may trust it though it is
// newer than that command's start, as long as it is still what its command made.
std::map<std::string, file_facts> made_in_run;

bool same_facts(const file_facts& a, const file_facts& b) {
  return a.exists == b.exists && a.size == b.size && a.time == b.time;
}

bool made_by_this_run(const std::string& name, const file_facts& facts) {
  const auto found = made_in_run.find(name);
  return found != made_in_run.end() && same_facts(found->second, facts);
}

std::string read_whole_file(const std::string& path, bool& readable) {
  std::ifstream file(path, std::ios::binary);
  readable = static_cast<bool>(file);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void tell(const std::string& line) {
  if (verbose) print_out_line("zrvbuild: " + line);
}

void write_record() {
  if (!record_changed) return;
  record_changed = false;
  pending_file file = open_pending_file(build_record_name);
  if (file.stream == nullptr) {
    print_error(std::string("unable to write build record ") + build_record_name);
    return;
  }
  const std::string text = build_record_text(record);
  const bool written = std::fwrite(text.data(), 1, text.size(), file.stream) == text.size();
  if (!written) {
    discard_pending_file(file);
    print_error(std::string("unable to write build record ") + build_record_name);
    return;
  }
  if (!commit_pending_file(file))
    print_error(std::string("unable to write build record ") + build_record_name);
}

// Why output is not up to date ("" when it is), in the words -v shows.
std::string why_not_up_to_date(const std::string& output, const std::string& digest) {
  const auto found = record.find(output);
  if (found == record.end()) return output + " is not recorded";
  std::vector<file_facts> now;
  now.reserve(found->second.files.size());
  for (const recorded_file& file : found->second.files) now.push_back(read_file_facts(file.name));
  const std::string reason = stale_reason(&found->second, digest, now, run_start);
  return reason == "not recorded" ? output + " is not recorded" : reason;
}

// The preprocessor changes nothing in a Fortran source that has no directive line, no
// backslash before a line end, no "__" (every predefined macro name holds it) and is compiled
// without -D or -U: only then may gfortran preprocess it to say what it read.
bool preprocessor_leaves_alone(const std::string& source, const std::string& command) {
  for (const std::string& word : split_interpreter_words(command)) {
    if (starts_with(word, "-D") || starts_with(word, "-U")) return false;
  }
  bool readable = false;
  const std::string text = read_whole_file(source, readable);
  if (!readable || text.find("__") != std::string::npos) return false;
  bool line_start = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && (i + 1 == text.size() || text[i + 1] == '\n' || text[i + 1] == '\r'))
      return false;
    if (line_start && c == '#') return false;
    if (c == '\n')
      line_start = true;
    else if (c != ' ' && c != '\t')
      line_start = false;
  }
  return true;
}

// The options that make the compiler list what it read, or "" when it cannot be asked.
std::string dependency_options(const planned_command& step) {
  if (!step.fortran || is_preprocessed_fortran(step.name)) return " -MD -MF ";
  // gfortran lists files only while it preprocesses.
  if (preprocessor_leaves_alone(step.name, step.command)) return " -cpp -MD -MF ";
  return "";
}

std::string new_dependency_file() {
  if (private_directory.empty()) {
    private_directory = make_private_temporary_directory();
    if (private_directory.empty()) return "";
    private_directory_slot = register_temporary(private_directory);
  }
  return private_directory + "/" + std::to_string(dependency_files++) + ".d";
}

void drop_dependency_file(incremental_compile& state) {
  if (state.dependency_file.empty()) return;
  zorvan_unlink_wrapper(state.dependency_file.c_str());
  release_temporary(state.dependency_slot);
  state.dependency_file.clear();
}

// Adds each name once, with its facts; false when a file is missing, or is read and untrusted.
bool add_files(const std::vector<std::string>& names, bool made, long long started,
               std::set<std::string>& seen, record_entry& entry) {
  for (const std::string& name : names) {
    if (!seen.insert(name).second) continue;
    recorded_file file;
    file.name = name;
    file.made = made;
    file.facts = read_file_facts(name);
    if (!file.facts.exists) return false;
    if (!made && !facts_trusted(file.facts, started) && !made_by_this_run(name, file.facts))
      return false;
    entry.files.push_back(file);
  }
  return true;
}

}  // namespace

bool parse_incremental_request(const char* value, bool& on) {
  on = false;
  if (value == nullptr) return true;
  const std::string text = value;
  if (text.empty() || text == "0") return true;
  if (text != "1") return false;
  on = true;
  return true;
}

void setup_incremental(const run_state& run, bool requested) {
  active = requested && !run.dry_run && !run.depend;
  if (!active) return;
  run_start = file_clock_now();
  bool readable = false;
  const std::string text = read_whole_file(build_record_name, readable);
  if (readable && !parse_build_record(text, record)) {
    tell(std::string(build_record_name) + " cannot be read: everything is rebuilt");
    record_changed = true;
  }
}

incremental_compile begin_incremental_compile(const planned_command& step) {
  incremental_compile state;
  state.command = step.command;
  if (!active) return state;
  const std::string digest = command_digest(step.command);
  const std::string reason = why_not_up_to_date(step.output, digest);
  if (reason.empty()) {
    tell(step.output + " is up to date");
    state.skip = true;
    return state;
  }
  tell("compiling " + step.name + ": " + reason);
  if (record.erase(step.output) != 0) record_changed = true;
  const std::string options = dependency_options(step);
  if (!options.empty()) state.dependency_file = new_dependency_file();
  if (!state.dependency_file.empty()) {
    state.dependency_slot = register_temporary(state.dependency_file);
    state.command += options + quote_file_for_interpreter(state.dependency_file);
  }
  state.started = file_clock_now();
  return state;
}

void end_incremental_compile(const planned_command& step, incremental_compile& state,
                             int status) {
  if (!active || state.skip) return;
  bool readable = false;
  const std::string text =
      state.dependency_file.empty() ? "" : read_whole_file(state.dependency_file, readable);
  drop_dependency_file(state);
  std::vector<std::string> targets;
  std::vector<std::string> prerequisites;
  // A compiler that wrote no list, or a list without the source, cannot be followed.
  if (status == 0 && readable && parse_dependency_output(text, targets, prerequisites) &&
      !prerequisites.empty()) {
    record_entry entry;
    entry.digest = command_digest(step.command);
    std::set<std::string> seen;
    targets.insert(targets.begin(), step.output);
    if (add_files(targets, true, state.started, seen, entry) &&
        add_files(prerequisites, false, state.started, seen, entry)) {
      for (const recorded_file& file : entry.files) {
        if (file.made) made_in_run[file.name] = file.facts;
      }
      record[step.output] = entry;
      record_changed = true;
    }
  }
  write_record();
}

bool link_is_up_to_date(const std::string& product, const std::string& command_text) {
  if (!active) return false;
  const std::string reason = why_not_up_to_date(product, command_digest(command_text));
  if (reason.empty()) {
    tell(product + " is up to date");
    return true;
  }
  tell("linking " + product + ": " + reason);
  if (record.erase(product) != 0) record_changed = true;
  write_record();
  return false;
}

long long incremental_clock() { return active ? file_clock_now() : 0; }

void end_incremental_link(const std::string& product, const std::string& command_text,
                          const std::string& lists, long long started, int status) {
  if (!active) return;
  if (status == 0) {
    std::vector<std::string> inputs;
    for (const std::string& word : split_interpreter_words(lists)) {
      if (!starts_with(word, "-")) inputs.push_back(word);
    }
    record_entry entry;
    entry.digest = command_digest(command_text);
    std::set<std::string> seen;
    if (add_files({product}, true, started, seen, entry) &&
        add_files(inputs, false, started, seen, entry)) {
      record[product] = entry;
      record_changed = true;
    }
  }
  write_record();
}

void finish_incremental() {
  if (!active) return;
  write_record();
  if (!private_directory.empty()) {
    remove_private_temporary_directory(private_directory);
    release_temporary(private_directory_slot);
    private_directory.clear();
  }
}
