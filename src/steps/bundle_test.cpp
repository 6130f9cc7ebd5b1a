#include "src/steps/bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "support/environment.h"
#include "support/file_system.h"
#include "support/process.h"
#include "support/test_util.h"
#include "support/xml_node.h"
#include "support/xml_parser.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::String;
using Vadu::WString;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Std;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Utf8;
using Vadu::Testing::Wide;
using Vadu::Testing::WriteFileBytes;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

WString PathOf(const fs::path& path) { return Vadu::NormalizePath(Wide(path)); }

void Put(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  WriteFileBytes(path, bytes);
}

// An OEM information file as the template command writes it.
String OemInformation(const String& productName, const String& uniqueId) {
  OemDocument document;
  SetProductName(document, productName);
  SetVersionUniqueID(document, uniqueId);
  return document.ToXml();
}

std::string Plist(const std::string& dictBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n" +
         dictBody + "</dict>\n</plist>\n";
}

// The pairs of the property list's dict as our parser reads them: key text to the value
// element's name and text.
struct PlistValue {
  std::string element;
  std::string text;
  bool operator==(const PlistValue&) const = default;
};
std::vector<std::pair<std::string, PlistValue>> ReadPairs(const fs::path& file) {
  Vadu::XMLParser parser;
  Vadu::XMLNode* root = parser.Parse(String(ReadFileBytes(file)));
  std::vector<std::pair<std::string, PlistValue>> pairs;
  EXPECT_EQ(Std(root->GetName()), "plist");
  Vadu::XMLNode* dict = root->FindChild("dict");
  if (!dict) return pairs;
  std::vector<Vadu::XMLNode*> items = dict->Children();
  for (size_t i = 0; i < items.size(); i += 2) {
    PlistValue value;
    if (i + 1 < items.size()) value = {Std(items[i + 1]->GetName()), Std(items[i + 1]->GetText())};
    pairs.emplace_back(Std(items[i]->GetText()), value);
  }
  return pairs;
}
std::map<std::string, std::string> ReadStrings(const fs::path& file) {
  std::map<std::string, std::string> strings;
  for (const auto& [key, value] : ReadPairs(file))
    if (value.element == "string") strings[key] = value.text;
  return strings;
}

// Python's plistlib, an independent reader of property lists, runs here: on the native build,
// with python3.
bool PlistlibRuns() {
  return Vadu::NativePathStyle() != Vadu::PathStyle::Windows &&
         Vadu::RunCaptured(u"python3 -c 'import plistlib'", Vadu::StderrRedirect::ToNull)
                 .exitCode == 0;
}

// A property list as plistlib reads it, as JSON with sorted keys.
std::string ReadWithPlistlib(const fs::path& file, const fs::path& folder) {
  const fs::path script = folder / "read_plist.py";
  Put(script,
      "import json, plistlib, sys\n"
      "with open(sys.argv[1], 'rb') as f:\n"
      "    print(json.dumps(plistlib.load(f), sort_keys=True))\n");
  Vadu::CommandResult result =
      Vadu::RunCaptured(Wide("python3 '" + script.string() + "' '" + file.string() + "'"),
                        Vadu::StderrRedirect::ToOutput);
  EXPECT_EQ(result.exitCode, 0) << Utf8(result.output);
  return Utf8(result.output);
}

// Every test works in its own temporary directory, with the job's working folder inside it.
class BundleTest : public testing::Test {
 protected:
  void SetUp() override {
    work_ = temp_.Path() / "zentuunpacked";
    fs::create_directories(work_);
    job_.workingFolder = PathOf(work_);
  }

  // Runs the renaming step on `workingPath`; gives the working path it leaves.
  WString Rename(const WString& workingPath) {
    job_.workingPath = workingPath;
    RenameAppBundle(job_);
    return job_.workingPath;
  }
  // Runs the property-list step on `workingPath`; gives the working path it leaves.
  WString UpdatePlists(const WString& workingPath) {
    job_.workingPath = workingPath;
    UpdateBundlePlists(job_);
    return job_.workingPath;
  }

  static bool SamePlace(const WString& path, const fs::path& expected) {
    return Utf8(Vadu::NormalizePath(path)) == Utf8(PathOf(expected));
  }

