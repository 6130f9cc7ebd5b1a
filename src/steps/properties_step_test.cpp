// The -properties option on real Windows programs with the PE tools this build carries; the
// version information is read back with the tool's own parsers (the tool's tests read it with
// icoutils and with Windows' own functions as well).
#include "src/steps/properties_step.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pe_image.h"
#include "resource_tree.h"
#include "src/exit_code.h"
#include "src/steps/run_folder.h"
#include "support/file_system.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using iconchanger::VersionString;
using iconchanger::VersionStringTable;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

// The resource tree of a program's bytes.
iconchanger::ResourceDirectory ResourcesOf(const std::string& program) {
  using namespace iconchanger;
  const PeImage image(Bytes(program.begin(), program.end()));
  return ParseResourceTree(
      image.directory(kResourceDirectoryIndex).rva,
      [&](uint32_t rva, uint32_t size, Bytes& out) { return image.ReadRva(rva, size, out); },
      program.size());
}

// Every version resource of a program, by name and language.
std::map<std::pair<uint32_t, uint32_t>, iconchanger::Bytes> VersionLeaves(
    const std::string& program) {
  std::map<std::pair<uint32_t, uint32_t>, iconchanger::Bytes> leaves;
  for (const iconchanger::ResourceEntry& type : ResourcesOf(program).entries) {
    if (type.name != iconchanger::ResourceName::Id(iconchanger::kRtVersion)) continue;
    for (const iconchanger::ResourceEntry& name : type.directory->entries)
      for (const iconchanger::ResourceEntry& language : name.directory->entries)
        leaves[{name.name.id, language.name.id}] = language.data;
  }
  return leaves;
}

// The program's resources apart from its version information.
iconchanger::ResourceDirectory OtherResources(const std::string& program) {
  iconchanger::ResourceDirectory root = ResourcesOf(program);
  std::erase_if(root.entries, [](const iconchanger::ResourceEntry& type) {
    return type.name == iconchanger::ResourceName::Id(iconchanger::kRtVersion);
  });
  return root;
}

// A table's strings by key.
std::map<std::u16string, std::u16string> StringsOf(const VersionStringTable& table) {
  std::map<std::u16string, std::u16string> strings;
  for (const VersionString& string : table.strings) strings[string.key] = string.value;
  return strings;
}

// Names with what a command line, an XML text and UTF-16 each treat specially.
const char16_t kProduct16[] = u"Smith & Sons \"Vision\" Ünïcødé 🎥";
const char kProductXml[] =
    "Smith &amp; Sons &quot;Vision&quot; \xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9 "
    "\xF0\x9F\x8E\xA5";
const char16_t kCompany16[] = u"Überwachung <Nord> & 'Süd' GmbH";
const char kCompanyXml[] =
    "\xC3\x9C\x62\x65rwachung &lt;Nord> &amp; &apos;S\xC3\xBC\x64&apos; GmbH";

std::string OemInfo(const std::string& product, const std::string& company) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vendormark><oem>";
  if (!product.empty()) xml += "<ProductName>" + product + "</ProductName>";
  if (!company.empty()) xml += "<CompanyName>" + company + "</CompanyName>";
  return xml + "</oem></vendormark>\n";
}

class PropertiesCommand : public Testing::CommandTest {
 protected:
  UtilityRun Brand(const fs::path& target, const std::string& oemInfo,
                   const std::string& options = " -properties") {
    const fs::path resources = MakeResources({{"oem_info.xml", oemInfo}, {"logo.png", "png"}});
    return RunOwnOutput("-resource " + Testing::Arg(resources) + " -target " +
                        Testing::Arg(target) + options);
  }
  std::string Success(const fs::path& target) {
    return "Success add resources to file: " + Testing::Text(target) + "\n";
  }
  void ExpectResourcesEmbedded(const fs::path& target) {
    const std::map<std::string, std::string> block = Testing::BlockEntries(target);
    EXPECT_EQ(block.count("oem_info.xml"), 1u);
    EXPECT_EQ(block.count("logo.png"), 1u);
  }
};

