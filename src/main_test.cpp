// Runs the built utility as a user would and checks what it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "tests/test_command_util.h"
#include "tests/test_sandbox.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::BlockEntries;
using Testing::Text;
using Testing::UtilitySandbox;
using Vadu::Testing::WriteFileBytes;

std::string LogNameOf(const UtilitySandbox& sandbox, const char* suffix) {
  return sandbox.Executable().stem().string() + suffix;
}

// The main log's records of one run without a command, its time as a pattern.
std::string NoCommandRunPattern(const std::string& commandLine) {
  return "\\[INFO\\]:\r\nStart customization utility\r\n"
         "Time: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r\n"
         "Command line: " +
         commandLine +
         "\r\n\r\n"
         "\\[WARNING\\]:\r\nAbsent or unknown command line parameter\\(s\\)\r\n\r\n"
         "\\[INFO\\]:\r\nOutcome: no command \\(exit code 2\\)\r\n";
}

TEST(EntryPoint, NoCommandLogsTheStartTheCommandLineTheWarningAndTheOutcomeAndExitsWithTwo) {
  UtilitySandbox sandbox;
  EXPECT_EQ(sandbox.Run("").exitCode, 2);
  const std::string once = sandbox.ReadBeside(LogNameOf(sandbox, ".main.log"));
  EXPECT_TRUE(std::regex_match(once, std::regex(NoCommandRunPattern("")))) << once;
  // A second run appends behind the first, each line ending in "\r\n" as the level lines do.
  EXPECT_EQ(sandbox.Run("-resource onlythis").exitCode, 2);
  const std::string twice = sandbox.ReadBeside(LogNameOf(sandbox, ".main.log"));
  EXPECT_EQ(twice.substr(0, once.size()), once);
  EXPECT_TRUE(std::regex_match(twice.substr(once.size()),
                               std::regex(NoCommandRunPattern("-resource onlythis"))))
      << twice;
  EXPECT_EQ(std::regex_search(twice, std::regex("[^\r]\n")), false) << "a bare line feed";
}

TEST(EntryPoint, TheOutcomeOfACommandIsLogged) {
  UtilitySandbox sandbox;
  EXPECT_EQ(sandbox.Run("-getxml").exitCode, 0);
  fs::remove(sandbox.Folder() / "oem_info.xml");
  fs::create_directory(sandbox.Folder() / "oem_info.xml");
  EXPECT_EQ(sandbox.Run("-getxml").exitCode, 1);
  const std::string log = sandbox.ReadBeside(LogNameOf(sandbox, ".main.log"));
  EXPECT_NE(log.find("Command line: -getxml\r\nOutcome: success (exit code 0)\r\n"),
            std::string::npos)
      << log;
  // The failure's record holds the line, the file's full path and the system's reason.
  const std::regex failed(
      "Command line: -getxml\r\n\r\n\\[ERROR\\]:\r\nERROR: can't save xml file with OEM "
      "information\r\nFile: .*oem_info\\.xml\r\nReason: [^\r]+\r\nOutcome: failed \\(exit code "
      "1\\)\r\n");
  EXPECT_TRUE(std::regex_search(log, failed)) << log;
}

TEST(EntryPoint, LogFilesAreNamedAfterTheRenamedExecutable) {
  UtilitySandbox sandbox(fs::path(UtilitySandbox::DefaultName()).extension().string().empty()
                             ? "brand tool"
                             : "brand tool.exe");
  Testing::UtilityRun run = sandbox.Run("");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(fs::exists(sandbox.Folder() / "brand tool.main.log"));
  // The usage text names the program by its file name.
  EXPECT_EQ(run.output.rfind("    Zentu Rebrand ", 0), 0u) << run.output;
  EXPECT_GT(std::count(run.output.begin(), run.output.end(), '\n'), 45);
  EXPECT_NE(run.output.find("        " + sandbox.Executable().filename().string() +
                            " -resource <RESOURCE_PATH> -target <ZENTU_FILE>\n"),
            std::string::npos);
}

