// Progress lines on standard error.
#include "run/progress.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/terminal.h"
#include "run/messages.h"

namespace {

// Set once by setup_progress, before any command starts.
bool shown = false;
int total_commands = 0;

// Commands may start from more than one thread: the count and the line are one step.
std::mutex announce_mutex;
int started_commands = 0;

// One write for the whole line: the tools write to the same stream.
void write_whole_line(const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

struct kind_words {
  const char* verb;      // in progress lines
  const char* category;  // in traces
};

// In the order of command_kind.
const kind_words words_of_kind[] = {
    {"compiling ", "compile"},
    {"dependencies of ", "dependencies"},
    {"linking ", "link"},
    {"stripping ", "strip"},
};

const char* verb_of(command_kind kind) {
  return words_of_kind[static_cast<int>(kind)].verb;
}

}  // namespace

const char* command_category(command_kind kind) {
  return words_of_kind[static_cast<int>(kind)].category;
}

progress_request parse_progress_request(const char* value) {
  // An empty value counts as unset, as for every variable the program reads.
  if (value == nullptr || *value == '\0')
    return progress_request::on_terminal;
  const std::string text = value;
  if (text == "1")
    return progress_request::always;
  if (text == "0")
    return progress_request::never;
  return progress_request::invalid;
}

int planned_command_count(const run_state& run) {
  const int c_and_cxx_sources = static_cast<int>(run.c_files.size() + run.cxx_files.size());
  // One dependency file per C and C++ source; Fortran sources are passed over then.
  if (run.depend)
    return c_and_cxx_sources;
  const int compiles = c_and_cxx_sources + static_cast<int>(run.fortran_files.size());
  // Every compile adds its object, so the link runs when objects were named or compiled.
  if (!run.link || (run.obj_files.empty() && compiles == 0))
    return compiles;
  return compiles + 1 + (run.strip ? 1 : 0);
}

bool progress_shown(progress_request request, bool error_is_terminal, bool echoing,
                    int command_count) {
  if (echoing || command_count < 2)
    return false;
  if (request == progress_request::always)
    return true;
  return request == progress_request::on_terminal && error_is_terminal;
}

std::string progress_line(int started, int total, command_kind kind, const std::string& name) {
  return "[" + std::to_string(started) + "/" + std::to_string(total) + "] " + verb_of(kind) + name;
}

int setup_progress(const run_state& run) {
  const char* value = std::getenv("ZRVBUILD_PROGRESS");
  const progress_request request = parse_progress_request(value);
  if (request == progress_request::invalid) {
    print_error(std::string("ZRVBUILD_PROGRESS must be 0 or 1, not \"") + value + "\"");
    return 1;
  }
  total_commands = planned_command_count(run);
  // The terminal is asked only when the answer matters.
  const bool error_is_terminal =
      request == progress_request::on_terminal && standard_error_is_terminal();
  shown = progress_shown(request, error_is_terminal, verbose || run.dry_run, total_commands);
  return 0;
}

int announce(command_kind kind, const std::string& name) {
  std::lock_guard<std::mutex> lock(announce_mutex);
  ++started_commands;
  if (shown)
    write_whole_line(progress_line(started_commands, total_commands, kind, name));
  return started_commands;
}

bool progress_lines_shown() {
  return shown;
}

std::string failure_line(int number, int total, command_kind kind, const std::string& name,
                         int status) {
  return progress_line(number, total, kind, name) + " failed (status " + std::to_string(status) +
         ")";
}

void announce_failure(int number, command_kind kind, const std::string& name, int status) {
  if (shown)
    write_whole_line(failure_line(number, total_commands, kind, name, status));
}

std::string summary_line(const std::string& product, int compiled, int linked, int dependency_files,
                         double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, " in %.1f s", seconds);
  if (dependency_files > 0)
    return "wrote " + std::to_string(dependency_files) + " dependency files" + time;
  if (linked == 0)
    return "compiled " + std::to_string(compiled) + time;
  return "built " + product + ": " + std::to_string(compiled) + " compiled, " +
         std::to_string(linked) + " linked" + time;
}

std::string build_failed_line(command_kind kind, const std::string& name, int status) {
  return std::string("build failed: ") + verb_of(kind) + name + " failed (status " +
         std::to_string(status) + ")";
}

std::string build_failed_line(int status) {
  return "build failed (status " + std::to_string(status) + ")";
}

std::string up_to_date_line(const std::string& product) {
  return product.empty() ? "every object is up to date" : product + " is up to date";
}

void drop_planned_command() {
  std::lock_guard<std::mutex> lock(announce_mutex);
  if (total_commands > started_commands)
    --total_commands;
}

void announce_summary(const std::string& line) {
  if (shown)
    write_whole_line(line);
}
