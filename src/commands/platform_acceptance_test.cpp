// Branded packages as their platforms and signing tools take them, checked with the tools
// themselves where they run (the native build): apksigner and Python's zip reader for an Android
// package, osslsigncode for a Windows program; and with independent readings of the formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "oem/oem_document.h"
#include "oem/oem_key_catalogue.h"
#include "support/file_system.h"
#include "support/process.h"
#include "tests/platform_checks.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::WriteFileBytes;

// The tools of this machine that are missing, by name; empty when every one runs. On the Windows
// build (under Wine) none does.
std::string MissingTools(std::initializer_list<const char*> tools) {
  if (Vadu::NativePathStyle() == Vadu::PathStyle::Windows) return "the native build";
  std::string missing;
  for (const char* tool : tools)
    if (Vadu::RunCaptured(Vadu::FromUtf8(Vadu::String("command -v ") + tool),
                          Vadu::StderrRedirect::ToNull)
            .exitCode != 0)
      missing += std::string(missing.empty() ? "" : ", ") + tool;
  return missing;
}

// Runs a command line of the machine's tools; the output holds standard error too.
Vadu::CommandResult RunTool(const std::string& commandLine) {
  return Vadu::RunCaptured(Vadu::FromUtf8(Vadu::String(("(" + commandLine + ")").c_str())),
                           Vadu::StderrRedirect::ToOutput);
}
std::string Output(const Vadu::CommandResult& result) { return Vadu::Testing::Utf8(result.output); }
std::string Quoted(const fs::path& path) { return "'" + Text(path) + "'"; }

// Bytes that do not compress.
std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

std::string OemInfo(const char* product, const char* company) {
  OemDocument document;
  SetProductName(document, product);
  SetCompanyName(document, company);
  return Testing::Std(document.ToXml());
}

// Makes and reads zips with Python's zipfile.
const char kZipScript[] =
    "import sys, zipfile\n"
    "if sys.argv[1] == 'make':\n"
    "    with zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as z:\n"
    "        z.writestr('AndroidManifest.xml', 'manifest')\n"
    "        z.writestr('classes.dex', 'dex\\n035' * 100)\n"
    "        z.comment = b'made by the test'\n"
    "else:\n"
    "    with zipfile.ZipFile(sys.argv[2]) as z:\n"
    "        names = z.namelist()\n"
    "        print(z.testzip(), 'AndroidManifest.xml' in names and 'classes.dex' in names,\n"
    "              z.comment.startswith(b'made by the test'), z.comment.endswith(b'OEM'))\n";

using AndroidPackage = Testing::CommandTest;

