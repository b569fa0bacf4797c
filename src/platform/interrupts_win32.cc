// Interruption on Windows: Ctrl-C and Ctrl-Break reach the program's SIGINT and SIGBREAK
// handlers on a thread of their own while the main thread may be writing a temporary, so the
// handler only records the signal; the main thread ends the run at its next check. A command
// ended by Ctrl-C or Ctrl-Break leaves the status STATUS_CONTROL_C_EXIT.
#include <signal.h>
#include <stdlib.h>

#include "platform/interrupts.h"

namespace {

const unsigned long control_c_exit = 0xC000013AUL;
const int aborted_status = 3;

volatile sig_atomic_t arrived_signal = 0;

extern "C" void __cdecl on_interrupt(int signal_number) {
  // A Ctrl-Break counts as the interruption it is.
  arrived_signal = signal_number == SIGBREAK ? SIGINT : signal_number;
  // The run-time resets the handler before calling it.
  signal(signal_number, on_interrupt);
}

}  // namespace

void catch_interrupts() {
  for (int signal_number : {SIGINT, SIGBREAK, SIGTERM})
    signal(signal_number, on_interrupt);
}

void defer_interrupts(bool) {}

void hold_interactive_signals(bool) {}

bool ignored_at_start(int) {
  return false;
}

int interrupted_by() {
  return arrived_signal;
}

int interrupting_signal(int raw_status) {
  return static_cast<unsigned long>(static_cast<unsigned int>(raw_status)) == control_c_exit
             ? SIGINT
             : 0;
}

void remove_temporaries_and_raise(int signal_number) {
  remove_registered_temporaries();
  signal(signal_number, SIG_DFL);
  // The run-time's default action ends the process with status 3.
  raise(signal_number);
  _exit(aborted_status);
}
