#include "src/steps/icon_step.h"

#include <vector>

#include "ico_file.h"
#include "icon_replacer.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "src/steps/bundle.h"
#include "support/file_system.h"
#include "support/log.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// Adds the icon file to the job's resources under `name`.
void AddIconResource(RebrandJob& job, const char* name, const WString& icon) {
  job.resources.Set(String(name), Vadu::ReadWholeFile(icon));
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

bool ApplyIcon(RebrandJob& job, const WString& icon) {
  const bool ico = Vadu::EndsWithNoCase(icon, WString(u".ico"));
  switch (job.kind) {
    case TargetKind::kWindows:
      if (!ico) return true;
      if (!StripExecutable(job.workingPath) || !RunIconTool(job.workingPath, icon)) {
        // An error like every other: scripts must not take the old icon for the new one.
        ReportError("ERROR: can't replace icon\n");
        return false;
      }
      AddIconResource(job, "icon.ico", icon);
      return true;
    case TargetKind::kAppBundle:
      if (!Vadu::EndsWithNoCase(icon, WString(u".icns"))) return true;
      PlaceBundleIcon(job, icon);
      AddIconResource(job, "icon.icns", icon);
      return true;
    case TargetKind::kAppFile:
      if (ico) AddIconResource(job, "icon.ico", icon);
      return true;
    case TargetKind::kUnknown:
    case TargetKind::kAndroid:
    case TargetKind::kBundleFolder:
      return true;
  }
  return true;
}

}  // namespace Zentu
