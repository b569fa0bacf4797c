// Make dependency files.
#include "phases/depend.h"

#include "platform/command_pipe.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "platform/files.h"
#include "platform/wrappers.h"
#include "run/command_log.h"
#include "run/long_commands.h"
#include "run/messages.h"
#include "run/runner.h"
#include "text/name_quoting.h"
#include "text/text_rules.h"

namespace {

// Writes one line and its line end and flushes; false when any of it failed.
bool write_line(pending_file& file, const std::string& line) {
  return write_pending_text(file, line) && write_pending_text(file, "\n") &&
         flush_pending_file(file);
}

// Copies the pipe into the dependency file, one output line per read, and returns false when
// the file could not be written in full. With no file the pipe is still read to its end.
bool copy_rules(std::FILE* pipe, pending_file& file) {
  bool written = file.stream != nullptr;
  while (!std::feof(pipe)) {
    const std::string line = read_line(pipe);
    if (written) written = write_line(file, rewrite_dependency_line(line, file.final_path));
    // A read error without end of file would otherwise repeat for ever.
    if (std::ferror(pipe)) break;
  }
  return written;
}

int write_dependency_rules(const planned_command& step) {
  const std::string& dep_file = step.output;
  if (refuse_too_long_command(step.command))
    return 1;
  std::FILE* pipe = open_command_pipe(step.command.c_str());
  if (pipe == nullptr) {
    print_error("unable to start dependency command for " + step.name);
    return 1;
  }
  // Written under a temporary name and put in place whole: make never includes a cut file.
  pending_file file = open_pending_file(dep_file);
  bool written = copy_rules(pipe, file);
  const int raw_status = close_command_pipe(pipe);
  written = close_pending_file(file) && written;
  // The output of an interrupted command is never put in place.
  end_run_if_interrupted(raw_status);
  written = commit_pending_file(file) && written;
  const int status = decode_command_status(raw_status);
  if (!written) print_error(dependency_file_failure(file));
  if (status != 0) return status;
  return written ? 0 : 1;
}

int write_dependency_file(const planned_command& step) {
  remove_old_file(step.output);
  const int id = begin_command(step.kind, step.name, step.program_variable);
  const int status = write_dependency_rules(step);
  end_command(id, status, step.command, 1);
  return status;
}

// Where the last ".o:" of a line begins, or npos. One backward pass that stops only at a colon:
// std::string::rfind compares all three characters at every position, which dominates the
// cost of long lines.
std::string::size_type last_object_colon(const std::string& line) {
  const char* const text = line.data();
  for (std::string::size_type end = line.size(); end >= 3; --end) {
    if (text[end - 1] == ':' && text[end - 2] == 'o' && text[end - 3] == '.') return end - 3;
  }
  return std::string::npos;
}

}  // namespace

std::string read_line(std::FILE* stream) {
  // One buffer for every line of the run; it only grows.
  static std::string buffer;
  buffer.clear();
  for (int c = next_stream_char(stream); c != EOF && c != '\n'; c = next_stream_char(stream)) {
    buffer.push_back(static_cast<char>(c));
  }
  return buffer;
}

std::string rewrite_dependency_line(const std::string& line, const std::string& dep_file) {
  const std::string::size_type colon = last_object_colon(line);
  if (colon == std::string::npos) return line;
  const std::string::size_type slash = line.rfind('/', colon);
  const std::string::size_type start = slash == std::string::npos ? 0 : slash + 1;
  const std::string object = line.substr(start, colon + 2 - start);
  std::string rewritten;
  rewritten.reserve(line.size() + object.size() + dep_file.size() + 8);
  rewritten.append("pic/").append(object).append(" ").append(object).append(" ");
  rewritten.append(make_target_name(dep_file)).append(line, colon + 2, std::string::npos);
  return rewritten;
}

std::string compose_depend_command(bool is_cxx, const std::string& source, const run_state& run,
                                   variable_table& table) {
  return table[is_cxx ? "CXX" : "CC"] + " " + table["DEPEND_FLAGS"] + " " + table["CPPFLAGS"] +
         " " + table[is_cxx ? "ALL_CXXFLAGS" : "ALL_CFLAGS"] + " " + run.include_flags + " " +
         run.define_flags + " " + quote_file_for_interpreter(source);
}

std::vector<planned_command> plan_dependencies(const run_state& run, variable_table& table) {
  std::vector<planned_command> plan;
  plan.reserve(run.c_files.size() + run.cxx_files.size());
  for (bool is_cxx : {false, true}) {
    for (const std::string& source : is_cxx ? run.cxx_files : run.c_files) {
      planned_command step;
      step.kind = command_kind::dependencies;
      step.name = source;
      step.output = basename_no_ext(source) + ".d";
      step.command = compose_depend_command(is_cxx, source, run, table);
      step.program_variable = is_cxx ? "CXX" : "CC";
      plan.push_back(step);
    }
  }
  return plan;
}

int depend_phase(const std::vector<planned_command>& plan) {
  int status = 0;
  for (const planned_command& step : plan) {
    const int step_status = write_dependency_file(step);
    if (status == 0) status = step_status;
  }
  return status;
}

int depend_phase(const run_state& run, variable_table& table) {
  return depend_phase(plan_dependencies(run, table));
}

bool copy_dependency_rules(std::FILE* output, pending_file& file) {
  return copy_rules(output, file);
}

std::string dependency_file_failure(const pending_file& file) {
  return "unable to write dependency file " + file.final_path +
         (file.error.empty() ? "" : ": " + file.error);
}

bool copy_dependency_text(const std::string& output, pending_file& file) {
  // As read_line reads a stream: each line feed ends a line, and what follows the last one
  // (nothing, when the output ends with a line feed) is one more line.
  bool written = file.stream != nullptr;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = output.find('\n', start);
    const std::string line = output.substr(start, end == std::string::npos ? end : end - start);
    if (written) written = write_line(file, rewrite_dependency_line(line, file.final_path));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return written;
}
