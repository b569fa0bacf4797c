// Incremental builds: the decisions at each command's start, what each finished command read
// and made, and the record file.
#include "phases/incremental.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "phases/fortran_scan.h"
#include "phases/include_shadowing.h"
#include "platform/file_facts.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/files.h"
#include "platform/program_search.h"
#include "platform/wrappers.h"
#include "run/messages.h"
#include "text/build_record.h"
#include "text/link_libraries.h"
#include "text/program_words.h"
#include "text/text_rules.h"

const char* const build_record_name = ".zrvbuild-record";
const char* const build_record_lock_name = ".zrvbuild-record.lock";

namespace {

// Tries for the lock this often while another run holds it, and says so after about a second.
const int lock_poll_milliseconds = 20;
const int lock_tries_before_telling = 50;

bool active = false;
build_record record;
tool_environment environment;  // the tool environment of this run
bool record_changed = false;
long long run_start = 0;
std::string private_directory;  // holds the compilers' dependency output
int private_directory_slot = -1;
bool private_directory_refused = false;  // none could be made: said once, no compile runs
bool record_unwritable = false;          // a write failed: said once, not tried again
lock_file record_lock;                   // held from the record's read to the run's end
int dependency_files = 0;
// The files this run's commands made, with their facts as each command ended: a later command
// of the run that reads one (a module file, an object in the link) may trust it though it is
// newer than that command's start, as long as it is still what its command made.
std::map<std::string, file_facts> made_in_run;
// The programs of each link as it started, by product, for its entry when it has ended.
std::map<std::string, std::vector<recorded_file>> link_programs;

bool made_by_this_run(const std::string& name, const file_facts& facts) {
  const auto found = made_in_run.find(name);
  return found != made_in_run.end() && same_file_facts(found->second, facts);
}

void tell(const std::string& line) {
  if (verbose) print_out_line("zrvbuild: " + line);
}

void write_record() {
  if (!record_changed || record_unwritable) return;
  record_changed = false;
  pending_file file = open_pending_file(build_record_name);
  bool written = write_pending_text(file, build_record_text(record));
  if (!written)
    discard_pending_file(file);
  else
    written = commit_pending_file(file);
  if (written) return;
  record_unwritable = true;
  print_error(std::string("unable to write build record ") + build_record_name + ": " +
              file.error);
}

// The program files that the program words of each line of a command lead to now, with their
// facts; a word that leads to no file has none (its command fails as it would anyway). Each word
// is looked up once a run: the same few programs run every command, and a search costs a stat
// per PATH directory. A program replaced during the run is seen by the next run, whose facts
// then differ from the recorded ones.
std::vector<recorded_file> programs_of(const std::string& command_text) {
  static std::map<std::string, recorded_file> found_programs;
  std::vector<recorded_file> programs;
  std::size_t start = 0;
  while (start < command_text.size()) {
    std::size_t end = command_text.find('\n', start);
    if (end == std::string::npos) end = command_text.size();
    const std::string line = command_text.substr(start, end - start);
    start = end + 1;
    for (const std::string& word : program_words(split_interpreter_words(line))) {
      auto known = found_programs.find(word);
      if (known == found_programs.end()) {
        recorded_file program;
        program.name = find_program_file(word);
        if (!program.name.empty()) program.facts = read_file_facts(program.name);
        known = found_programs.emplace(word, program).first;
      }
      if (!known->second.name.empty() && known->second.facts.exists)
        programs.push_back(known->second);
    }
  }
  return programs;
}

// Why output is not up to date ("" when it is), in the words -v shows. programs: those of its
// command now.
std::string why_not_up_to_date(const std::string& output, const std::string& digest,
                               const std::vector<recorded_file>& programs) {
  const auto found = record.find(output);
  if (found == record.end()) return output + " is not recorded";
  std::vector<file_facts> now;
  now.reserve(found->second.files.size());
  for (const recorded_file& file : found->second.files) now.push_back(read_file_facts(file.name));
  const std::string reason =
      stale_reason(&found->second, digest, environment, now, run_start, programs);
  return reason == "not recorded" ? output + " is not recorded" : reason;
}

// How the compiler reads a Fortran source under this command.
fortran_reading reading_of(const planned_command& step) {
  return read_fortran_command(step.name, split_interpreter_words(step.command));
}

// gfortran lists what it read only while it preprocesses, and preprocessing would change the
// meaning of a source the clean build does not preprocess (C comments, predefined macros): such
// a source's files come from zrvbuild's own scan instead.
bool read_by_own_scan(const planned_command& step) {
  return step.fortran && !reading_of(step).preprocessed;
}

// The options that make the compiler list what it read, or "" where the own scan does.
std::string dependency_options(const planned_command& step) {
  return read_by_own_scan(step) ? "" : " -MD -MF ";
}

// Looks for names in each of directories in turn: each of them that the first directory holding
// any of them holds goes to found, and each looked for in vain up to there to absent. Nothing is
// added when no directory holds one.
void search_first_directory(const std::vector<std::string>& directories,
                            const std::vector<std::string>& names, std::vector<std::string>& found,
                            std::vector<std::string>& absent) {
  std::vector<std::string> missed;
  for (const std::string& directory : directories) {
    bool any = false;
    for (const std::string& name : names) {
      const std::string path = path_in_directory(directory, name);
      if (!read_file_facts(path).exists) {
        missed.push_back(path);
        continue;
      }
      found.push_back(path);
      any = true;
    }
    if (any) {
      absent.insert(absent.end(), missed.begin(), missed.end());
      return;
    }
  }
}

// What a plain Fortran source reads and writes, as its compiler finds them: the source, the
// files of its include lines (beside it, then in each -I directory), the module files of the
// modules it uses (the first directory that holds one), and the module files it writes; absent:
// the files looked for in vain before those found. False when the text does not tell (an include
// that cannot be followed, an unreadable source).
bool scan_plain_fortran(const planned_command& step, std::vector<std::string>& made,
                        std::vector<std::string>& read, std::vector<std::string>& absent) {
  const fortran_reading reading = reading_of(step);
  std::string text;
  std::string reason;
  if (!read_file_text(step.name, read_use::own_file, text, reason)) return false;
  read.push_back(step.name);
  fortran_scan scan = scan_fortran_text(text, reading.fixed_form, false);
  follow_includes(scan, step.name, reading,
                  [&read, &absent](const std::string& path, std::string& body) {
    if (!read_file_facts(path).exists) {
      absent.push_back(path);
      return false;
    }
    std::string reason;
    const bool whole = read_file_text(path, read_use::own_file, body, reason);
    if (whole) read.push_back(path);
    return whole;
  });
  if (scan.opaque) return false;
  const std::vector<std::string> directories = module_search_directories(reading);
  for (const std::string& name : scan.uses) {
    const std::vector<std::string> files = module_file_names(name);
    // The directory of the first file found holds the module; a module found nowhere is one
    // of the compiler's own.
    search_first_directory(directories, files, read, absent);
  }
  for (const std::string& name : scan.defines) {
    for (const std::string& file : module_file_names(name)) {
      const std::string path = path_in_directory(reading.module_directory, file);
      if (read_file_facts(path).exists) made.push_back(path);
    }
  }
  return true;
}

// A name for the compiler's list in the run's private directory, made with the first one; ""
// when it cannot be made, which is said once.
std::string new_dependency_file() {
  if (private_directory.empty() && !private_directory_refused) {
    std::string failure;
    private_directory = make_private_temporary_directory(failure);
    if (private_directory.empty()) {
      private_directory_refused = true;
      print_error(failure);
    } else {
      private_directory_slot = register_temporary(private_directory);
    }
  }
  if (private_directory.empty()) return "";
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

// Adds each name once as a file looked for in vain, unless it exists now: one that exists was
// passed over for another reason (a header named in angle brackets beside the source).
void add_absent_files(const std::vector<std::string>& names, std::set<std::string>& seen,
                      record_entry& entry) {
  for (const std::string& name : names) {
    if (seen.count(name) != 0 || read_file_facts(name).exists) continue;
    seen.insert(name);
    recorded_file file;
    file.name = name;
    entry.files.push_back(file);
  }
}

// One incremental run at a time in a directory: each reads the record at its start and writes it
// whole, so a second run waits for the first to end instead of writing over its entries. A lock
// that cannot be had at all (a directory not writable, whose record cannot be written either; a
// link under the lock file's name) leaves the run as runs were without it, and says nothing.
void lock_record() {
  std::string reason;
  if (!open_lock_file(build_record_lock_name, record_lock, reason)) return;
  for (int tries = 1;; ++tries) {
    const lock_result result = try_lock_file(record_lock, reason);
    if (result == lock_result::taken) return;
    if (result == lock_result::failed) {
      close_lock_file(record_lock);
      return;
    }
    if (tries == lock_tries_before_telling)
      print_error("waiting for another run in this directory");
    // Windows only records an interruption: the run ends here, as it would while commands run.
    end_if_interrupted(0);
    pause_milliseconds(lock_poll_milliseconds);
  }
}

// The library files that the -l requests of a link lead to through its -L directories: in the
// first directory that holds any of a request's names, each of them it holds (the linker takes
// one; a change of any reruns the link); absent: the names looked for in vain up to that
// directory. A request found in no -L directory is one of the linker's own
// libraries, which is not followed.
std::vector<std::string> requested_library_files(const std::string& command_text,
                                                 std::vector<std::string>& absent) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < command_text.size()) {
    std::size_t end = command_text.find('\n', start);
    if (end == std::string::npos) end = command_text.size();
    for (const std::string& word : split_interpreter_words(command_text.substr(start, end - start)))
      words.push_back(word);
    start = end + 1;
  }
  const library_search search = link_library_search(words);
  std::vector<std::string> files;
  for (const std::vector<std::string>& names : search.requests)
    search_first_directory(search.directories, names, files, absent);
  return files;
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
  // What another run made while this one waited is older than this run.
  lock_record();
  run_start = file_clock_now();
  for (std::size_t i = 0; i < tool_environment_count; ++i) {
    const char* value = std::getenv(tool_environment_names[i]);
    if (value != nullptr) environment.emplace_back(tool_environment_names[i], value);
  }
  std::string text;
  std::string reason;
  const bool readable = read_file_text(build_record_name, read_use::own_file, text, reason);
  // A record that is not there is a first run; one that cannot be read counts as none.
  if (!readable && inspect_file(build_record_name).kind != file_kind::missing) {
    print_error(std::string("unable to read build record ") + build_record_name + ": " + reason +
                "; everything is rebuilt");
    record_changed = true;
  }
  if (readable && !parse_build_record(text, record)) {
    tell(std::string(build_record_name) + " cannot be read: everything is rebuilt");
    record_changed = true;
  }
}

