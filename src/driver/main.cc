// The process entry: fill the variable table, then run.
#include <exception>
#include <new>

#include "config/variable_table.h"
#include "driver/run_sequence.h"
#include "platform/interrupts.h"
#include "run/messages.h"

int main(int argc, char** argv) {
  catch_interrupts();
  // Nothing is thrown on purpose; memory that runs out (or a library failure) still ends the
  // run with a message and a status, its temporaries removed, rather than an abort.
  try {
    // The table is filled before the arguments are looked at, so every exit has read the
    // environment.
    fill_variable_table();
    // Output that could not be written turns a successful run into a failure.
    return finish_standard_output(run_zrvbuild(argc, argv));
  } catch (const std::bad_alloc&) {
    remove_registered_temporaries();
    print_error("out of memory");
  } catch (const std::exception& error) {
    remove_registered_temporaries();
    print_error(error.what());
  }
  return finish_standard_output(1);
}
