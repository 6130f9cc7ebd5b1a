#include "src/list_command.h"

#include <cstdio>

#include "oem/resource_block.h"
#include "src/add_resources.h"
#include "src/archive_tool.h"
#include "src/exit_code.h"
#include "src/print_line.h"
#include "src/run_folder.h"
#include "support/date_time.h"
#include "support/file_system.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

constexpr char kDateEntry[] = "date";

void Fail(const String& line) {
  PrintLine(line);
  SetExitCode(kExitError);
}

// The calendar date of a stored day count, or the stored text when it is not one.
String DateLine(const String& stored) {
  bool digits = !stored.IsEmpty() && stored.Length() <= 18;
  for (uint32_t k = 0; k < stored.Length(); ++k)
    digits = digits && stored[k] >= '0' && stored[k] <= '9';
  if (!digits) return String("date: ") + stored;
  const Vadu::CalendarFields day =
      Vadu::DateTime(static_cast<int64_t>(stored.ToUInt64())).Breakdown();
  char text[32];
  std::snprintf(text, sizeof text, "date: %04d-%02d-%02d", day.year, day.month, day.day);
  return String(text);
}

// The file that carries the block: the file itself, or the application inside an archive or
// disk image unpacked into the run folder. Empty after reporting why there is none.
WString CarrierOf(const WString& file) {
  const bool archive = Vadu::EndsWithNoCase(file, WString(u".tgz"));
  const bool image = Vadu::EndsWithNoCase(file, WString(u".dmg"));
  if (!archive && !image) return file;
  const WString run = RunFolder();
  const WString folder = run.IsEmpty() ? WString() : Vadu::JoinPath(run, u"listed");
  if (folder.IsEmpty() || !(archive ? UnpackTgz(file, folder) : UnpackDmg(file, folder))) {
    Fail(String("ERROR: can't unpack ") + Vadu::ToUtf8(file));
    return WString();
  }
  const WString application = archive ? ChooseApplicationFile(ListFilesDepthFirst(folder), folder)
                                      : Vadu::JoinPath(folder, u"/zentu.app/Contents/MacOS/zentu");
  if (application.IsEmpty() || !Vadu::PathExists(application, false)) {
    Fail("ERROR: can't find zentu executable file");
    return WString();
  }
  return application;
}

}  // namespace

std::vector<String> ResourceListLines(const String& shownName, const Vadu::SettingsMap& map) {
  std::vector<String> lines{String("Resources in ") + shownName + ":"};
  String date;
  bool hasDate = false;
  for (const String& name : map.ListNames()) {
    if (name == kDateEntry) {
      date = map.Get(name);
      hasDate = true;
      continue;
    }
    char size[32];
    std::snprintf(size, sizeof size, "%12llu  ",
                  static_cast<unsigned long long>(map.Get(name).Length()));
    lines.push_back(String(size) + name);
  }
  if (hasDate) lines.push_back(DateLine(date));
  return lines;
}

void ListResources(const WString& file) {
  if (file.IsEmpty()) return Fail("ERROR: no file to list");
  if (!PathPresent(file)) return;
  const WString carrier = CarrierOf(file);
  if (carrier.IsEmpty()) return;
  const String shown = Vadu::ToUtf8(file);
  String payload;
  {
    String bytes;
    if (!Vadu::ReadWholeFile(carrier, &bytes)) return Fail(String("ERROR: can't read ") + shown);
    payload = ExtractBlock(bytes);
  }
  if (payload.IsEmpty()) return Fail(String("ERROR: no resources found in ") + shown);
  Vadu::SettingsMap map;
  if (!map.Load(payload)) return Fail(String("ERROR: damaged resources in ") + shown);
  for (const String& line : ResourceListLines(shown, map)) PrintLine(line);
}

}  // namespace Zentu