std::vector<bool> compiles_surely_skipped(const std::vector<planned_command>& steps) {
  std::vector<bool> skipped(steps.size(), false);
  if (!active) return skipped;
  std::vector<const record_entry*> entries;
  std::vector<bool> up_to_date;
  for (const planned_command& step : steps) {
    if (!step.refusal.empty()) break;
    const auto found = record.find(step.output);
    entries.push_back(found == record.end() ? nullptr : &found->second);
    up_to_date.push_back(
        why_not_up_to_date(step.output, command_digest(step.command), programs_of(step.command))
            .empty());
  }
  const std::vector<bool> sure = surely_skipped(entries, up_to_date);
  std::copy(sure.begin(), sure.end(), skipped.begin());
  return skipped;
}

incremental_compile begin_incremental_compile(const planned_command& step) {
  incremental_compile state;
  state.command = step.command;
  if (!active) return state;
  const std::string digest = command_digest(step.command);
  state.programs = programs_of(step.command);
  const std::string reason = why_not_up_to_date(step.output, digest, state.programs);
  if (reason.empty()) {
    tell(step.output + " is up to date");
    state.skip = true;
    return state;
  }
  tell("compiling " + step.name + ": " + reason);
  if (record.erase(step.output) != 0) record_changed = true;
  const std::string options = dependency_options(step);
  if (!options.empty()) state.dependency_file = new_dependency_file();
  // The compiler cannot be asked, and its command must not run without the list.
  if (!options.empty() && state.dependency_file.empty()) {
    state.refused = true;
    return state;
  }
  if (!state.dependency_file.empty()) {
    state.dependency_slot = register_temporary(state.dependency_file);
    state.command += options + quote_file_for_interpreter(state.dependency_file);
  }
  state.started = file_clock_now();
  return state;
}

