#include "support/termination.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "support/process.h"

namespace Vadu {

namespace {

std::function<void()>* g_cleanup = nullptr;
std::once_flag g_cleanedUp;
// Set once an event has arrived: from then on the process ends through the handler.
std::atomic<bool> g_ending{false};

// The console control handler. The system calls it on a thread of its own; a second event
// waits here until the first one's cleanup is done.
BOOL WINAPI OnControlEvent(DWORD) {
  g_ending = true;
  std::call_once(g_cleanedUp, [] {
    EndChildProcesses();
    try {
      if (*g_cleanup) (*g_cleanup)();
    } catch (...) {
      // The process ends as the event would end it all the same.
    }
  });
  // Not handled: the next handler, in the end the system's own, ends the process as the event
  // would have ended it.
  return FALSE;
}

// Run at exit: a thread that ends the process while the cleanup runs waits for the handler to
// end it.
void AwaitCleanupAtExit() {
  if (g_ending) Sleep(INFINITE);
}

}  // namespace

void InstallTerminationCleanup(std::function<void()> cleanup) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  g_cleanup = new std::function<void()>(std::move(cleanup));  // kept to the end of the process
  if (SetConsoleCtrlHandler(OnControlEvent, TRUE)) std::atexit(AwaitCleanupAtExit);
}

}  // namespace Vadu