  // A bundle unpacked from a disk image: the working folder holds zentu.app.
  fs::path MakeBundle(const fs::path& parent) {
    fs::path contents = parent / "zentu.app" / "Contents";
    Put(contents / "MacOS" / "zentu", "executable bytes");
    Put(contents / "Info.plist",
        Plist("<key>CFBundleExecutable</key>\n<string>zentu</string>\n"
              "<key>CFBundleName</key>\n<string>Zentu</string>\n"
              "<key>CFBundleGetInfoString</key>\n<string>Zentu 1.0</string>\n"
              "<key>CFBundleIdentifier</key>\n<string>com.zentu.client</string>\n"
              "<key>CFBundleVersion</key>\n<string>1.0</string>\n"));
    Put(contents / "version.plist", Plist("<key>ProjectName</key>\n<string>zentu</string>\n"));
    Put(contents / "Resources" / "icon.icns", "old icon");
    Put(contents / "Frameworks" / "Qt.framework" / "Versions" / "A" / "Qt", "library");
    return contents / "MacOS" / "zentu";
  }

  TempFolder temp_;
  fs::path work_;
  RebrandJob job_;
};

// --- Renaming the application ------------------------------------------------------------------

TEST_F(BundleTest, BundleMovesWholeAndTheExecutableTakesTheProductName) {
  job_.kind = TargetKind::kAppBundle;
  job_.productWord = u"My_Cam";
  WString workingPath = Rename(PathOf(MakeBundle(work_)));

  fs::path contents = work_ / "My_Cam.app" / "Contents";
  EXPECT_TRUE(SamePlace(workingPath, contents / "MacOS" / "zentu"));
  EXPECT_FALSE(fs::exists(work_ / "zentu.app"));
  EXPECT_EQ(ReadFileBytes(contents / "MacOS" / "zentu"), "executable bytes");
  EXPECT_EQ(ReadFileBytes(contents / "Resources" / "icon.icns"), "old icon");
  EXPECT_EQ(ReadFileBytes(contents / "Frameworks" / "Qt.framework" / "Versions" / "A" / "Qt"),
            "library");

  job_.resources.Set("oem_info.xml", OemInformation("My Cam", "com example cam"));
  workingPath = UpdatePlists(workingPath);
  EXPECT_TRUE(SamePlace(workingPath, contents / "MacOS" / "My Cam"));
  EXPECT_FALSE(fs::exists(contents / "MacOS" / "zentu"));
  EXPECT_EQ(ReadFileBytes(contents / "MacOS" / "My Cam"), "executable bytes");

  std::map<std::string, std::string> info = ReadStrings(contents / "Info.plist");
  EXPECT_EQ(info["CFBundleExecutable"], "My Cam");
  EXPECT_EQ(info["CFBundleName"], "My Cam");
  EXPECT_EQ(info["CFBundleGetInfoString"], "My Cam");
  EXPECT_EQ(info["CFBundleIdentifier"], "com.example.cam");
  EXPECT_EQ(info["CFBundleVersion"], "1.0");
  EXPECT_EQ(ReadStrings(contents / "version.plist")["ProjectName"], "My Cam");
}

TEST_F(BundleTest, ProductWordZentuMovesNothing) {
  job_.productWord = u"zentu";
  job_.kind = TargetKind::kAppBundle;
  fs::path executable = MakeBundle(work_);
  WString workingPath = Rename(PathOf(executable));
  EXPECT_TRUE(SamePlace(workingPath, executable));
  EXPECT_EQ(ReadFileBytes(executable), "executable bytes");

  // A word that differs only in letter case names the same folder where the file system ignores
  // case: whether or not anything is renamed, the working path still names the whole bundle.
  job_.productWord = u"ZENTU";
  job_.kind = TargetKind::kAppBundle;
  workingPath = Rename(PathOf(executable));
  fs::path renamed = fs::path(Utf8(workingPath));
  EXPECT_EQ(ReadFileBytes(renamed), "executable bytes");
  EXPECT_EQ(ReadFileBytes(renamed.parent_path().parent_path() / "Resources" / "icon.icns"),
            "old icon");
}

