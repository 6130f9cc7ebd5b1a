#include "src/steps/archive_tool.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "src/log_tags.h"
#include "src/steps/payloads.h"
#include "src/steps/run_folder.h"
#include "support/file_system.h"
#include "support/log.h"
#include "support/process.h"
#include "support/progress_line.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

const char16_t kStagingFolder[] = u"dmgunpackresult";
// Switches of every command: -spd takes file names literally (no wildcards), -y answers yes.
std::vector<WString> CommonSwitches() { return {u"-spd", u"-y"}; }

// No archive tool run is waited for without end: one that blocks (on a named pipe, a hung disk)
// is ended after this long, far beyond what the largest package takes.
constexpr std::chrono::hours kToolTimeLimit{1};

Vadu::LogSource Source(int32_t level) { return Vadu::LogSource(level, kArchiveLogTag); }

// The tool's arguments: a command's, then `switches`.
std::vector<WString> ToolArguments(std::vector<WString> arguments,
                                   const std::vector<WString>& switches) {
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  return arguments;
}

// The arguments as the log shows them: quoted as a Windows command line would hold them.
WString Shown(const std::vector<WString>& arguments) {
  return Vadu::JoinWindowsArguments(arguments);
}

// An outcome as the log shows it.
const char* Digit(bool outcome) { return outcome ? "1" : "0"; }

String Utf8(const WString& text) { return Vadu::ToUtf8(text); }

// A path as the tool is given it: with forward slashes on Windows (on POSIX "\" is an ordinary
// file-name character and stays), and never starting like a switch or a list file.
WString ToolPath(const WString& path) {
  WString text =
      Vadu::NativePathStyle() == Vadu::PathStyle::Windows ? ToForwardSlashes(Utf8(path)) : path;
  if (!text.IsEmpty() && (text[0] == u'-' || text[0] == u'@')) text = WString(u"./") + text;
  return text;
}

// The mode bits of a listing's mode text ("-rwsr-xr-x"): permissions, set-ID and sticky bits.
uint32_t ModeBits(const WString& text) {
  if (text.Length() != 10) return 0;
  uint32_t mode = 0;
  for (uint32_t k = 0; k < 9; ++k) {
    const char16_t c = text[1 + k];
    const uint32_t bit = 1u << (8 - k);
    const bool execute = k % 3 == 2;
    if (c == u'r' || c == u'w' || c == u'x') mode |= bit;
    if (execute && (c == u's' || c == u't')) mode |= bit;
    if (execute && (c == u's' || c == u'S' || c == u't' || c == u'T'))
      mode |= k == 2 ? 04000 : k == 5 ? 02000 : 01000;
  }
  return mode;
}

// The entries of a technical listing ("l -slt"): those after the line of dashes. False when the
// listing shows no such line.
bool ParseListing(const WString& listing, std::vector<ListedEntry>* entries) {
  bool started = false;
  std::map<std::u16string, WString> fields;
  const bool windows = Vadu::NativePathStyle() == Vadu::PathStyle::Windows;
  auto finish = [&] {
    WString path = fields[u"Path"];
    if (windows) path = path.ReplaceAll(u"\\", u"/");
    if (!fields.empty() && !path.IsEmpty()) {
      ListedEntry entry;
      entry.path = path;
      entry.mode = ModeBits(fields[u"Mode"]);
      entry.link = fields[u"Symbolic Link"];
      entry.modified = fields[u"Modified"];
      if (!entry.link.IsEmpty() || fields[u"Mode"].StartsWith(u"l"))
        entry.kind = ListedEntry::Kind::kLink;
      else if (fields[u"Folder"] == u"+")
        entry.kind = ListedEntry::Kind::kFolder;
      else
        entry.size = fields[u"Size"].ToUInt64();
      entries->push_back(entry);
    }
    fields.clear();
  };
  for (const WString& raw : listing.Split(u"\n")) {
    const WString line = raw.EndsWith(u"\r") ? raw.Substring(0, raw.Length() - 1) : raw;
    if (!started) {
      started = line == u"----------";
      continue;
    }
    if (line.IsEmpty()) {
      finish();
      continue;
    }
    const uint32_t equals = line.Find(u" = ");
    if (equals != WString::npos)
      fields[std::u16string(line.Substring(0, equals).ToView())] = line.Substring(equals + 3);
    else if (line.EndsWith(u" ="))
      fields[std::u16string(line.Substring(0, line.Length() - 2).ToView())] = WString();
  }
  finish();
  return started;
}

