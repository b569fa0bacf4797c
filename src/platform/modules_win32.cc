// Module enumeration through a Tool Help snapshot of the current process: every module with its
// base name and the full path of its file, in the snapshot's order.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <tlhelp32.h>

#include "platform/modules.h"

std::vector<module_entry> list_loaded_modules() {
  std::vector<module_entry> modules;
  // A process that cannot be snapshot counts as one without modules.
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return modules;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL found = Module32First(snapshot, &entry); found;
       found = Module32Next(snapshot, &entry)) {
    modules.push_back({entry.szModule, entry.szExePath});
  }
  CloseHandle(snapshot);
  return modules;
}
