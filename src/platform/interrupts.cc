// The registry of live temporaries, and the end of a run that was interrupted. The registry is
// a fixed table of atomic pointers, so a signal handler can walk it while the program adds and
// removes entries.
#include "platform/interrupts.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/wrappers.h"

namespace {

// More than the temporaries any run keeps open at once.
const int temporary_slots = 256;
std::atomic<char*> temporaries[temporary_slots];
static_assert(std::atomic<char*>::is_always_lock_free, "the signal handler reads the registry");

}  // namespace

int register_temporary(const std::string& path) {
  char* copy = static_cast<char*>(std::malloc(path.size() + 1));
  if (copy == nullptr)
    return -1;
  std::memcpy(copy, path.c_str(), path.size() + 1);
  for (int slot = 0; slot < temporary_slots; ++slot) {
    char* expected = nullptr;
    if (temporaries[slot].compare_exchange_strong(expected, copy))
      return slot;
  }
  std::free(copy);
  return -1;
}

void release_temporary(int slot) {
  if (slot < 0 || slot >= temporary_slots)
    return;
  std::free(temporaries[slot].exchange(nullptr));
}

void remove_registered_temporaries() {
  for (std::atomic<char*>& slot : temporaries) {
    const char* path = slot.load();
    if (path != nullptr)
      zorvan_unlink_wrapper(path);
  }
  // Directories last, once the files in them are gone; a file's name is no directory.
  for (std::atomic<char*>& slot : temporaries) {
    const char* path = slot.load();
    if (path != nullptr)
      zorvan_rmdir_wrapper(path);
  }
}

void end_if_interrupted(int raw_status) {
  int signal_number = interrupted_by();
  if (signal_number == 0)
    signal_number = interrupting_signal(raw_status);
  if (signal_number != 0)
    remove_temporaries_and_raise(signal_number);
}