TEST_F(PropertiesCommand, EveryLanguageOfTheProgramCarriesTheResellersNames) {
  for (const char* fixture : {"sample_app64.exe", "sample_app32.exe", "sample_app64_signed.exe"}) {
    SCOPED_TRACE(fixture);
    const std::string original = ReadFileBytes(Testing::Fixture(fixture));
    const fs::path target = CopyFixture(fixture, std::string("branded ") + fixture);

    const UtilityRun run = Brand(target, OemInfo(kProductXml, kCompanyXml));
    const bool signedProgram = std::string(fixture).find("signed") != std::string::npos;
    EXPECT_EQ(run.output, "Success add properties\n" + Success(target) +
                              (signedProgram ? "WARNING: " + Testing::Text(target) +
                                                   " is no longer signed: sign it again\n"
                                             : ""));
    EXPECT_EQ(run.exitCode, 0);
    ExpectResourcesEmbedded(target);

    const std::string branded = Testing::HostBytes(target);
    const auto before = VersionLeaves(original);
    const auto after = VersionLeaves(branded);
    ASSERT_EQ(before.size(), 2u) << "the fixture has two languages";
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [where, leaf] : before) {
      const std::vector<VersionStringTable> old = iconchanger::ReadVersionStringTables(leaf);
      const std::vector<VersionStringTable> now =
          iconchanger::ReadVersionStringTables(after.at(where));
      ASSERT_EQ(now.size(), old.size());
      for (size_t i = 0; i < old.size(); ++i) {
        std::map<std::u16string, std::u16string> expected = StringsOf(old[i]);
        expected[u"ProductName"] = kProduct16;
        expected[u"FileDescription"] = kProduct16;
        expected[u"CompanyName"] = kCompany16;
        EXPECT_EQ(now[i].key, old[i].key);
        EXPECT_EQ(StringsOf(now[i]), expected);
      }
      // The fixed file and product versions follow the root's header and key, byte for byte.
      const auto fixed = [](const iconchanger::Bytes& bytes) {
        return iconchanger::Bytes(bytes.begin() + 40, bytes.begin() + 40 + 52);
      };
      EXPECT_EQ(fixed(after.at(where)), fixed(leaf));
    }
    EXPECT_TRUE(OtherResources(branded) == OtherResources(original));
  }
}

TEST_F(PropertiesCommand, OnlyTheNamesTheDocumentGivesAreSetAndNothingWithoutTheOption) {
  const std::string original = ReadFileBytes(Testing::Fixture("sample_app64.exe"));
  const auto stock = VersionLeaves(original);

  // Without the option, and with the option but no names: the version information is untouched.
  const fs::path plain = CopyFixture("sample_app64.exe", "plain.exe");
  UtilityRun run = Brand(plain, OemInfo(kProductXml, kCompanyXml), "");
  EXPECT_EQ(run.output, Success(plain));
  EXPECT_EQ(VersionLeaves(Testing::HostBytes(plain)), stock);
  const fs::path nameless = CopyFixture("sample_app64.exe", "nameless.exe");
  run = Brand(nameless, OemInfo("", ""));
  EXPECT_EQ(run.output, Success(nameless));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(VersionLeaves(Testing::HostBytes(nameless)), stock);

  // The company alone: the product strings keep the stock values.
  const fs::path company = CopyFixture("sample_app64.exe", "company.exe");
  run = Brand(company, OemInfo("", kCompanyXml));
  EXPECT_EQ(run.output, "Success add properties\n" + Success(company));
  for (const auto& [where, leaf] : VersionLeaves(Testing::HostBytes(company))) {
    for (const VersionStringTable& table : iconchanger::ReadVersionStringTables(leaf)) {
      EXPECT_EQ(StringsOf(table)[u"CompanyName"], kCompany16);
      EXPECT_EQ(StringsOf(table)[u"ProductName"], u"Zentu");
    }
  }

  // Archives carry no Windows program: the option changes nothing there.
  const fs::path folder = work_.Path() / "tgz";
  fs::create_directories(folder);
  WriteFileBytes(folder / "zentu.app", original);
  const fs::path archive = work_.Path() / "zentu.tgz";
  MakeTgz(folder, archive);
  run = Brand(archive, OemInfo(kProductXml, kCompanyXml));
  EXPECT_EQ(run.output, Success(archive));
  // The application, renamed after the product, carries the block and nothing else new.
  const std::map<std::string, std::string> files = ReadTgz(archive);
  ASSERT_EQ(files.size(), 1u);
  const fs::path unpacked = work_.Path() / "unpacked.app";
  WriteFileBytes(unpacked, files.begin()->second);
  EXPECT_TRUE(Testing::Unsummed(Testing::HostBytes(unpacked)) == Testing::Unsummed(original));
  EXPECT_EQ(Testing::BlockEntries(unpacked).count("oem_info.xml"), 1u);
}

