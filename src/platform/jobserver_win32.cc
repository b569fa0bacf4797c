// The jobserver on Windows: a named semaphore whose count is the free tokens.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/jobserver.h"

jobserver open_jobserver(const jobserver_auth& auth) {
  jobserver server;
  if (auth.form != jobserver_auth::kind::semaphore)
    return server;
  HANDLE semaphore = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, auth.name.c_str());
  if (semaphore == nullptr)
    return server;
  server.semaphore = semaphore;
  server.usable = true;
  return server;
}

bool take_jobserver_token(jobserver& server, char& token, int wait_milliseconds) {
  if (!server.usable)
    return false;
  token = '+';
  return WaitForSingleObject(static_cast<HANDLE>(server.semaphore),
                             static_cast<DWORD>(wait_milliseconds)) == WAIT_OBJECT_0;
}

void give_jobserver_token(jobserver& server, char) {
  if (server.usable)
    ReleaseSemaphore(static_cast<HANDLE>(server.semaphore), 1, nullptr);
}

void close_jobserver(jobserver& server) {
  if (server.semaphore != nullptr)
    CloseHandle(static_cast<HANDLE>(server.semaphore));
  server = jobserver();
}
