#include "src/icon_step.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "ico_file.h"
#include "icon_replacer.h"
#include "oem/resource_block.h"
#include "oem/resource_map.h"
#include "src/bundle.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/payloads.h"
#include "src/run_folder.h"
#include "src/target_state.h"
#include "support/file_mode.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/process.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

void PrintLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  // The tool writes to the same console; keep the lines in order.
  std::fflush(stdout);
}

// Adds the icon file to the resource map under `name`.
void AddIconResource(const char* name, const WString& icon) {
  ResourceMap().Set(String(name), Vadu::ReadWholeFile(icon));
}

// Rewrites the executable without its signature and resource block, so that the tool sees a
// plain executable; the program's bytes are copied, not held in memory. The replacement is
// atomic: on failure the file is as it was. An executable that cannot be read or is empty is left
// alone and counts as a failure, and so is one the tool and its check could not hold in memory
// (4 GiB or more): the tool is then not run at all.
bool StripExecutable(const WString& executable) {
  const int64_t size = Vadu::FileSizeOf(executable);
  return size > 0 && size < int64_t{String::npos} && StripBlockFromFile(executable);
}

iconchanger::ByteSpan Bytes(const String& bytes) {
  return iconchanger::ByteSpan(reinterpret_cast<const uint8_t*>(bytes.Data()), bytes.Length());
}

// An icon tool edits one executable in memory: one that runs this long is stuck.
constexpr std::chrono::minutes kIconToolTimeLimit{10};

// True when the executable's application icon is now the icon file's: a tool's exit status alone
// is not trusted (a broken, blocked or emulated helper may end with 0 without doing anything).
bool CarriesIcon(const WString& executable, const WString& icon) {
  try {
    const iconchanger::IcoFile images = iconchanger::ParseIco(Bytes(Vadu::ReadWholeFile(icon)));
    return iconchanger::ExecutableHasIcon(Bytes(Vadu::ReadWholeFile(executable)), images);
  } catch (const iconchanger::Error&) {
    return false;
  }
}

// Runs one tool and checks its work.
bool RunOneIconTool(const WString& tool, const WString& executable, const WString& icon) {
  const WString parameters =
      Vadu::QuoteWindowsArgument(executable) + u" " + Vadu::QuoteWindowsArgument(icon);
  const Vadu::RunOutcome outcome =
      Vadu::RunProgram(tool, parameters, /*hidden=*/false, kIconToolTimeLimit);
  if (!outcome.started || outcome.exitCode != 0) return false;
  if (CarriesIcon(executable, icon)) return true;
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), "Icon tool ")
      << tool << " reported success, but the executable does not carry the icon\n";
  return false;
}

}  // namespace

std::vector<IconTool> CarriedIconTools() {
  std::vector<IconTool> tools;
  for (const String& name : ToolPayloadNames(StoredKind::kIconTool))
    tools.push_back({name, ToolPayloadContent(name)});
  return tools;
}

bool RunIconTools(const std::vector<IconTool>& tools, const WString& executable,
                  const WString& icon) {
  const WString folder = RunFolder();
  bool succeeded = false;
  for (size_t i = 0; i < tools.size() && !succeeded; ++i) {
    // Made afresh in the run's own folder: nothing found on disk is ever run.
    const WString file =
        folder.IsEmpty() ? WString() : Vadu::JoinPath(folder, Vadu::FromUtf8(tools[i].name));
    const bool written =
        !file.IsEmpty() && Vadu::WriteNewFile(tools[i].content, file) && Vadu::SetExecutable(file);
    if (written) {
      succeeded = RunOneIconTool(file, executable, icon);
      if (succeeded)
        PrintLine("Success add icon");
      else if (i + 1 == tools.size())
        PrintLine("Cannot add icon");
    }
    Vadu::RemoveFile(file);
    if (!written) break;
  }
  return succeeded;
}

bool RunIconTool(const WString& executable, const WString& icon) {
  return RunIconTools(CarriedIconTools(), executable, icon);
}

void ApplyIcon(const WString& icon, const WString& workingPath) {
  const WString& kind = TargetKind();
  if (kind.IsEmpty()) return;
  const bool ico = Vadu::EndsWithNoCase(icon, WString(u".ico"));
  if (Vadu::EndsWithNoCase(kind, WString(u".exe"))) {
    if (!ico) return;
    if (!StripExecutable(workingPath) || !RunIconTool(workingPath, icon)) {
      PrintLine("ERROR: can't replace icon\n");
      // An error like every other: scripts must not take the old icon for the new one.
      SetExitCode(kExitError);
    }
    AddIconResource("icon.ico", icon);
  } else if (Vadu::EndsWithNoCase(kind, WString(u".dmg"))) {
    if (!Vadu::EndsWithNoCase(icon, WString(u".icns"))) return;
    PlaceBundleIcon(icon);
    AddIconResource("icon.icns", icon);
  } else if (Vadu::EndsWithNoCase(kind, WString(u".tgz"))) {
    if (ico) AddIconResource("icon.ico", icon);
  }
}

}  // namespace Zentu
