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
#include "support/json_writer.h"
#include "support/settings_map.h"
#include "support/system_error.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

constexpr char kDateEntry[] = "date";

// The calendar date YYYY-MM-DD of a stored day count; empty when the text is not one.
String CalendarDate(const String& stored) {
  bool digits = !stored.IsEmpty() && stored.Length() <= 18;
  for (uint32_t k = 0; k < stored.Length(); ++k)
    digits = digits && stored[k] >= '0' && stored[k] <= '9';
  if (!digits) return String();
  const Vadu::CalendarFields day =
      Vadu::DateTime(static_cast<int64_t>(stored.ToUInt64())).Breakdown();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
  return String(text);
}

// The calendar date of a stored day count, or the stored text when it is not one.
String DateLine(const String& stored) {
  const String day = CalendarDate(stored);
  return String("date: ") + (day.IsEmpty() ? Printable(stored) : day);
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

namespace {

// Reads what the file carries; false after reporting why nothing can be listed.
bool ReadListedFile(const WString& file, CarriedResources* carried) {
  if (file.IsEmpty()) {
    ReportError("ERROR: no file to list");
    return false;
  }
  if (!PathPresent(file)) return false;
  const String shown = Vadu::ToUtf8(file);
  // A named pipe or a device is never opened for the archive tool or the package reader: either
  // would wait for a writer.
  const String unreadable = Vadu::WhyUnreadable(file);
  if (!unreadable.IsEmpty()) {
    ReportFileError(String("ERROR: can't read ") + shown + ": " + unreadable, file, unreadable);
    return false;
  }
  // Only the block is read, and only one resource at a time is held.
  String payload;
  if (Vadu::EndsWithNoCase(file, WString(u".tgz"))) {
    if (!ReadPackageBlock(file, &payload)) return false;
  } else {
    const WString carrier = CarrierOf(file);
    if (carrier.IsEmpty()) return false;
    if (!ReadBlockOfFile(carrier, &payload)) {
      const String reason = Vadu::WhyUnreadable(carrier);
      ReportFileError(
          String("ERROR: can't read ") + shown + (reason.IsEmpty() ? String() : ": " + reason),
          carrier, reason);
      return false;
    }
  }
  if (payload.IsEmpty()) {
    ReportError(String("ERROR: no resources found in ") + shown);
    return false;
  }
  if (!ReadCarriedResources(payload, carried)) {
    ReportFileError(String("ERROR: damaged resources in ") + shown, file,
                    "the embedded block does not inflate or is malformed");
    return false;
  }
  return true;
}

}  // namespace

String ResourceListJson(const String& shownName, const CarriedResources& carried, bool listed,
                        const std::vector<String>& messages) {
  Vadu::JsonWriter json;
  json.BeginObject().Key("file").Value(shownName).Key("resources").BeginArray();
  for (const auto& [name, size] : carried.sizes)
    json.BeginObject().Key("name").Value(name).Key("size").Value(size).EndObject();
  json.EndArray().Key("date");
  if (carried.date) {
    const String day = CalendarDate(*carried.date);
    json.BeginObject().Key("stored").Value(*carried.date).Key("day");
    if (day.IsEmpty())
      json.Null();
    else
      json.Value(day);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("ok").Value(listed).Key("messages").BeginArray();
  for (const String& message : messages) json.Value(message);
  return json.EndArray().EndObject().Text();
}

void ListResources(const WString& file, Output output) {
  const String shown = Vadu::ToUtf8(file);
  CarriedResources carried;
  if (output == Output::kLines) {
    if (!ReadListedFile(file, &carried)) return;
    for (const String& line : ResourceListLines(shown, carried)) PrintLine(line);
    return;
  }
  String document;
  {
    LineCollector collected;
    const bool listed = ReadListedFile(file, &carried);
    document = ResourceListJson(shown, carried, listed, collected.Lines());
  }
  PrintLine(document);
}

}  // namespace Zentu
