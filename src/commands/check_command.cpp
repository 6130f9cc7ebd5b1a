#include "src/commands/check_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "oem/oem_document.h"
#include "oem/oem_key_kinds.h"
#include "oem/oem_template.h"
#include "oem/resource_block.h"
#include "src/commands/add_resources.h"
#include "src/exit_code.h"
#include "src/print_line.h"
#include "support/file_system.h"
#include "support/json_writer.h"
#include "support/system_error.h"
#include "support/xml_wellformed.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// The resource branding adds with the day of the customization.
constexpr char kDateEntry[] = "date";
// The most characters of a bundle's short name (CFBundleName) that macOS shows.
constexpr uint32_t kMaxBundleNameCharacters = 15;

std::string Lower(const String& text) {
  std::string lower(text.CStr(), text.Length());
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Edit distance where inserting, removing or changing a letter, or swapping two neighbouring
// letters, counts one.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// The key as a message names it: its groups and element name joined with "/".
String Label(const OemItem& item) {
  String label;
  for (const String& group : item.path) label += group + "/";
  return label + item.name;
}

String Quoted(const String& value) { return String("\"") + value + "\""; }

void AddKeyProblems(const OemDocument& document, std::vector<String>& problems) {
  const auto& kinds = OemKeyKinds();
  for (const auto& [key, item] : document.AllItems()) {
    const auto known = kinds.find(key);
    if (known == kinds.end()) {
      const String nearest = NearestKnownKey(item.name, item.path);
      problems.push_back(String("ERROR: ") + Label(item) + ": unknown key" +
                         (nearest.IsEmpty() ? String() : ", did you mean " + nearest + "?"));
    } else if (!FitsOemValueKind(item.value, known->second)) {
      problems.push_back(String("ERROR: ") + Label(item) + ": " + Quoted(item.value) +
                         " is not a " + OemValueKindName(known->second));
    }
  }
}

// A file that would be embedded, with its size (that of the file a link points at).
struct ResourceFile {
  WString name;
  WString path;
  int64_t size = 0;
};

// The files that would be embedded, as branding picks them: the resource file itself, or every
// entry directly inside the folder apart from subfolders and links to them, by name.
std::vector<ResourceFile> ResourceFiles(const WString& resources) {
  if (!Vadu::DirectoryExists(resources))
    return {{Vadu::GetFileName(resources), resources, Vadu::FileSizeOf(resources)}};
  std::vector<ResourceFile> files;
  for (const Vadu::FileEntry& entry : Vadu::ListDirectory(resources, u"*")) {
    const WString path = Vadu::JoinPath(resources, entry.Name());
    if (entry.IsDirectory() || (entry.IsLink() && Vadu::DirectoryExists(path))) continue;
    files.push_back({entry.Name(), path, Vadu::FileSizeOf(path)});
  }
  std::sort(files.begin(), files.end(),
            [](const ResourceFile& a, const ResourceFile& b) { return a.name < b.name; });
  return files;
}

// Characters of UTF-8 text: its bytes other than continuation bytes.
uint32_t CharacterCount(const String& text) {
  uint32_t count = 0;
  for (uint32_t i = 0; i < text.Length(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
  return count;
}

// How large the resources are once compressed, as branding would embed them (with the day's
// entry `date`); a file branding would refuse to read is one of `errors`.
uint64_t CompressedSize(const std::vector<ResourceFile>& files, const String& date,
                        std::vector<CheckFinding>& errors) {
  Vadu::SettingsMap map;
  for (const ResourceFile& file : files) {
    String name, bytes, line, reason;
    if (!ReadFileToEmbed(file.path, &bytes, &line, &reason))
      errors.push_back({line});
    else if (Vadu::TryToUtf8(file.name, &name))  // a name that is not UTF-8 is told when branding
      map.Set(name, bytes);
  }
  map.Set(kDateEntry, date);
  return map.Save().Length();
}

// The most a block may take in an Android package without a comment of its own.
constexpr uint32_t kMostForAndroid = kMaxAndroidComment - kBlockTrailerSize;

// The line that tells how large the resources are once compressed, and whether they fit an
// Android package.
String CompressedSizeLine(uint64_t size) {
  return String("Compressed size: ") + String::FromNumber(size) + " bytes, " +
         (size <= kMostForAndroid ? "fits" : "too large for") + " an Android package (at most " +
         String::FromNumber(kMostForAndroid) + ")";
}

// What the check found.
struct CheckReport {
  std::vector<CheckFinding> errors;
  std::vector<String> warnings;
  std::vector<ResourceFile> files;
  uint64_t compressedSize = 0;
  String date;
};

// The problems of the folder's "oem_info.xml" and its warnings.
void CheckOemInformation(const WString& resources, const String& shown, CheckReport& report) {
  const WString oemFile = Vadu::DirectoryExists(resources)
                              ? Vadu::JoinPath(resources, Vadu::FromUtf8(kOemInformationFileName))
                              : resources;
  String text;
  if (Vadu::GetFileName(oemFile) != Vadu::FromUtf8(kOemInformationFileName) ||
      !Vadu::FileExists(oemFile)) {
    report.errors.push_back({String("ERROR: no ") + kOemInformationFileName + " in " + shown});
  } else if (!Vadu::ReadWholeFile(oemFile, &text)) {
    const String reason = Vadu::WhyUnreadable(oemFile);
    report.errors.push_back({String("ERROR: can't read ") + ShownPath(oemFile) +
                             (reason.IsEmpty() ? String() : ": " + reason)});
  } else {
    for (const CheckFinding& finding : OemInformationFindings(text))
      report.errors.push_back(finding);
    report.warnings = OemInformationWarnings(text);
  }
}

void PrintJson(const String& shown, const CheckReport& report) {
  Vadu::JsonWriter json;
  json.BeginObject().Key("resources").Value(shown).Key("ready").Value(report.errors.empty());
  json.Key("errors").BeginArray();
  for (const CheckFinding& error : report.errors) {
    json.BeginObject().Key("message").Value(error.message);
    if (error.line)
      json.Key("line").Value(uint64_t{error.line}).Key("column").Value(uint64_t{error.column});
    json.EndObject();
  }
  json.EndArray().Key("warnings").BeginArray();
  for (const String& warning : report.warnings)
    json.BeginObject().Key("message").Value(warning).EndObject();
  json.EndArray().Key("files").BeginArray();
  for (const ResourceFile& file : report.files) {
    json.BeginObject().Key("name").Value(Vadu::ToUtf8(file.name)).Key("size");
    if (file.size < 0)
      json.Null();
    else
      json.Value(static_cast<uint64_t>(file.size));
    json.EndObject();
  }
  json.EndArray().Key("date").Value(report.date);
  json.Key("compressedSize").Value(report.compressedSize);
  json.Key("fitsAndroid").Value(report.compressedSize <= kMostForAndroid);
  PrintLine(json.EndObject().Text());
}

}  // namespace

String NearestKnownKey(const String& name, const std::vector<String>& groups) {
  OemDocument known;
  FillOemTemplate(known);
  const std::string wanted = Lower(name);
  String best;
  size_t bestDistance = 1 + wanted.size() / 4;  // further than this is another word
  for (const auto& [key, item] : known.AllItems()) {
    if (item.path != groups) continue;
    const size_t distance = EditDistance(wanted, Lower(item.name));
    if (distance < bestDistance || (distance == bestDistance && best.IsEmpty())) {
      best = item.name;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<CheckFinding> OemInformationFindings(const String& text) {
  Vadu::XmlProblem problem;
  if (!Vadu::CheckWellFormedXml(text, &problem)) {
    char where[64];
    std::snprintf(where, sizeof where, " line %u, column %u: ", problem.line, problem.column);
    return {{String("ERROR: ") + kOemInformationFileName + where + problem.message, problem.line,
             problem.column}};
  }
  OemDocument document;
  if (!document.Load(text, /*normalise=*/false))
    return {{String("ERROR: ") + kOemInformationFileName + " holds no <oem> keys"}};
  std::vector<String> problems;
  AddKeyProblems(document, problems);
  if (document.Value("ProductName", String()).IsEmpty())
    problems.push_back("ERROR: ProductName is missing: the product would keep its stock name");
  std::vector<CheckFinding> findings;
  for (const String& line : problems) findings.push_back({line});
  return findings;
}

std::vector<String> OemInformationProblems(const String& text) {
  std::vector<String> lines;
  for (const CheckFinding& finding : OemInformationFindings(text)) lines.push_back(finding.message);
  return lines;
}

std::vector<String> OemInformationWarnings(const String& text) {
  OemDocument document;
  if (!Vadu::CheckWellFormedXml(text, nullptr) || !document.Load(text, /*normalise=*/false))
    return {};
  OemDocument stock;
  FillOemTemplate(stock);
  std::vector<String> warnings;
  const String identifier = document.Value("VersionUniqueID", String());
  if (identifier.IsEmpty()) {
    warnings.push_back(
        "WARNING: VersionUniqueID is missing: a macOS application keeps the stock bundle "
        "identifier, which every product without one shares");
  } else if (identifier == stock.Value("VersionUniqueID", String())) {
    warnings.push_back(String("WARNING: VersionUniqueID is still the template's ") +
                       Quoted(identifier) + ": give the product a bundle identifier of its own");
  }
  const String product = document.Value("ProductName", String());
  if (CharacterCount(product) > kMaxBundleNameCharacters) {
    warnings.push_back(
        String("WARNING: ProductName has ") + String::FromNumber(CharacterCount(product)) +
        " characters: macOS shows at most " + String::FromNumber(kMaxBundleNameCharacters) +
        " of a bundle's short name (CFBundleName)");
  }
  return warnings;
}

void CheckResources(const WString& resources, Output output) {
  std::optional<LineCollector> collected;
  if (output == Output::kJson) collected.emplace();
  const String shown = Vadu::ToUtf8(resources);
  CheckReport report;
  report.date = DateText(Vadu::DateTime::NowLocal());
  if (resources.IsEmpty()) {
    ReportError("ERROR: no resource folder to check");
  } else if (PathPresent(resources)) {
    report.files = ResourceFiles(resources);
    CheckOemInformation(resources, ShownPath(resources), report);
    report.compressedSize = CompressedSize(report.files, report.date, report.errors);
  }
  if (output == Output::kJson) {
    // The lines of a folder that could not be looked at become its errors.
    for (const String& line : collected->Lines()) report.errors.push_back({line});
    collected.reset();
    if (!report.errors.empty()) SetExitCode(kExitError);
    return PrintJson(shown, report);
  }
  if (resources.IsEmpty() || (!Vadu::FileExists(resources) && !Vadu::DirectoryExists(resources)))
    return;
  // Lines show names escaped (a name could otherwise clear the screen or forge a line); the
  // JSON document carries them as they are, escaped as JSON escapes.
  const String shownLine = ShownPath(resources);
  PrintLine(String("Checking ") + shownLine);
  for (const CheckFinding& error : report.errors) ReportError(error.message);
  for (const String& line : report.warnings) PrintLine(line);
  PrintLine("Files to embed:");
  for (const ResourceFile& file : report.files) {
    char size[32];
    std::snprintf(size, sizeof size, "%12lld  ", static_cast<long long>(file.size));
    PrintLine(String(size) + Printable(Vadu::ToUtf8(file.name)));
  }
  PrintLine(CompressedSizeLine(report.compressedSize));
  PrintLine(report.errors.empty() ? String("OK: ") + shownLine + " is ready to embed"
                                  : String("ERROR: ") + shownLine + " is not ready to embed");
}

}  // namespace Zentu
