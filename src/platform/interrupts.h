// Interruption of a run: the temporary files that must not outlive it, and the end of the
// process by the signal that interrupted it (SIGINT, SIGTERM, SIGQUIT or SIGHUP arriving to the
// process, or SIGINT or SIGQUIT ending one of its commands), so that a shell or make sees an
// interrupted program and stops.
#pragma once

#include <string>

// Installs the handlers of those signals (a signal ignored at start stays ignored), and puts
// SIGCHLD back to its default for the run: with it ignored, as some daemons start their children,
// no command's status could be collected. On POSIX an
// arriving signal removes the registered temporaries and ends the process by it at once, unless
// interrupts are deferred; on Windows (where the handler runs on a thread of its own while the main
// thread may hold a temporary open) it is only recorded, for interrupted_by and end_if_interrupted.
void catch_interrupts();

// While commands run, SIGINT and SIGQUIT sent to this process alone are ignored, as system()
// ignores them while it waits: a terminal's interruption reaches the commands too, and their end
// by the signal ends the run. Commands started meanwhile get the dispositions the run started
// with (see ignored_at_start). No effect on Windows, where the console interrupts every process.
void hold_interactive_signals(bool held);

// True when the signal was ignored when the run started; such a signal stays ignored, also for
// the commands, and a command's death by it is just a failure of that command.
bool ignored_at_start(int signal_number);

// While deferred, an arriving signal is only recorded: a caller that waits for several
// commands polls interrupted_by and ends the run itself once they are done.
void defer_interrupts(bool deferred);

// The signal that interrupted the run so far, or 0.
int interrupted_by();

// The signal that ended a command, given the status its command interpreter or pclose
// returned, when it is one that ends the run as well (SIGINT, SIGQUIT; on Windows the status of
// a program ended by Ctrl-C or Ctrl-Break counts as SIGINT); 0 otherwise.
int interrupting_signal(int raw_status);

// Removes every registered temporary and ends the process by the signal with its default
// action. Does not return.
[[noreturn]] void remove_temporaries_and_raise(int signal_number);

// Ends the run when a signal was recorded or the command of this status was interrupted
// (pass 0 when there is no command status); returns otherwise.
void end_if_interrupted(int raw_status);

// The registry of live temporaries, files or private directories. A temporary is registered before it is created and
// released once it has been renamed or removed; returns the slot, or -1 when the registry is
// full (the file is then not removed on interruption).
int register_temporary(const std::string& path);
void release_temporary(int slot);

// Unlinks every registered temporary, then removes those that are directories (emptied by
// then); async-signal-safe on POSIX.
void remove_registered_temporaries();
