#include "src/steps/properties_step.h"

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "src/log_tags.h"
#include "src/print_line.h"
#include "support/file_system.h"
#include "support/log.h"

namespace Zentu {

using iconchanger::VersionString;
using Vadu::String;
using Vadu::WString;

namespace {

// The tool's mode that sets version strings, and its exit status for a program without version
// information.
constexpr char16_t kVersionStringsMode[] = u"--version-strings";
constexpr int32_t kNoVersionInformation = 3;

std::u16string Utf16(const String& utf8) { return std::u16string(Vadu::FromUtf8(utf8).ToView()); }

std::vector<WString> Arguments(const WString& executable,
                               const std::vector<VersionString>& strings) {
  std::vector<WString> arguments = {kVersionStringsMode, executable};
  for (const VersionString& string : strings)
    arguments.push_back(WString(string.key + u"=" + string.value));
  return arguments;
}

}  // namespace

std::vector<VersionString> PropertiesFromResources(const Vadu::SettingsMap& resources) {
  const String text = resources.Get(kOemInformationFileName);
  if (text.IsEmpty()) return {};
  const OemDocument document(text);
  std::vector<VersionString> strings;
  const String product = ProductName(document);
  if (!product.IsEmpty()) {
    strings.push_back({u"ProductName", Utf16(product)});
    strings.push_back({u"FileDescription", Utf16(product)});
  }
  const String company = CompanyName(document);
  if (!company.IsEmpty()) strings.push_back({u"CompanyName", Utf16(company)});
  return strings;
}

PeToolResult RunPropertiesTools(const std::vector<PeTool>& tools, const WString& executable,
                                const std::vector<VersionString>& strings) {
  const auto judge = [&](const WString& tool, int32_t exitCode) {
    if (exitCode != 0 && exitCode != kNoVersionInformation) return PeToolResult::kFailed;
    const String bytes = ReadExecutable(executable);
    if (exitCode == 0 && iconchanger::ExecutableCarriesVersionStrings(ByteSpanOf(bytes), strings))
      return PeToolResult::kDone;
    // The tool's "nothing to change" holds only when the program shows it too.
    if (exitCode == kNoVersionInformation &&
        !iconchanger::ExecutableHasVersionStrings(ByteSpanOf(bytes)))
      return PeToolResult::kNothingToDo;
    Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), "PE tool ")
        << tool << " ended with " << exitCode
        << ", but the program's version information says otherwise\n";
    return PeToolResult::kFailed;
  };
  return RunPeTools(tools, Arguments(executable, strings), judge);
}

bool ApplyProperties(const RebrandJob& job) {
  if (job.kind != TargetKind::kWindows) return true;
  const std::vector<VersionString> strings = PropertiesFromResources(job.resources);
  if (strings.empty()) return true;
  const PeToolResult result = StripExecutable(job.workingPath)
                                  ? RunPropertiesTools(CarriedPeTools(), job.workingPath, strings)
                                  : PeToolResult::kFailed;
  if (result == PeToolResult::kDone) {
    PrintLine("Success add properties");
  } else if (result == PeToolResult::kNothingToDo) {
    PrintLine("Properties not found");
  } else {
    ReportError("ERROR: can't replace properties");
    return false;
  }
  return true;
}

}  // namespace Zentu