TEST_F(AndroidPackage, SignedBrandedAndSignedAgainItVerifiesAndKeepsItsResources) {
  const std::string missing = MissingTools({"apksigner", "openssl", "python3"});
  if (!missing.empty()) GTEST_SKIP() << "needs " << missing;
  const fs::path script = work_.Path() / "zips.py";
  WriteFileBytes(script, kZipScript);
  const fs::path package = work_.Path() / "cam.apk";
  ASSERT_EQ(RunTool("python3 " + Quoted(script) + " make " + Quoted(package)).exitCode, 0);
  // A throw-away signing key.
  const fs::path key = work_.Path() / "key.pem", cert = work_.Path() / "cert.pem";
  const fs::path pk8 = work_.Path() / "key.pk8";
  ASSERT_EQ(RunTool("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=zentu-test "
                    "-keyout " +
                    Quoted(key) + " -out " + Quoted(cert) + " && openssl pkcs8 -topk8 -nocrypt " +
                    "-inform PEM -outform DER -in " + Quoted(key) + " -out " + Quoted(pk8))
                .exitCode,
            0);
  const std::string sign = "apksigner sign --min-sdk-version 24 --key " + Quoted(pk8) + " --cert " +
                           Quoted(cert) + " " + Quoted(package);
  const std::string verify = "apksigner verify -v --min-sdk-version 24 " + Quoted(package);
  Vadu::CommandResult tool = RunTool(sign);
  ASSERT_EQ(tool.exitCode, 0) << Output(tool);

  // Branded: still a zip by Android's rule, its signature gone and said so.
  const fs::path resources = MakeResources({{"logo.png", "png"}, {"welcome.txt", "hello"}});
  UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(package));
  EXPECT_EQ(run.output,
            "Success add resources to file: " + Text(package) + "\nWARNING: " + Text(package) +
                " is no longer signed: sign it again with apksigner before Android installs it\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(Testing::AndroidEndRecord(ReadFileBytes(package)), std::string::npos);
  EXPECT_NE(RunTool(verify).exitCode, 0);

  // Signed again: it verifies with the schemes Android checks, and still carries the resources.
  tool = RunTool(sign);
  ASSERT_EQ(tool.exitCode, 0) << Output(tool);
  tool = RunTool(verify);
  EXPECT_EQ(tool.exitCode, 0) << Output(tool);
  EXPECT_NE(Output(tool).find("Verified using v2 scheme (APK Signature Scheme v2): true"),
            std::string::npos)
      << Output(tool);
  const std::string signedAgain = ReadFileBytes(package);
  EXPECT_NE(Testing::AndroidEndRecord(signedAgain), std::string::npos);
  run = Run("-list " + Arg(package));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("           3  logo.png\n           5  welcome.txt\n"),
            std::string::npos)
      << run.output;
  tool = RunTool("python3 " + Quoted(script) + " read " + Quoted(package));
  // Read whole, the package's own comment before the block.
  EXPECT_EQ(Output(tool), "None True True True\n");

  // Branded again: the old block goes, the new one merges with it.
  const fs::path more = work_.Path() / "more.txt";
  WriteFileBytes(more, "more");
  run = Run("-resource " + Arg(more) + " -target " + Arg(package));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(Testing::AndroidEndRecord(ReadFileBytes(package)), std::string::npos);
  std::map<std::string, std::string> block = Testing::BlockEntries(package);
  EXPECT_EQ(block.count("logo.png") + block.count("more.txt"), 2u);
  tool = RunTool("python3 " + Quoted(script) + " read " + Quoted(package));
  EXPECT_EQ(Output(tool).substr(0, 4), "None") << Output(tool);

  // Resources too large for the end record's comment: refused, the package as it was.
  const fs::path large = MakeResources({{"noise.bin", Noise(70000, 3)}});
  const std::string before = ReadFileBytes(package);
  run = Run("-resource " + Arg(large) + " -target " + Arg(package));
  EXPECT_EQ(run.output.rfind("ERROR: resources too large for an Android package: ", 0), 0u)
      << run.output;
  EXPECT_NE(run.output.find(" bytes, at most 65534\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(package), before);
}

using WindowsProgram = Testing::CommandTest;

TEST_F(WindowsProgram, ACertificateEntryIntoItsCodeIsRefusedAndTheProgramLeftAsItWas) {
  std::string program = ReadFileBytes(Testing::Fixture("sample_app64.exe"));
  // The security entry of the PE32+ header at 0x400, 0x200 bytes: inside .text.
  const size_t entry = Testing::PeChecksumFieldAt(program) - 88 + 168;
  program.replace(entry, 8, std::string("\x00\x04\x00\x00\x00\x02\x00\x00", 8));
  const fs::path target = work_.Path() / "app.exe";
  WriteFileBytes(target, program);
  const fs::path icon = CopyFixture("sample.ico", "icon.ico");
  const UtilityRun run = Run("-resource " + Arg(MakeResources({{"a.txt", "A"}})) + " -icon " +
                             Arg(icon) + " -target " + Arg(target) + " -properties");
  EXPECT_EQ(run.output,
            "ERROR: app.exe: the certificate table entry points into the program's headers or "
            "sections (offset 0x400, size 0x200), not at a signature after them\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(target), program);
  EXPECT_EQ(NamesIn(work_.Path()), (std::vector<std::string>{"app.exe", "icon.ico", "res"}));
}

TEST_F(WindowsProgram, EveryChangeLeavesTheChecksumOfTheNewFile) {
  const fs::path plain = MakeResources({{"a.txt", "A"}});
  const fs::path named = work_.Path() / "named";
  fs::create_directories(named);
  WriteFileBytes(named / "oem_info.xml", OemInfo("Acme Vision", "Acme & Co"));
  const fs::path icon = CopyFixture("sample.ico", "icon.ico");
  const struct {
    const char* change;
    const char* fixture;
    std::string options;
    std::string output;
  } cases[] = {
      {"block", "sample_app64.exe", "-resource " + Arg(plain), ""},
      {"signature removal", "sample_app32_signed.exe", "-resource " + Arg(plain), ""},
      {"icon", "sample_app64.exe", "-icon " + Arg(icon), "Success add icon\n"},
      {"properties", "sample_app32.exe", "-resource " + Arg(named) + " -properties",
       "Success add properties\n"},
  };
  std::vector<fs::path> branded;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    const fs::path target = CopyFixture(c.fixture, std::string(c.change) + ".exe");
    const UtilityRun run = Run(c.options + " -target " + Arg(target));
    const std::string success = "Success add resources to file: " + Text(target) + "\n";
    EXPECT_EQ(run.output.substr(0, c.output.size() + success.size()), c.output + success);
    EXPECT_EQ(run.exitCode, 0);
    const std::string bytes = ReadFileBytes(target);
    EXPECT_NE(Testing::PeChecksumField(bytes),
              Testing::PeChecksumField(ReadFileBytes(Testing::Fixture(c.fixture))));
    EXPECT_EQ(Testing::PeChecksumField(bytes), Testing::PeChecksumOf(bytes));
    branded.push_back(target);
  }

  // osslsigncode reads the same checksum (it drops a last odd byte, so the file must be even).
  const std::string missing = MissingTools({"osslsigncode"});
  if (!missing.empty()) GTEST_SKIP() << "osslsigncode's check needs " << missing;
  for (const fs::path& target : branded) {
    const std::string output = Output(RunTool("osslsigncode verify -in " + Quoted(target)));
    EXPECT_NE(output.find("PE checksum"), std::string::npos) << target << "\n" << output;
    EXPECT_EQ(output.find("invalid PE checksum"), std::string::npos) << target << "\n" << output;
  }
}

}  // namespace
}  // namespace Zentu