TEST(EntryPoint, HelpInEverySpellingPrintsTheUsageWithExitCodeZero) {
  UtilitySandbox sandbox;
  const Testing::UtilityRun unknown = sandbox.Run("");
  ASSERT_EQ(unknown.exitCode, 2);
  // The 45 original lines come first, unchanged; the later commands follow them.
  size_t end = 0;
  for (int line = 0; line < 45; ++line) end = unknown.output.find('\n', end) + 1;
  const std::string later = unknown.output.substr(end);
  for (const char* command :
       {"-check <RESOURCE_PATH> [-json]\n", "-list <ZENTU_FILE> [-json]\n", "-version\n"})
    EXPECT_NE(later.find(command), std::string::npos) << command;
  for (const char* help : {"-help", "--help", "-h", "/?", "-unpack x.exe -h"}) {
    const Testing::UtilityRun run = sandbox.Run(help);
    EXPECT_EQ(run.exitCode, 0) << help;
    EXPECT_EQ(run.output, unknown.output) << help;
  }
  // Other spellings are unknown input.
  for (const char* other : {"-HELP", "help", "-?"})
    EXPECT_EQ(sandbox.Run(other).exitCode, 2) << other;
}

TEST(EntryPoint, RemovesTheWorkingFolderOfAnEarlierRun) {
  UtilitySandbox sandbox;
  fs::create_directories(sandbox.Temp() / "zentuunpacked" / "deep" / "er");
  Vadu::Testing::WriteFileBytes(sandbox.Temp() / "zentuunpacked" / "deep" / "file", "x");
  Vadu::Testing::WriteFileBytes(sandbox.Temp() / "keep.txt", "kept");
  sandbox.Run("");
  EXPECT_FALSE(fs::exists(sandbox.Temp() / "zentuunpacked"));
  EXPECT_TRUE(fs::exists(sandbox.Temp() / "keep.txt"));
}

TEST(EntryPoint, GetXmlWritesTheTemplateBesideTheUtilityNotInTheCurrentFolder) {
  UtilitySandbox sandbox;
  Testing::UtilityRun run = sandbox.Run("-getxml");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "OEM Information xml file saved to \"oem_info.xml\"\n");
  std::string xml = sandbox.ReadBeside("oem_info.xml");
  EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
  EXPECT_NE(xml.find("<ProductName"), std::string::npos);
  // A bare word selects the command through the dash-less lookup.
  EXPECT_EQ(sandbox.Run("getxml").exitCode, 0);
}

TEST(EntryPoint, TheTemplateCommandFailsWithExitCodeOneWhenItCannotWrite) {
  UtilitySandbox sandbox;
  fs::create_directory(sandbox.Folder() / "oem_info.xml");  // a folder stands in the way
  Testing::UtilityRun run = sandbox.Run("-getxml");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't save xml file with OEM information\n");
}

TEST(EntryPoint, EmbeddingWithoutATargetFallsThroughToTheUsageExit) {
  UtilitySandbox sandbox;
  EXPECT_EQ(sandbox.Run("-icon x.ico").exitCode, 2);
  EXPECT_EQ(sandbox.Run("-target").exitCode, 2);
  EXPECT_EQ(sandbox.Run("-Getxml").exitCode, 2);  // option names are case-sensitive
}

// The command line is strict: what it cannot run as asked is refused before anything is done.
class StrictCommandLine : public Testing::CommandTest {};