TEST_F(BundleTest, OnlyABundleIsRenamedAndNothingLeavesTheWorkingFolder) {
  job_.productWord = u"My_Cam";
  const fs::path executable = MakeBundle(work_);
  for (TargetKind kind : {TargetKind::kWindows, TargetKind::kAndroid, TargetKind::kBundleFolder,
                          TargetKind::kUnknown, TargetKind::kAppFile}) {
    job_.kind = kind;
    EXPECT_TRUE(SamePlace(Rename(PathOf(executable)), executable)) << static_cast<int>(kind);
  }
  // A product word that is not one file name would put the bundle elsewhere.
  job_.kind = TargetKind::kAppBundle;
  const WString separator(Vadu::PathSeparator());
  for (WString word : {WString(u"..") + separator + u"escape", WString(u"a") + separator + u"b"}) {
    job_.productWord = word;
    EXPECT_TRUE(SamePlace(Rename(PathOf(executable)), executable)) << Utf8(word);
  }
  EXPECT_FALSE(fs::exists(work_ / "escape.app"));
  EXPECT_FALSE(fs::exists(work_ / "a"));

  // A bundle outside the working folder (an image that did not unpack leaves the working path at
  // the user's own file) is neither renamed nor rewritten.
  job_.productWord = u"My_Cam";
  const fs::path outside = MakeBundle(temp_.Path() / "elsewhere");
  const std::string info = ReadFileBytes(outside.parent_path().parent_path() / "Info.plist");
  job_.resources.Set("oem_info.xml", OemInformation("My Cam", "com example cam"));
  const WString workingPath = UpdatePlists(Rename(PathOf(outside)));
  EXPECT_TRUE(SamePlace(workingPath, outside));
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(ReadFileBytes(outside.parent_path().parent_path() / "Info.plist"), info);

  job_.productWord = u"My_Cam";
  EXPECT_TRUE(SamePlace(Rename(PathOf(executable)), work_ / "My_Cam.app/Contents/MacOS/zentu"));
}

// --- Product name and identifier ----------------------------------------------------------------

TEST_F(BundleTest, NameAndIdentifierComeFromTheFirstOemDocumentThatHasThem) {
  EXPECT_EQ(Std(BundleProductName(job_.resources)), "");
  EXPECT_EQ(Std(BundleIdentifier(job_.resources)), "");
  // Map order: "a.txt", "b.XML", "c.xml". Only names ending in ".xml" count, in any case.
  job_.resources.Set("a.txt", OemInformation("Not Read", "not read"));
  job_.resources.Set("b.XML", OemInformation("", "com example cam"));
  job_.resources.Set("c.xml", OemInformation("My Cam", "org other"));
  EXPECT_EQ(Std(BundleProductName(job_.resources)), "My Cam");
  EXPECT_EQ(Std(BundleIdentifier(job_.resources)), "com.example.cam");
}

TEST_F(BundleTest, AnIdentifierHoldsOnlyWhatAppleAllows) {
  job_.kind = TargetKind::kAppBundle;
  job_.productWord = u"Acme";
  const WString workingPath = Rename(PathOf(MakeBundle(work_)));
  // Spaces become dots; "_", "&" and each accented letter (two UTF-8 bytes) one "-".
  job_.resources.Set("oem_info.xml",
                     OemInformation("Acme",
                                    "Acme Vision_Pro & Co Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF"
                                    "code"));
  EXPECT_EQ(Std(BundleIdentifier(job_.resources)), "Acme.Vision-Pro.-.Co.Caf-.-n-code");
  UpdatePlists(workingPath);
  const fs::path plist = work_ / "Acme.app" / "Contents" / "Info.plist";
  EXPECT_EQ(ReadStrings(plist)["CFBundleIdentifier"], "Acme.Vision-Pro.-.Co.Caf-.-n-code");
  if (!PlistlibRuns()) GTEST_SKIP() << "python3 with plistlib runs on the native build only";
  const std::string read = ReadWithPlistlib(plist, temp_.Path());
  EXPECT_NE(read.find("\"CFBundleIdentifier\": \"Acme.Vision-Pro.-.Co.Caf-.-n-code\""),
            std::string::npos)
      << read;
}

// --- Property lists ------------------------------------------------------------------------------

