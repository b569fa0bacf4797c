// The one printing path for lines on standard output and standard error.
//
// A write to a pipe whose reader has gone raises SIGPIPE. Its disposition is left as the
// process received it: by default the signal ends the process, which the caller's shell reports
// as 128 + 13; when it is ignored, the write fails and the run ends with status 1 and a message.
// Either way the status does not claim success for output that was lost.
#include "run/messages.h"

#include <cstdio>

namespace {

bool output_failed = false;

}  // namespace

void print_out_line(const std::string& line) {
  bool written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
  written = std::fputc('\n', stdout) != EOF && written;
  written = std::fflush(stdout) == 0 && written;
  if (!written) output_failed = true;
}

void print_error(const std::string& message) {
  std::string line = "zrvbuild: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void write_out_text(const std::string& text) {
  bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  written = std::fflush(stdout) == 0 && written;
  if (!written) output_failed = true;
}

void write_error_text(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool standard_output_failed() { return output_failed; }

int finish_standard_output(int run_status) {
  // Every line was flushed when it was printed; this catches anything else still pending.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) output_failed = true;
  if (!output_failed) return run_status;
  print_error("error writing standard output");
  // A failure the run already reports (a command's status, an unrecognised argument) is kept.
  return run_status != 0 ? run_status : 1;
}
