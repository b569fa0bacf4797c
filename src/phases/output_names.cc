// The product's name.
#include "phases/output_names.h"

#include "platform/interpreter.h"
#include "text/text_rules.h"

void setup_output_names(run_state& run) {
  if (run.link_stand_alone) {
    if (!run.output_file.empty())
      run.ld_output_option = "-o " + quote_file_for_interpreter(run.output_file);
    return;
  }
  if (!run.output_file.empty()) {
    run.target_file = run.output_file;
    if (!ends_with(run.target_file, run.target_ext)) run.target_file += run.target_ext;
  } else {
    run.target_file = basename_no_ext(run.target_file) + run.target_ext;
  }
}