TEST_F(BundleTest, PlistPairsTakeTheirValues) {
  fs::path file = temp_.Path() / "Info.plist";
  Put(file, Plist("<key>CFBundleName</key>\n<string>Zentu</string>\n"
                  "<key>CFBundleIdentifier</key>\n<string>com.zentu</string>\n"
                  "<key>LSUIElement</key>\n<true/>\n"
                  "<key>CFBundleVersion</key>\n<string>1.0</string>\n"
                  "<key>CFBundleGetInfoString</key>\n"));
  UpdatePlistFile(Wide(file), {{"CFBundleName", "My Cam"},
                               {"CFBundleIdentifier", ""},
                               {"LSUIElement", "not a string"},
                               {"CFBundleGetInfoString", "trailing"}});
  std::string text = ReadFileBytes(file);
  EXPECT_EQ(text.rfind(kDeclaration + "\n<plist version=\"1.0\">", 0), 0u) << text;
  EXPECT_EQ(text.find("DOCTYPE"), std::string::npos);
  std::vector<std::pair<std::string, PlistValue>> expected{
      {"CFBundleName", {"string", "My Cam"}}, {"CFBundleIdentifier", {"string", "com.zentu"}},
      {"LSUIElement", {"true", ""}},          {"CFBundleVersion", {"string", "1.0"}},
      {"CFBundleGetInfoString", {"", ""}},
  };
  EXPECT_EQ(ReadPairs(file), expected);
}

TEST_F(BundleTest, WithoutOemDocumentListsAreRewrittenUnchanged) {
  job_.kind = TargetKind::kAppBundle;
  fs::path executable = MakeBundle(work_);
  fs::path contents = executable.parent_path().parent_path();
  auto info = ReadPairs(contents / "Info.plist");
  auto version = ReadPairs(contents / "version.plist");
  job_.resources.Set("logo.png", "png bytes");
  WString workingPath = PathOf(executable);
  workingPath = UpdatePlists(workingPath);
  EXPECT_TRUE(SamePlace(workingPath, executable));
  EXPECT_EQ(ReadFileBytes(executable), "executable bytes");
  for (const char* name : {"Info.plist", "version.plist"}) {
    std::string text = ReadFileBytes(contents / name);
    EXPECT_EQ(text.rfind(kDeclaration + "\n<plist", 0), 0u) << name;
    EXPECT_EQ(text.find("DOCTYPE"), std::string::npos) << name;
  }
  EXPECT_EQ(ReadPairs(contents / "Info.plist"), info);
  EXPECT_EQ(ReadPairs(contents / "version.plist"), version);
}

TEST_F(BundleTest, UnreadableListsStayUntouched) {
  fs::path missing = temp_.Path() / "missing.plist";
  UpdatePlistFile(Wide(missing), {{"CFBundleName", "My Cam"}});
  EXPECT_FALSE(fs::exists(missing));

  const std::string valid = Plist("<key>CFBundleName</key>\n<string>Zentu</string>\n");
  for (const std::string& content : {
           std::string(),                                    // empty
           std::string("bplist00\xd1\x01\x02QaQb\x08\x0b"),  // binary property list
           std::string("CFBundleName = Zentu;\n"),           // not XML at all
           std::string("<plist version=\"1.0\"><dict><key>CFBundleName</key>"
                       "<string>Zentu</string>"),  // cut short
           valid + "<plist><dict/></plist>",       // a second root
           valid + std::string("\x01"),            // a character XML cannot hold
       }) {
    fs::path file = temp_.Path() / "Info.plist";
    Put(file, content);
    UpdatePlistFile(Wide(file), {{"CFBundleName", "My Cam"}});
    EXPECT_EQ(ReadFileBytes(file), content);
  }
}