// The image's listing, with every regular file of it in the folder with its listed size; false
// when the listing cannot be had or a file is missing or short.
bool ExtractedWhole(const WString& tool, const WString& image, const WString& folder,
                    std::vector<ListedEntry>* entries) {
  const std::vector<WString> arguments =
      ToolArguments({u"l", u"-slt", ToolPath(image)}, CommonSwitches());
  const Vadu::CommandResult listing =
      Vadu::RunProgramCaptured(tool, arguments, Vadu::StderrRedirect::ToNull, kToolTimeLimit);
  if (!listing.completed || listing.exitCode != 0 || !ParseListing(listing.output, entries))
    return false;
  for (const ListedEntry& entry : *entries) {
    if (entry.kind != ListedEntry::Kind::kFile) continue;
    const int64_t size = Vadu::FileSizeOf(Vadu::JoinPath(folder, entry.path));
    if (size < 0 || static_cast<uint64_t>(size) != entry.size) {
      Vadu::LogRecord(Source(Vadu::LogError), "Unpack dmg: missing or short: ")
          << entry.path << "\r\n";
      return false;
    }
  }
  return true;
}

}  // namespace

WString ToForwardSlashes(const String& path) {
  return Vadu::FromUtf8(path.ReplaceAll(String("\\"), String("/")));
}

bool UnpackDmg(const WString& image, const WString& destination,
               std::vector<ListedEntry>* listing) {
  const Vadu::ProgressLine progress(String("Unpacking ") + Utf8(Vadu::GetFileName(image)));
  const WString tool = EnsureArchiveTool();
  const WString run = RunFolder();
  if (run.IsEmpty()) return false;
  const WString staging = Vadu::JoinPath(run, kStagingFolder);
  const WString stagingText = ToolPath(staging);
  Vadu::RemoveDirectoryTree(staging);
  Vadu::CreateDirectories(staging);

  // The tool is started directly, its output captured through a pipe.
  const std::vector<WString> arguments =
      ToolArguments({u"x", ToolPath(image), u"-o" + stagingText}, CommonSwitches());
  const Vadu::CommandResult result =
      Vadu::RunProgramCaptured(tool, arguments, Vadu::StderrRedirect::None, kToolTimeLimit);
  Vadu::LogRecord(Source(Vadu::LogInfo), "DMG unpack command ")
      << tool << " " << Shown(arguments) << " result: " << result.output << "\r\n";

  // The staging folder exists before the run; only a tree inside it shows an extraction.
  if (!Vadu::DirectoryExists(staging) || Vadu::ListDirectory(staging).empty()) {
    Vadu::LogRecord(Source(Vadu::LogError), "Unapck dmg: can't find dir: ")
        << stagingText << "\r\n";
    Vadu::RemoveDirectoryTree(staging);
    return false;
  }
  // The exit status alone cannot tell: a link the platform cannot make fails the run although
  // every file is there. The image's own listing can.
  std::vector<ListedEntry> entries;
  if (!ExtractedWhole(tool, image, staging, &entries)) {
    Vadu::LogRecord(Source(Vadu::LogError),
                    "Unpack dmg: not every file of the image was extracted: ")
        << image << "\r\n";
    Vadu::RemoveDirectoryTree(staging);
    return false;
  }
  const bool moved = Vadu::MoveDirectoryTo(staging, destination, /*recursive=*/true);
  Vadu::LogRecord(Source(Vadu::LogInfo), "Move unpacked folder from ")
      << staging << " to " << destination << ". Result: " << Digit(moved) << "\r\n";
  Vadu::RemoveDirectoryTree(staging);
  if (moved && listing) *listing = std::move(entries);
  return moved;
}

}  // namespace Zentu