TEST_F(PropertiesCommand, AProgramWithoutVersionInformationGetsNone) {
  const fs::path target = CopyFixture("sample_app64_plain.exe", "app.exe");
  const std::string original = ReadFileBytes(target);

  const UtilityRun run = Brand(target, OemInfo(kProductXml, kCompanyXml));
  EXPECT_EQ(run.output, "Properties not found\n" + Success(target));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(Testing::Unsummed(Testing::HostBytes(target)) == Testing::Unsummed(original));
  ExpectResourcesEmbedded(target);
}

TEST_F(PropertiesCommand, ABrokenVersionResourceIsAnErrorAndTheProgramStaysAsItWas) {
  std::string program = ReadFileBytes(Testing::Fixture("sample_app64.exe"));
  // The first version resource claims more bytes than it has.
  const std::u16string key = u"VS_VERSION_INFO";
  const size_t at =
      program.find(std::string(reinterpret_cast<const char*>(key.data()), 2 * key.size()));
  ASSERT_NE(at, std::string::npos);
  program[at - 6] = '\xff';
  program[at - 5] = '\xff';
  const fs::path target = work_.Path() / "app.exe";
  WriteFileBytes(target, program);

  const UtilityRun run = Brand(target, OemInfo(kProductXml, ""));
  EXPECT_EQ(run.output, "ERROR: can't replace properties\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(ReadFileBytes(target) == program) << "the program was changed";
}

// ---- The tool runner, in this process -------------------------------------------------------

class PropertiesTools : public ::testing::Test {
 protected:
  PropertiesTools() : saved_(fs::current_path()) { fs::current_path(folder_.Path()); }
  ~PropertiesTools() override { fs::current_path(saved_); }

  Testing::ScopedTempEnvironment temp_;
  Vadu::Testing::TempFolder folder_;
  fs::path saved_;
};

// A tool that ends with the given exit code and changes nothing: the sample program (exit code 0)
// on Windows, a shell script elsewhere.
std::vector<PeTool> LyingTools() {
  if (Vadu::NativePathStyle() == Vadu::PathStyle::Windows) {
    const char* sample = sizeof(void*) == 8 ? "sample_app64.exe" : "sample_app32.exe";
    return {{"liar.exe", Testing::Bytes(ReadFileBytes(Testing::Fixture(sample)))}};
  }
  return {{"liar0", "#!/bin/sh\nexit 0\n"}, {"liar3", "#!/bin/sh\nexit 3\n"}};
}

TEST_F(PropertiesTools, AToolsWordIsCheckedAgainstTheProgram) {
  const std::string original = ReadFileBytes(Testing::Fixture("sample_app64.exe"));
  WriteFileBytes("app.exe", original);
  const std::vector<VersionString> strings = {{u"ProductName", u"Acme"}};

  // Claims of success, and of a program without version information, that the program belies.
  for (const PeTool& liar : LyingTools()) {
    SCOPED_TRACE(Testing::Std(liar.name));
    EXPECT_EQ(RunPropertiesTools({liar}, u"app.exe", strings), PeToolResult::kFailed);
    EXPECT_TRUE(ReadFileBytes("app.exe") == original);
  }

  // Before a working tool: that one is tried next and does the job.
  std::vector<PeTool> tools = LyingTools();
  for (const PeTool& tool : CarriedPeTools()) tools.push_back(tool);
  EXPECT_EQ(RunPropertiesTools(tools, u"app.exe", strings), PeToolResult::kDone);
  for (const auto& [where, leaf] : VersionLeaves(ReadFileBytes("app.exe")))
    for (const VersionStringTable& table : iconchanger::ReadVersionStringTables(leaf))
      EXPECT_EQ(StringsOf(table)[u"ProductName"], u"Acme");
}

}  // namespace
}  // namespace Zentu
