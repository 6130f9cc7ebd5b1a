// The children that the runners of process.h are waiting for, shared by the portable part
// (process.cpp: EndChildProcesses) and each platform's runners (process-posix.cpp,
// process-win32.cpp), so that a process that is ending can end them all and start no more; and
// the checks both platforms' runners make.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "support/string_base.h"

namespace Vadu::Platform {

// A started child as its platform knows it: a process id (POSIX), or the address of the
// platform's record of the child's process and job (Windows).
using ChildHandle = intptr_t;

// Ends a child with everything it started (its process group / job). Each platform gives it.
void EndChild(ChildHandle child);

// False once the process is ending (EndChildProcesses was called): start nothing then.
bool MayStartChildren();

// Registers a child that was just started, until UnregisterChild. When the process began ending
// before this, the child is ended at once (it started past the check of MayStartChildren).
void RegisterChild(ChildHandle child);

// Forgets a child; true when EndChildProcesses ended it while it was registered. Call it before
// the child's id or handle is released, so that EndChildProcesses never reaches a stale one.
bool UnregisterChild(ChildHandle child);

// True when no argument holds U+0000, which no system can pass: the argument would be cut short
// (POSIX) or end the whole command line there (Windows).
bool ArgumentsArePassable(const std::vector<WString>& arguments);

// The moment a time limit ends, or none for no limit (zero or less, or longer than ten years).
using Deadline = std::optional<std::chrono::steady_clock::time_point>;
Deadline DeadlineAfter(std::chrono::milliseconds limit);

// Milliseconds left until `deadline` (0 when it has passed), at most `ceiling`.
uint32_t MillisecondsLeft(const std::chrono::steady_clock::time_point& deadline, uint32_t ceiling);

// For tests (POSIX): `hook` runs after a program's file is opened and before its child starts,
// so that a test can put another file at the path in between. Null for none.
void SetProgramOpenedHook(void (*hook)());

}  // namespace Vadu::Platform
