#include "support/termination.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "support/process.h"

namespace Vadu {

namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the process is doing about its end. Once a signal has been taken (kCleaning) the process
// ends through the cleanup thread; once it has begun to end on its own (kExiting) a signal ends it
// at once, without the cleanup, which must not run while static objects are being destroyed.
enum State : int { kRunning, kCleaning, kExiting };
std::atomic<int> g_state{kRunning};

// Moves the state from kRunning to `next`; the state it had.
int Enter(int next) {
  int state = kRunning;
  g_state.compare_exchange_strong(state, next);
  return state;
}

// The termination signals that this process does not ignore.
sigset_t SignalsToTake() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : kTerminationSignals) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&signals, signal);
  }
  return signals;
}

bool IsEmpty(const sigset_t& signals) {
  for (int signal : kTerminationSignals) {
    if (sigismember(&signals, signal) == 1) return false;
  }
  return true;
}

// Ends the process as `signal` does by default, so that its status shows the signal.
[[noreturn]] void EndBySignal(int signal) {
  struct sigaction defaults = {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  sigaction(signal, &defaults, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: the signal ends the process
}

// The cleanup thread: waits for the first termination signal, then ends the children, cleans up
// and ends the process.
void TakeSignals(sigset_t signals, std::function<void()> cleanup) {
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  // A process already ending on its own has done its cleanup and waited for its children.
  if (Enter(kCleaning) != kRunning) EndBySignal(signal);
  EndChildProcesses();
  try {
    if (cleanup) cleanup();
  } catch (...) {
    // The process ends by the signal all the same.
  }
  EndBySignal(signal);
}

// Run at exit, for a process that ends without EndProcess: a thread that ends the process while
// the cleanup runs waits for the cleanup thread to end it by the signal.
void AwaitCleanupAtExit() {
  if (Enter(kExiting) != kCleaning) return;
  for (;;) pause();
}

}  // namespace

void InstallTerminationCleanup(std::function<void()> cleanup) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  const sigset_t signals = SignalsToTake();
  if (IsEmpty(signals)) return;
  // Blocked here, and so in every thread started from now on, the signals reach only the
  // cleanup thread's sigwait.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  try {
    std::thread(TakeSignals, signals, std::move(cleanup)).detach();
  } catch (const std::system_error&) {
    // No thread to take them: the signals keep their default action.
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return;
  }
  std::atexit(AwaitCleanupAtExit);
}

void EndProcess(int code) {
  if (Enter(kExiting) != kCleaning) std::exit(code);
  for (;;) pause();  // the cleanup thread ends the process
}

}  // namespace Vadu
