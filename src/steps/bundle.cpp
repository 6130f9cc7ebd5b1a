#include "src/steps/bundle.h"

#include <vector>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "src/print_line.h"
#include "src/steps/working_folder.h"
#include "support/file_system.h"
#include "support/xml_node.h"
#include "support/xml_parser.h"

namespace Zentu {

namespace {

using Vadu::String;
using Vadu::WString;

constexpr char16_t kAppSuffix[] = u".app";

// Stands for "&" while a property list goes through the XML parser and writer. Their entity
// coding is the system's own ("&rt;" for ">", and every "&" escaped again unless the text already
// holds "&amp;"), which would turn the references of a standard document into different text or
// into references macOS does not know. With every "&" set aside, the text of the document passes
// through unchanged; the one reference the writer adds that is not standard, "&rt;", is then
// written as "&gt;". XML 1.0 allows this character nowhere in a document, so no property list
// holds one.
constexpr char kAmpersandStandIn = '\x01';

// The first non-empty value of the key `key` in an OEM information document among the resources.
// A document that does not name the key is not parsed: resources may hold large XML files of
// other kinds, whose parsed form would take many times their size.
template <typename Getter>
String FirstOemValue(const Vadu::SettingsMap& resources, const char* key, Getter getter) {
  for (const String& name : resources.ListNames()) {
    if (!Vadu::EndsWithNoCase(name, ".xml")) continue;
    const String text = resources.Get(name);
    if (!text.Contains(key)) continue;
    String value = getter(OemDocument(text));
    if (!value.IsEmpty()) return value;
  }
  return String();
}

// Both paths name the same place (letter case ignored on Windows).
bool SamePath(const WString& a, const WString& b) {
  return Vadu::IsPathWithin(a, b) && Vadu::IsPathWithin(b, a);
}

// `path` lies below `folder`, not at it.
bool StrictlyInside(const WString& path, const WString& folder) {
  return Vadu::IsPathWithin(path, folder) && !Vadu::IsPathWithin(folder, path);
}

// A name that joined to a folder stays one entry of that folder: no separator, no "." or "..",
// no drive colon, no control characters.
// True when nothing stands at `to`; otherwise says that `from` cannot take the name, so that a
// rename never replaces another file of the package.
bool NameFree(const WString& from, const WString& to) {
  if (!Vadu::FileExists(to) && !Vadu::DirectoryExists(to) && !Vadu::IsSymbolicLink(to)) return true;
  PrintLine(String("ERROR: can't rename ") + Vadu::ToUtf8(Vadu::GetFileName(from)) + " to " +
            Vadu::ToUtf8(Vadu::GetFileName(to)) + ": the name is taken");
  return false;
}

// `value` as the text of a property list element, with "&" standing in for itself (see
// kAmpersandStandIn): "&", "<" and ">" escaped, characters XML cannot carry dropped. The node's
// own coding then adds the references for quotes.
String PlistText(const String& value) {
  const String amp(kAmpersandStandIn);
  String text;
  for (uint32_t i = 0; i < value.Length(); ++i) {
    char c = value[i];
    if (c == '&')
      text += amp + "amp;";
    else if (c == '<')
      text += amp + "lt;";
    else if (c == '>')
      text += amp + "gt;";
    else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
      text += c;
  }
  return text;
}

// The text begins (after a UTF-8 byte order mark and white space) with markup. A binary property
// list ("bplist00...") or one in UTF-16 does not, and is never rewritten as text.
bool StartsWithMarkup(const String& text) {
  uint32_t i = text.StartsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (i < text.Length() &&
         (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  return i < text.Length() && text[i] == '<';
}

// The last parse found one root element: its first tag opens it and the tag that closes it is
// the last. A file cut short, or with more after its root, would otherwise be written back as a
// different document.
bool IsWholeDocument(const Vadu::XMLParser& parser) {
  const std::vector<Vadu::TagInfo>& tags = parser.Tags();
  if (tags.empty() || !tags.front().opening || tags.front().name.IsEmpty()) return false;
  const String& root = tags.front().name;
  size_t depth = 0;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (!(tags[i].name == root)) continue;
    if (tags[i].opening)
      ++depth;
    else if (--depth == 0)
      return i + 1 == tags.size();
  }
  return false;
}

}  // namespace

bool IsPlainName(const WString& name) {
  if (name.IsEmpty() || name == u"." || name == u"..") return false;
  bool windows = Vadu::NativePathStyle() == Vadu::PathStyle::Windows;
  for (uint32_t i = 0; i < name.Length(); ++i) {
    char16_t c = name[i];
    if (c < 0x20 || c == Vadu::PathSeparator() || (windows && (c == u'/' || c == u':')))
      return false;
  }
  return true;
}

String BundleProductName(const Vadu::SettingsMap& resources) {
  return FirstOemValue(resources, "ProductName",
                       [](const OemDocument& document) { return ProductName(document); });
}

String ProductWordOf(const Vadu::SettingsMap& resources) {
  return BundleProductName(resources).ReplaceAll(" ", "_").ReplaceAll("/", "_").ReplaceAll("\\",
                                                                                           "_");
}

String BundleIdentifier(const Vadu::SettingsMap& resources) {
  const String value = FirstOemValue(resources, "VersionUniqueID", [](const OemDocument& document) {
    return VersionUniqueID(document);
  });
  String identifier;
  for (uint32_t i = 0; i < value.Length(); ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (c == ' ')
      identifier += '.';
    else if (allowed)
      identifier += static_cast<char>(c);
    else if ((c & 0xC0) != 0x80)  // one "-" for a whole UTF-8 sequence
      identifier += '-';
  }
  return identifier;
}

WString BundleFolderOf(const RebrandJob& job) {
  const WString& path = job.workingPath;
  const WString suffix(kAppSuffix);
  const uint32_t at =
      path.Find(suffix + WString(Vadu::PathSeparator()), StartBelow(path, job.workingFolder));
  return at == WString::npos ? WString() : path.Substring(0, at + suffix.Length());
}

bool RenameAppBundle(RebrandJob& job) {
  if (job.productWord.IsEmpty() || job.kind != TargetKind::kAppBundle) return true;
  WString& workingPath = job.workingPath;
  const WString newName = job.productWord + kAppSuffix;
  const WString& folder = job.workingFolder;
  if (!IsPlainName(newName) || !StrictlyInside(workingPath, folder)) return true;
  const WString oldBundle = BundleFolderOf(job);
  if (oldBundle.IsEmpty()) return true;

  // The whole tree moves into the new folder.
  const WString newBundle = Vadu::JoinPath(Vadu::GetDirectoryPart(oldBundle), newName);
  if (SamePath(oldBundle, newBundle) || !StrictlyInside(oldBundle, folder)) return true;
  if (!Vadu::DirectoryExists(oldBundle) || Vadu::IsSymbolicLink(oldBundle)) return true;
  if (!NameFree(oldBundle, newBundle)) return false;
  if (!Vadu::CreateDirectories(newBundle)) return true;
  if (!Vadu::MoveDirectoryTo(oldBundle, newBundle, /*recursive=*/true)) {
    Vadu::RemoveEmptyDirectory(newBundle);
    return true;
  }
  // The move removes the emptied old folder itself. Should anything remain there (a file system
  // that ignores letter case sees one folder under both names), it is kept, never deleted.
  workingPath = newBundle + workingPath.Substring(oldBundle.Length());
  return true;
}

void PlaceBundleIcon(const RebrandJob& job, const WString& icon) {
  const WString bundleName = job.productWord + kAppSuffix;
  if (job.productWord.IsEmpty() || !IsPlainName(bundleName)) return;
  // Without a working folder there is no unpacked bundle (and no folder to look in).
  if (job.workingFolder.IsEmpty()) return;
  const WString resources =
      Vadu::JoinPath(Vadu::JoinPath(job.workingFolder, bundleName), u"/Contents/Resources");
  if (!Vadu::DirectoryExists(resources)) return;
  // Copied beside the old icon first, then moved over it: the bundle never lacks an icon.
  const WString staged = Vadu::JoinPath(resources, u"newicon.icns");
  if (!Vadu::CopyFileTo(icon, staged)) return;
  if (!Vadu::MoveFileTo(staged, Vadu::JoinPath(resources, u"icon.icns"))) Vadu::RemoveFile(staged);
}

bool UpdateBundlePlists(RebrandJob& job) {
  WString& workingPath = job.workingPath;
  const WString& folder = job.workingFolder;
  if (!StrictlyInside(workingPath, folder)) return true;
  uint32_t at = workingPath.Find(u"MacOS", StartBelow(workingPath, folder));
  if (at == WString::npos) return true;
  WString contents = workingPath.Substring(0, at);
  if (!StrictlyInside(contents, folder)) return true;

  const String productName = BundleProductName(job.resources);
  const String identifier = BundleIdentifier(job.resources);

  // The executable first, so that the list names it only once it carries the name.
  String executable;
  WString name = Vadu::FromUtf8(productName);
  if (IsPlainName(name) && Vadu::FileExists(workingPath)) {
    WString renamed = Vadu::JoinPath(Vadu::GetDirectoryPart(workingPath), name);
    bool named = SamePath(renamed, workingPath);
    if (!named && !NameFree(workingPath, renamed)) return false;
    if (!named && Vadu::MoveFileTo(workingPath, renamed)) {
      workingPath = renamed;
      named = true;
    }
    if (named) executable = Vadu::ToUtf8(Vadu::GetFileName(workingPath));
  }

  UpdatePlistFile(Vadu::JoinPath(contents, u"version.plist"), {{"ProjectName", productName}});
  UpdatePlistFile(Vadu::JoinPath(contents, u"Info.plist"), {{"CFBundleGetInfoString", productName},
                                                            {"CFBundleExecutable", executable},
                                                            {"CFBundleName", productName},
                                                            {"CFBundleIdentifier", identifier}});
  return true;
}

void UpdatePlistFile(const WString& file, const std::map<String, String>& values) {
  if (!Vadu::FileExists(file)) return;
  String text = Vadu::ReadWholeFile(file);
  const String amp(kAmpersandStandIn);
  if (!StartsWithMarkup(text) || text.Contains(amp)) return;

  Vadu::XMLParser parser;
  Vadu::XMLNode* root = parser.Parse(text.ReplaceAll("&", amp));
  if (!IsWholeDocument(parser)) return;

  if (Vadu::XMLNode* dict = root->FindChild("dict")) {
    std::vector<Vadu::XMLNode*> items = dict->Children();
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
      auto found = values.find(items[i]->GetText());
      if (found == values.end() || found->second.IsEmpty()) continue;
      // Only a string takes text: text in a <true/>, <integer> or <array> would make the list
      // unreadable.
      Vadu::XMLNode* value = items[i + 1];
      if (value->GetName() == "string" && value->ChildCount() == 0)
        value->SetText(PlistText(found->second));
    }
  }

  String document = parser.Serialize(root).ReplaceAll("&rt;", "&gt;").ReplaceAll(amp, "&");
  Vadu::ReplaceFileContent(String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + document, file);
}

}  // namespace Zentu
