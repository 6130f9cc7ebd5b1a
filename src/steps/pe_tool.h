// The carried PE tool (it edits a Windows program's icon and version information): written
// afresh into the run's own folder for each attempt, run, and its work checked by the caller, since
// a tool's exit status alone is not trusted (a broken, blocked or emulated helper may end with 0
// without doing anything).
#pragma once

#include <functional>
#include <vector>

#include "byte_io.h"
#include "support/string_base.h"

namespace Zentu {

// A PE tool: the file name it is written under and its content.
struct PeTool {
  Vadu::String name;
  Vadu::String content;
};

// The PE tools this build carries, in the order they are tried (Windows:
// "iconchanger_win64.exe", then "iconchanger_win32.exe"; POSIX: the one "iconchanger").
std::vector<PeTool> CarriedPeTools();

// What became of an edit.
enum class PeToolResult {
  kDone,         // the executable shows the change
  kNothingToDo,  // the executable has nothing the edit applies to: it is left as it was
  kFailed,       // the tool failed or did not do it; the next tool may try
  kNotRun,       // a tool could not be written: the attempt ended there
};

// Tells from a tool's exit status (-1 when it did not start or was ended) and the executable as it
// now is what became of the edit; `tool` is the path the tool ran from, for the log.
using PeToolJudge = std::function<PeToolResult(const Vadu::WString& tool, int32_t exitCode)>;

// Runs the tools in order with `arguments`, each reaching the tool as it is: each tool is written
// just before it runs and removed afterwards, and the first result other than kFailed ends the
// attempt; kFailed when every tool failed. Nothing found on disk is ever run.
PeToolResult RunPeTools(const std::vector<PeTool>& tools,
                        const std::vector<Vadu::WString>& arguments, const PeToolJudge& judge);

// Rewrites the executable without its signature and resource block, so that the tool sees a
// plain executable; the program's bytes are copied, not held in memory. The replacement is
// atomic: on failure the file is as it was. False, with the file untouched, when it cannot be read,
// is empty, or is too large for a tool and its check to hold in memory (4 GiB or more).
bool StripExecutable(const Vadu::WString& executable);

// The executable's bytes for a check of a tool's work; empty when it cannot be read.
Vadu::String ReadExecutable(const Vadu::WString& executable);

// The bytes of a string as the tool's parsers take them (a view: the string must outlive it).
inline iconchanger::ByteSpan ByteSpanOf(const Vadu::String& bytes) {
  return iconchanger::ByteSpan(reinterpret_cast<const uint8_t*>(bytes.Data()), bytes.Length());
}

}  // namespace Zentu