// The property list must stay readable by macOS: a standard XML document with standard
// references, whatever the product name holds.
TEST_F(BundleTest, RealisticInfoPlistStaysAStandardPropertyList) {
  fs::path file = temp_.Path() / "Info.plist";
  Put(file,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n"
      "\t<key>CFBundleDevelopmentRegion</key>\n\t<string>en</string>\n"
      "\t<key>CFBundleExecutable</key>\n\t<string>zentu</string>\n"
      "\t<key>CFBundleGetInfoString</key>\n\t<string>Zentu 23.12 &gt; 23.11</string>\n"
      "\t<key>CFBundleIconFile</key>\n\t<string>icon.icns</string>\n"
      "\t<key>CFBundleIdentifier</key>\n\t<string>com.zentu.client</string>\n"
      "\t<key>CFBundleName</key>\n\t<string>Zentu</string>\n"
      "\t<key>CFBundlePackageType</key>\n\t<string>APPL</string>\n"
      "\t<key>CFBundleShortVersionString</key>\n\t<string>23.12.11</string>\n"
      "\t<key>LSArchitecturePriority</key>\n"
      "\t<array>\n\t\t<string>arm64</string>\n\t\t<string>x86_64</string>\n\t</array>\n"
      "\t<key>LSMinimumSystemVersion</key>\n\t<string>10.15</string>\n"
      "\t<key>NSHighResolutionCapable</key>\n\t<true/>\n"
      "\t<key>NSHumanReadableCopyright</key>\n"
      "\t<string>&#169; Zentu &amp; Partners &lt;www.zentu.example&gt;, it's \"ours\" > yours"
      "</string>\n"
      "\t<key>NSSupportsAutomaticGraphicsSwitching</key>\n\t<false/>\n"
      "</dict>\n"
      "</plist>\n");
  const std::string name = "R&D <Cam> \"One\" & Co's";
  UpdatePlistFile(Wide(file), {{"CFBundleName", String(name)},
                               {"CFBundleGetInfoString", String(name)},
                               {"CFBundleIdentifier", "com.example.cam"}});

  std::string text = ReadFileBytes(file);
  EXPECT_EQ(text.rfind(kDeclaration, 0), 0u);
  // Standard references only: "&" in text always starts one of these.
  for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
    bool standard = false;
    for (const char* reference : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#169;"})
      standard = standard || text.compare(at, std::string(reference).size(), reference) == 0;
    EXPECT_TRUE(standard) << text.substr(at, 8);
  }
  EXPECT_NE(text.find("<string>R&amp;D &lt;Cam&gt; &quot;One&quot; &amp; Co&apos;s</string>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("&#169; Zentu &amp; Partners &lt;www.zentu.example&gt;, it&apos;s "
                      "&quot;ours&quot; &gt; yours"),
            std::string::npos)
      << text;

  // Our own parser reads the same structure back: every key in order, with its kind of value.
  auto pairs = ReadPairs(file);
  std::vector<std::string> keys, elements;
  for (const auto& [key, value] : pairs) {
    keys.push_back(key);
    elements.push_back(value.element);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "CFBundleDevelopmentRegion", "CFBundleExecutable", "CFBundleGetInfoString",
                      "CFBundleIconFile", "CFBundleIdentifier", "CFBundleName",
                      "CFBundlePackageType", "CFBundleShortVersionString", "LSArchitecturePriority",
                      "LSMinimumSystemVersion", "NSHighResolutionCapable",
                      "NSHumanReadableCopyright", "NSSupportsAutomaticGraphicsSwitching"}));
  EXPECT_EQ(elements, (std::vector<std::string>{"string", "string", "string", "string", "string",
                                                "string", "string", "string", "array", "string",
                                                "true", "string", "false"}));
  std::map<std::string, std::string> strings = ReadStrings(file);
  EXPECT_EQ(strings["CFBundleIdentifier"], "com.example.cam");
  EXPECT_EQ(strings["CFBundleExecutable"], "zentu");
  EXPECT_EQ(strings["LSMinimumSystemVersion"], "10.15");

  // An independent reader: python's plistlib, where it can run.
  if (!PlistlibRuns()) GTEST_SKIP() << "python3 with plistlib runs on the native build only";
  EXPECT_EQ(ReadWithPlistlib(file, temp_.Path()),
            "{\"CFBundleDevelopmentRegion\": \"en\", \"CFBundleExecutable\": \"zentu\", "
            "\"CFBundleGetInfoString\": \"R&D <Cam> \\\"One\\\" & Co's\", "
            "\"CFBundleIconFile\": \"icon.icns\", \"CFBundleIdentifier\": \"com.example.cam\", "
            "\"CFBundleName\": \"R&D <Cam> \\\"One\\\" & Co's\", "
            "\"CFBundlePackageType\": \"APPL\", \"CFBundleShortVersionString\": \"23.12.11\", "
            "\"LSArchitecturePriority\": [\"arm64\", \"x86_64\"], "
            "\"LSMinimumSystemVersion\": \"10.15\", \"NSHighResolutionCapable\": true, "
            "\"NSHumanReadableCopyright\": \"\\u00a9 Zentu & Partners <www.zentu.example>, "
            "it's \\\"ours\\\" > yours\", "
            "\"NSSupportsAutomaticGraphicsSwitching\": false}\n");
}

