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
// What the process is doing about its end. Once an event has arrived (kCleaning) the process ends
// through the handler; once it has begun to end on its own (kExiting) an event ends it without
// the cleanup, which must not run while static objects are being destroyed.
enum State : int { kRunning, kCleaning, kExiting };
std::atomic<int> g_state{kRunning};

// Moves the state from kRunning to `next`; the state it had.
int Enter(int next) {
  int state = kRunning;
  g_state.compare_exchange_strong(state, next);
  return state;
}

// The console control handler. The system calls it on a thread of its own; a second event
// waits here until the first one's cleanup is done.
BOOL WINAPI OnControlEvent(DWORD) {
  // A process already ending on its own has done its cleanup and waited for its children.
  if (Enter(kCleaning) == kExiting) return FALSE;
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

// Run at exit, for a process that ends without EndProcess: a thread that ends the process while
// the cleanup runs waits for the handler to end it.
void AwaitCleanupAtExit() {
  if (Enter(kExiting) == kCleaning) Sleep(INFINITE);
}

}  // namespace

void InstallTerminationCleanup(std::function<void()> cleanup) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  g_cleanup = new std::function<void()>(std::move(cleanup));  // kept to the end of the process
  if (SetConsoleCtrlHandler(OnControlEvent, TRUE)) std::atexit(AwaitCleanupAtExit);
}

void EndProcess(int code) {
  if (Enter(kExiting) != kCleaning) std::exit(code);
  Sleep(INFINITE);  // the handler ends the process
  std::exit(code);  // not reached
}

}  // namespace Vadu
