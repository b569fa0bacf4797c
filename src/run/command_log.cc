// The record of a run's commands, its closing lines and its trace.
#include "run/command_log.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "build_constants.h"
#include "config/variable_table.h"
#include "platform/files.h"
#include "platform/interpreter.h"
#include "platform/interrupts.h"
#include "run/messages.h"
#include "text/json_text.h"

namespace {

struct logged_span {
  std::string name;
  const char* category = "";
  long long start = 0;
  long long end = -1;  // -1 while the command runs
  int lane = 0;
  int pid = 1;  // 1: commands; 2: phases and waits
  int number = 0;
  command_kind kind = command_kind::compile;
  int status = 0;
  bool is_command = false;
  std::string command;
  const char* program_variable = nullptr;
};

std::chrono::steady_clock::time_point run_start = std::chrono::steady_clock::now();
std::string trace_path;
pending_file trace_file;  // open from the start of the run until the trace is written
int jobs = 1;
std::vector<logged_span> spans;
bool trace_written = false;
// Commands left out as up to date, and the product of a link left out.
int skipped_commands = 0;
std::string skipped_product;

std::string event_text(const logged_span& span, long long now) {
  const long long end = span.end < 0 ? now : span.end;
  std::string text = "{\"name\":" + json_quote(span.name) + ",\"cat\":" +
                     json_quote(span.category) + ",\"ph\":\"X\",\"ts\":" +
                     std::to_string(span.start) + ",\"dur\":" + std::to_string(end - span.start) +
                     ",\"pid\":" + std::to_string(span.pid) + ",\"tid\":" +
                     std::to_string(span.lane);
  if (span.is_command) {
    text += ",\"args\":{\"status\":";
    text += span.end < 0 ? std::string("null") : std::to_string(span.status);
    text += ",\"command\":" + json_quote(span.command) + "}";
  }
  return text + "}";
}

std::string metadata_text(const char* what, int pid, int tid, const std::string& name) {
  return "{\"name\":\"" + std::string(what) + "\",\"ph\":\"M\",\"pid\":" + std::to_string(pid) +
         ",\"tid\":" + std::to_string(tid) + ",\"args\":{\"name\":" + json_quote(name) + "}}";
}

std::string trace_document() {
  const long long now = log_clock();
  std::string text = "{\"traceEvents\":[\n";
  text += metadata_text("process_name", 1, 0, std::string("zrvbuild ") + build_constants::version);
  text += ",\n" + metadata_text("process_name", 2, 0, "phases and waits");
  int lanes = 0;
  for (const logged_span& span : spans) {
    if (span.pid == 1 && span.lane > lanes)
      lanes = span.lane;
  }
  for (int lane = 1; lane <= lanes; ++lane)
    text += ",\n" + metadata_text("thread_name", 1, lane, "job slot " + std::to_string(lane));
  for (const logged_span& span : spans)
    text += ",\n" + event_text(span, now);
  text += "\n],\"displayTimeUnit\":\"ms\",\"otherData\":{\"program\":\"zrvbuild\",\"version\":" +
          json_quote(build_constants::version) + ",\"jobs\":" + std::to_string(jobs) + "}}\n";
  return text;
}

bool write_trace() {
  trace_written = true;
  if (!write_pending_text(trace_file, trace_document())) {
    discard_pending_file(trace_file);
    return false;
  }
  return commit_pending_file(trace_file);
}

std::string trace_failure() {
  return "unable to write trace file " + trace_path + ": " + trace_file.error;
}

}  // namespace

bool setup_command_log(int job_count) {
  run_start = std::chrono::steady_clock::now();
  jobs = job_count;
  const char* value = std::getenv("ZRVBUILD_TRACE");
  trace_path = value != nullptr ? value : "";
  if (trace_path.empty())
    return true;
  trace_file = open_pending_file(trace_path);
  if (trace_file.stream != nullptr)
    return true;
  trace_written = true;
  print_error(trace_failure());
  return false;
}

long long log_clock() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               run_start)
      .count();
}

int begin_command(command_kind kind, const std::string& name, const char* program_variable) {
  logged_span span;
  span.name = name;
  span.kind = kind;
  span.program_variable = program_variable;
  span.category = command_category(kind);
  span.is_command = true;
  span.number = announce(kind, name);
  span.start = log_clock();
  spans.push_back(span);
  return static_cast<int>(spans.size()) - 1;
}

void end_command(int id, int status, const std::string& command, int lane) {
  if (id < 0 || id >= static_cast<int>(spans.size()))
    return;
  logged_span& span = spans[static_cast<std::size_t>(id)];
  span.end = log_clock();
  span.status = status;
  span.lane = lane;
  if (!trace_path.empty())
    span.command = command;
  if (status != 0)
    announce_failure(span.number, span.kind, span.name, status);
  // The interpreter's status for a program it could not find: the user set, or must set, the
  // variable that named it.
  if (status == 127 && span.program_variable != nullptr) {
    const std::vector<std::string> words =
        split_interpreter_words(table_value(span.program_variable));
    if (!words.empty())
      print_error(words.front() + " was not found; the configuration variable " +
                  span.program_variable + " chose it");
  }
}

void skip_command(command_kind kind, const std::string& name) {
  ++skipped_commands;
  if (kind == command_kind::link)
    skipped_product = name;
  drop_planned_command();
}

void log_span(const std::string& name, const char* category, long long start, long long end,
              int lane) {
  if (trace_path.empty())
    return;
  logged_span span;
  span.name = name;
  span.category = category;
  span.start = start;
  span.end = end;
  span.lane = lane;
  span.pid = 2;
  spans.push_back(span);
}

namespace {

// The closing line of a run that failed: the first command that failed with the run's status.
std::string failed_run_line(int status) {
  for (const logged_span& span : spans) {
    if (span.is_command && span.end >= 0 && span.status == status)
      return build_failed_line(span.kind, span.name, status);
  }
  return build_failed_line(status);
}

}  // namespace

int finish_command_log(int status) {
  if (status != 0 && progress_lines_shown())
    announce_summary(failed_run_line(status));
  if (status == 0 && progress_lines_shown()) {
    int compiled = 0;
    int linked = 0;
    int dependency_files = 0;
    std::string product;
    int started = 0;
    for (const logged_span& span : spans) {
      if (!span.is_command)
        continue;
      ++started;
      if (span.kind == command_kind::compile)
        ++compiled;
      if (span.kind == command_kind::dependencies)
        ++dependency_files;
      if (span.kind == command_kind::link) {
        ++linked;
        product = span.name;
      }
    }
    const double seconds = static_cast<double>(log_clock()) / 1e6;
    if (started == 0 && skipped_commands > 0)
      announce_summary(up_to_date_line(skipped_product));
    else
      announce_summary(summary_line(product, compiled, linked, dependency_files, seconds));
  }
  if (trace_path.empty() || trace_written)
    return status;
  if (!write_trace()) {
    print_error(trace_failure());
    return status != 0 ? status : 1;
  }
  return status;
}

void write_trace_before_interrupt() {
  if (!trace_path.empty() && !trace_written)
    write_trace();
}

void end_run_if_interrupted(int raw_status) {
  if (interrupted_by() != 0 || interrupting_signal(raw_status) != 0)
    write_trace_before_interrupt();
  end_if_interrupted(raw_status);
}
