#include "src/commands/list_command.h"

#include <cstdio>

#include "oem/resource_block.h"
#include "src/commands/add_resources.h"
#include "src/print_line.h"
#include "src/steps/archive_tool.h"
#include "src/steps/package_target.h"
#include "src/steps/run_folder.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/settings_map.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

constexpr char kDateEntry[] = "date";

// The calendar date of a stored day count, or the stored text when it is not one.
String DateLine(const String& stored) {
  bool digits = !stored.IsEmpty() && stored.Length() <= 18;
  for (uint32_t k = 0; k < stored.Length(); ++k)
    digits = digits && stored[k] >= '0' && stored[k] <= '9';
  if (!digits) return String("date: ") + Printable(stored);
  const Vadu::CalendarFields day =
      Vadu::DateTime(static_cast<int64_t>(stored.ToUInt64())).Breakdown();
  char text[32];
  std::snprintf(text, sizeof text, "date: %04d-%02d-%02d", day.year, day.month, day.day);
  return String(text);
}

// The file that carries the block: the file itself, or the application inside a disk image
// unpacked into the run folder. Empty after reporting why there is none.
WString CarrierOf(const WString& file) {
  if (!Vadu::EndsWithNoCase(file, WString(u".dmg"))) return file;
  const WString run = RunFolder();
  const WString folder = run.IsEmpty() ? WString() : Vadu::JoinPath(run, u"listed");
  if (folder.IsEmpty() || !UnpackDmg(file, folder)) {
    ReportError(String("ERROR: can't unpack ") + Vadu::ToUtf8(file));
    return WString();
  }
  const WString application = Vadu::JoinPath(folder, u"/zentu.app/Contents/MacOS/zentu");
  if (application.IsEmpty() || !Vadu::FileExists(application)) {
    ReportError("ERROR: can't find zentu executable file");
    return WString();
  }
  return application;
}

}  // namespace

bool ReadCarriedResources(const String& payload, CarriedResources* carried) {
  *carried = CarriedResources();
  return Vadu::SettingsMap::ReadEntries(payload,
                                        [carried](const String& name, const String& value) {
                                          if (name == kDateEntry)
                                            carried->date = value;
                                          else
                                            carried->sizes.emplace(name, value.Length());
                                          return true;
                                        });
}

std::vector<String> ResourceListLines(const String& shownName, const CarriedResources& carried) {
  std::vector<String> lines{String("Resources in ") + shownName + ":"};
  for (const auto& [name, size] : carried.sizes) {
    char text[32];
    std::snprintf(text, sizeof text, "%12llu  ", static_cast<unsigned long long>(size));
    lines.push_back(String(text) + Printable(name));
  }
  if (carried.date) lines.push_back(DateLine(*carried.date));
  return lines;
}

void ListResources(const WString& file) {
  if (file.IsEmpty()) return ReportError("ERROR: no file to list");
  if (!PathPresent(file)) return;
  const String shown = Vadu::ToUtf8(file);
  // Only the block is read, and only one resource at a time is held.
  String payload;
  if (Vadu::EndsWithNoCase(file, WString(u".tgz"))) {
    if (!ReadPackageBlock(file, &payload)) return;
  } else {
    const WString carrier = CarrierOf(file);
    if (carrier.IsEmpty()) return;
    if (!ReadBlockOfFile(carrier, &payload))
      return ReportError(String("ERROR: can't read ") + shown);
  }
  if (payload.IsEmpty()) return ReportError(String("ERROR: no resources found in ") + shown);
  CarriedResources carried;
  if (!ReadCarriedResources(payload, &carried))
    return ReportError(String("ERROR: damaged resources in ") + shown);
  for (const String& line : ResourceListLines(shown, carried)) PrintLine(line);
}

}  // namespace Zentu