void end_incremental_compile(const planned_command& step, incremental_compile& state,
                             int status) {
  if (!active || state.skip || state.refused) return;
  std::string text;
  std::string reason;
  const bool readable = !state.dependency_file.empty() &&
                        read_file_text(state.dependency_file, read_use::own_file, text, reason);
  drop_dependency_file(state);
  std::vector<std::string> targets;
  std::vector<std::string> prerequisites;
  std::vector<std::string> absent;
  // A compiler that wrote no list, or a list without the source, cannot be followed.
  const bool listed =
      status == 0 &&
      (read_by_own_scan(step)
           ? scan_plain_fortran(step, targets, prerequisites, absent)
           : readable && parse_dependency_output(text, targets, prerequisites)) &&
      !prerequisites.empty();
  if (listed && !read_by_own_scan(step))
    absent = include_shadowing_candidates(split_interpreter_words(step.command), step.name,
                                          prerequisites);
  if (listed) {
    record_entry entry;
    entry.digest = command_digest(step.command);
    entry.environment = environment;
    entry.programs = state.programs;
    std::set<std::string> seen;
    targets.insert(targets.begin(), step.output);
    if (add_files(targets, true, state.started, seen, entry) &&
        add_files(prerequisites, false, state.started, seen, entry)) {
      add_absent_files(absent, seen, entry);
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
  std::vector<recorded_file>& programs = link_programs[product];
  programs = programs_of(command_text);
  const std::string reason = why_not_up_to_date(product, command_digest(command_text), programs);
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
    std::vector<std::string> absent;
    for (const std::string& library : requested_library_files(command_text, absent))
      inputs.push_back(library);
    record_entry entry;
    entry.digest = command_digest(command_text);
    entry.environment = environment;
    entry.programs = link_programs[product];
    std::set<std::string> seen;
    if (add_files({product}, true, started, seen, entry) &&
        add_files(inputs, false, started, seen, entry)) {
      add_absent_files(absent, seen, entry);
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
  close_lock_file(record_lock);
}
