// The process entry: fill the variable table, then run.
#include "config/variable_table.h"
#include "driver/run_sequence.h"
#include "platform/interrupts.h"
#include "run/messages.h"

int main(int argc, char** argv) {
  catch_interrupts();
  // The table is filled before the arguments are looked at, so every exit has read the
  // environment.
  fill_variable_table();
  // Output that could not be written turns a successful run into a failure.
  return finish_standard_output(run_zrvbuild(argc, argv));
}