TEST_F(StrictCommandLine, MistakesAreRefusedWithTheirOwnLinesAndKnownFormsStillWork) {
  const fs::path resources = MakeResources({{"a.txt", "A"}});
  const fs::path target = work_.Path() / "t.bin";
  Testing::WriteWithBlock(target, "host", {{"old.txt", "O"}});
  const std::string before = Vadu::Testing::ReadFileBytes(target);
  const std::string R = Arg(resources), T = Arg(target);
  const std::string brand = "-resource " + R + " -target " + T;
  const std::string usage = Run("").output;
  const std::vector<std::string> beside = NamesIn(sandbox_.Folder());
  struct Case {
    std::string parameters;
    int exitCode;
    std::string output;  // exactly, or where it starts when `prefix`
    bool prefix = false;
  };
  const Case cases[] = {
      {brand + " -propertise", 2, "ERROR: unknown option -propertise\n"},
      {"propertise=1 " + brand, 2, "ERROR: unknown option propertise=1\n"},
      {brand + " free words", 2, "ERROR: unknown option free\nERROR: unknown option words\n"},
      {"\"-getxml now\"", 2, "ERROR: unknown option -getxml now\n"},
      {"-Getxml", 2, "ERROR: unknown option -Getxml\n"},
      {brand + " -icon", 2, "ERROR: -icon needs a path\n"},
      {"-resource -target " + T, 2, "ERROR: -resource needs a path\n"},
      {"-target " + T + " -resource " + R + " -target " + T, 2,
       "ERROR: given more than once: -target\n"},
      {brand + " target=" + T, 2, "ERROR: given more than once: -target\n"},
      {"-getxml -unpack " + T, 2, "ERROR: one command at a time: -unpack and -getxml\n"},
      {brand + " -packresource " + R, 2,
       "ERROR: one command at a time: -target and -packresource\n"},
      {"-list " + T + " -check " + R + " -getxml", 2,
       "ERROR: one command at a time: -check, -list and -getxml\n"},
      // Not a command: the usage.
      {"-resource " + R, 2, usage},
      // What the command does not read is named, and the command runs.
      {"-list " + T + " -properties -outdir x", 0,
       "WARNING: -outdir is not used with -list\nWARNING: -properties is not used with -list\n"
       "Resources in ",
       true},
      // -unpack keeps its meaning without a value.
      {"-unpack", 1, "ERROR: no file to unpack\n"},
      // The forms without a dash, and the system's own words, still work.
      {"-psn_0_4242 -list " + T, 0, "Resources in ", true},
      {"list=" + T, 0, "Resources in ", true},
      {"-resource " + R + " target=" + T, 0, "Success add resources to file: ", true},
  };
  for (const Case& c : cases) {
    const Testing::UtilityRun run = Run(c.parameters);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.parameters << "\n" << run.output;
    if (c.prefix)
      EXPECT_EQ(run.output.rfind(c.output, 0), 0u) << c.parameters << "\n" << run.output;
    else
      EXPECT_EQ(run.output, c.output) << c.parameters;
    if (c.exitCode != 0) {
      EXPECT_EQ(Vadu::Testing::ReadFileBytes(target), before) << c.parameters;
      EXPECT_EQ(NamesIn(sandbox_.Folder()), beside) << c.parameters;
    }
  }
  EXPECT_EQ(BlockEntries(target).count("a.txt"), 1u) << "the last case brands";
  EXPECT_EQ(BlockEntries(target).count("old.txt"), 1u);
}

// Folders named like option lists, and a relative value with a leading blank, beside folders
// named like what a cut or trimmed value would give.
class CommandLineValues : public Testing::CommandTest {
 protected:
  // A folder in the work folder holding one file whose content is its name.
  std::filesystem::path MakeFolder(const std::string& name, const std::string& file) {
    fs::path folder = work_.Path() / fs::u8path(name);
    fs::create_directories(folder);
    WriteFileBytes(folder / file, file);
    return folder;
  }
};

TEST_F(CommandLineValues, AValueHoldingAnOptionNameIsTheWholeValue) {
  fs::path resources = MakeFolder("res -target decoy.exe", "named.txt");
  fs::path target = CopyFixture("sample_app64.exe", "real app.exe");
  Testing::UtilityRun run = Run("-resource " + Arg(resources) + " -target " + Arg(target));
  EXPECT_EQ(run.output, "Success add resources to file: " + Text(target) + "\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(BlockEntries(target).count("named.txt"), 1u);

  // The folder named is packed, not the one its name begins with.
  fs::path named = MakeFolder("pack -target x", "named.txt");
  MakeFolder("pack", "shorter.txt");
  run = Run("-packresource " + Arg(named) + " -outdir " + Arg(work_.Path() / "out"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const auto entries = BlockEntries(work_.Path() / "out" / "resource.oem");
  EXPECT_EQ(entries.count("named.txt"), 1u);
  EXPECT_EQ(entries.count("shorter.txt"), 0u);
  EXPECT_EQ(NamesIn(work_.Path()),
            (std::vector<std::string>{"out", "pack", "pack -target x", "real app.exe",
                                      "res -target decoy.exe"}));
}

TEST_F(CommandLineValues, ABlankAtTheStartOfAValueIsPartOfThePath) {
  MakeFolder(" pack", "named.txt");
  MakeFolder("pack", "trimmed.txt");
  Testing::UtilityRun run;
  {
    Testing::CurrentDirectory current(work_.Path());
    run = Run("-packresource " + Arg(" pack") + " -outdir " + Arg(" out"));
  }
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const auto entries = BlockEntries(work_.Path() / " out" / "resource.oem");
  EXPECT_EQ(entries.count("named.txt"), 1u);
  EXPECT_EQ(entries.count("trimmed.txt"), 0u);
  EXPECT_FALSE(fs::exists(work_.Path() / "out"));
}

}  // namespace
}  // namespace Zentu
