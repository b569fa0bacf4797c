// Interruption on POSIX: SIGINT, SIGTERM, SIGQUIT and SIGHUP remove the registered temporaries
// and end the process by the same signal, with its default action, unless a caller defers them.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/interrupts.h"

namespace {

const int caught_signals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};

volatile sig_atomic_t arrived_signal = 0;
volatile sig_atomic_t deferring = 0;
bool int_ignored_at_start = false;
bool quit_ignored_at_start = false;
struct sigaction held_int = {};
struct sigaction held_quit = {};

extern "C" void on_interrupt(int signal_number) {
  arrived_signal = signal_number;
  if (deferring == 0)
    remove_temporaries_and_raise(signal_number);
}

}  // namespace

void catch_interrupts() {
  signal(SIGCHLD, SIG_DFL);
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : caught_signals)
    sigaddset(&action.sa_mask, signal_number);
  // Restarted calls: a deferred signal must not cut a read short and so pass off part of a
  // file as the whole of it.
  action.sa_flags = SA_RESTART;
  for (int signal_number : caught_signals) {
    struct sigaction previous = {};
    sigaction(signal_number, nullptr, &previous);
    // A program started with the signal ignored (in the background, under nohup) keeps it so.
    if (previous.sa_handler == SIG_IGN) {
      if (signal_number == SIGINT)
        int_ignored_at_start = true;
      if (signal_number == SIGQUIT)
        quit_ignored_at_start = true;
      continue;
    }
    sigaction(signal_number, &action, nullptr);
  }
}

bool ignored_at_start(int signal_number) {
  return (signal_number == SIGINT && int_ignored_at_start) ||
         (signal_number == SIGQUIT && quit_ignored_at_start);
}

void hold_interactive_signals(bool held) {
  if (held) {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &held_int);
    sigaction(SIGQUIT, &ignore, &held_quit);
  } else {
    sigaction(SIGINT, &held_int, nullptr);
    sigaction(SIGQUIT, &held_quit, nullptr);
  }
}

void defer_interrupts(bool deferred) {
  deferring = deferred ? 1 : 0;
}

int interrupted_by() {
  return arrived_signal;
}

int interrupting_signal(int raw_status) {
  if (raw_status == -1 || !WIFSIGNALED(raw_status))
    return 0;
  const int signal_number = WTERMSIG(raw_status);
  if (signal_number != SIGINT && signal_number != SIGQUIT)
    return 0;
  return ignored_at_start(signal_number) ? 0 : signal_number;
}

// Only async-signal-safe calls: this runs inside the handler too.
void remove_temporaries_and_raise(int signal_number) {
  remove_registered_temporaries();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, signal_number);
  sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
  raise(signal_number);
  // Not reached unless the signal could not end the process.
  _exit(128 + signal_number);
}
