#include "src/icon_step.h"

#include <vector>

#include "ico_file.h"
#include "icon_replacer.h"
#include "oem/resource_map.h"
#include "src/bundle.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/target_state.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/process.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// Adds the icon file to the resource map under `name`.
void AddIconResource(const char* name, const WString& icon) {
  ResourceMap().Set(String(name), Vadu::ReadWholeFile(icon));
}

// True when the executable's application icon is now the icon file's.
bool CarriesIcon(const WString& executable, const WString& icon) {
  try {
    const iconchanger::IcoFile images =
        iconchanger::ParseIco(ByteSpanOf(Vadu::ReadWholeFile(icon)));
    return iconchanger::ExecutableHasIcon(ByteSpanOf(ReadExecutable(executable)), images);
  } catch (const iconchanger::Error&) {
    return false;
  }
}

}  // namespace

bool RunIconTools(const std::vector<PeTool>& tools, const WString& executable,
                  const WString& icon) {
  const std::vector<WString> arguments = {executable, icon};
  const auto judge = [&](const WString& tool, int32_t exitCode) {
    if (exitCode != 0) return PeToolResult::kFailed;
    if (CarriesIcon(executable, icon)) return PeToolResult::kDone;
    Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), "Icon tool ")
        << tool << " reported success, but the executable does not carry the icon\n";
    return PeToolResult::kFailed;
  };
  const PeToolResult result = RunPeTools(tools, arguments, judge);
  if (result == PeToolResult::kDone)
    PrintLine("Success add icon");
  else if (result == PeToolResult::kFailed)
    PrintLine("Cannot add icon");
  return result == PeToolResult::kDone;
}

bool RunIconTool(const WString& executable, const WString& icon) {
  return RunIconTools(CarriedPeTools(), executable, icon);
}

void ApplyIcon(const WString& icon, const WString& workingPath) {
  const WString& kind = TargetKind();
  if (kind.IsEmpty()) return;
  const bool ico = Vadu::EndsWithNoCase(icon, WString(u".ico"));
  if (Vadu::EndsWithNoCase(kind, WString(u".exe"))) {
    if (!ico) return;
    if (!StripExecutable(workingPath) || !RunIconTool(workingPath, icon)) {
      // An error like every other: scripts must not take the old icon for the new one.
      ReportError("ERROR: can't replace icon\n");
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