TEST_F(BundleTest, ControlCharactersOfAValueAreDropped) {
  fs::path file = temp_.Path() / "Info.plist";
  Put(file, Plist("<key>CFBundleName</key>\n<string>Zentu</string>\n"));
  UpdatePlistFile(Wide(file), {{"CFBundleName", String("My\x01 Cam\x1f")}});
  EXPECT_EQ(ReadStrings(file)["CFBundleName"], "My Cam");
  EXPECT_EQ(ReadFileBytes(file).find('\x01'), std::string::npos);
}

// --- Bundle icon ---------------------------------------------------------------------------------

TEST_F(BundleTest, BundleIconReplacesTheOldIcon) {
  job_.productWord = u"My_Cam";
  fs::path icon = temp_.Path() / "user icon.icns";
  Put(icon, "new icon");

  // No resources folder: nothing is created.
  PlaceBundleIcon(job_, Wide(icon));
  EXPECT_TRUE(fs::is_empty(work_));

  // A bundle from a disk image lies in the working folder; it may have had no icon yet.
  const fs::path resources = work_ / "My_Cam.app" / "Contents" / "Resources";
  fs::create_directories(resources);
  PlaceBundleIcon(job_, Wide(icon));
  EXPECT_EQ(ReadFileBytes(resources / "icon.icns"), "new icon");
  EXPECT_FALSE(fs::exists(resources / "newicon.icns"));

  // A missing icon file changes nothing.
  Put(resources / "icon.icns", "old icon");
  PlaceBundleIcon(job_, Wide(temp_.Path() / "absent.icns"));
  EXPECT_EQ(ReadFileBytes(resources / "icon.icns"), "old icon");
}

TEST_F(BundleTest, WithoutAWorkingFolderNoBundleIsLookedFor) {
  // A bundle of the product's name in the current directory is the user's, not the run's.
  const fs::path saved = fs::current_path();
  fs::current_path(temp_.Path());
  const fs::path resources = temp_.Path() / "My_Cam.app" / "Contents" / "Resources";
  Put(resources / "icon.icns", "user's icon");
  Put(temp_.Path() / "new.icns", "new icon");
  job_.workingFolder = WString();
  job_.productWord = u"My_Cam";
  PlaceBundleIcon(job_, Wide(temp_.Path() / "new.icns"));
  fs::current_path(saved);
  EXPECT_EQ(ReadFileBytes(resources / "icon.icns"), "user's icon");
}

TEST(BundleFolder, EndsAtTheFirstAppFollowedByASeparator) {
  const WString sep(Vadu::PathSeparator());
  auto path = [&](const char16_t* text) { return WString(text).ReplaceAll(u"/", sep); };
  auto bundleOf = [&](const char16_t* workingPath) {
    RebrandJob job;
    job.workingFolder = path(u"t/My.app/zentuunpacked");
    job.workingPath = path(workingPath);
    return BundleFolderOf(job);
  };
  EXPECT_EQ(bundleOf(u"t/x/My_Cam.app/Contents/MacOS/My Cam"), path(u"t/x/My_Cam.app"));
  EXPECT_EQ(bundleOf(u"t/x.apps/a.app/Contents/MacOS/zentu"), path(u"t/x.apps/a.app"));
  EXPECT_EQ(bundleOf(u"t/zentu.app"), WString());
  // Inside the working folder, the folder's own name does not count.
  EXPECT_EQ(bundleOf(u"t/My.app/zentuunpacked/zentu.app/Contents/MacOS/zentu"),
            path(u"t/My.app/zentuunpacked/zentu.app"));
  EXPECT_EQ(bundleOf(u"t/My.app/zentuunpacked/zentu/readme.txt"), WString());
}

}  // namespace
}  // namespace Zentu
