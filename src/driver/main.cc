// The process entry: fill the variable table, then run.
#include "config/variable_table.h"
#include "driver/run_sequence.h"

int main(int argc, char** argv) {
  // The table is filled before the arguments are looked at, so every exit has read the
  // environment.
  fill_variable_table();
  return run_zrvbuild(argc, argv);
}
