// Cleaning up when the process is asked to end: by a signal (POSIX) or a console control event
// (Windows).
#pragma once

#include <functional>

namespace Vadu {

// Runs `cleanup` once when the process is asked to end: POSIX SIGINT, SIGTERM, SIGHUP;
// Windows console control events (Ctrl+C, Ctrl+Break, close, logoff, shutdown). Running
// children started through process.h are ended first (EndChildProcesses: none starts after),
// then `cleanup` runs (on a thread of its own, so it may allocate, log and remove files), then
// the process ends with the status the signal or event would have given it. Call once, early in
// main, before other threads start; later calls change nothing.
//
// While the cleanup runs, the rest of the process goes on (a runner whose child was ended
// returns); a thread that ends the process in that time (returning from main, exit) waits for
// the cleanup instead, so that the status still shows the signal or event. An exception from
// `cleanup` is swallowed. POSIX: a signal that the process ignores when this is called (as
// nohup ignores SIGHUP) stays ignored; threads started before this call can take the signals
// themselves and end the process without the cleanup; further signals wait until the cleanup
// is done. Windows: the system gives the close, logoff and shutdown events a few seconds
// before it ends the process anyway; an event this process ignores (Ctrl+C for a process
// started in a new process group) does not reach the cleanup.
void InstallTerminationCleanup(std::function<void()> cleanup);

// Ends the process with `code`, as returning it from main does, unless the cleanup has begun:
// then waits for the cleanup to end the process as the signal or event says. Call it instead of
// returning from main: the thread that ends the process then never destroys static objects
// while the cleanup uses them (a process that returns from main or calls exit waits for the
// cleanup only after the static objects made since InstallTerminationCleanup are destroyed). A
// signal or event that comes once the process is ending this way ends it at once, without the
// cleanup.
[[noreturn]] void EndProcess(int code);

}  // namespace Vadu
