#include "src/commands/list_command.h"

#include <gtest/gtest.h>

#include "support/json_writer.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::Text;
using Testing::UtilityRun;
using Testing::WriteWithBlock;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Std;
using Vadu::Testing::WriteFileBytes;

// A day count as the "date" entry stores it: milliseconds from 0001-01-01 to that midnight.
std::string DayCount(int year, int month, int day) {
  return std::to_string(Vadu::DateTime(year, month, day, 0, 0, 0, 0).Value());
}

// The list lines of a map, read back from its compressed form as the command reads a block.
std::vector<std::string> ListLines(const Vadu::SettingsMap& map) {
  CarriedResources carried;
  EXPECT_TRUE(ReadCarriedResources(map.Save(), &carried));
  std::vector<std::string> lines;
  for (const Vadu::String& line : ResourceListLines("app.exe", carried))
    lines.push_back(Testing::Std(line));
  return lines;
}

TEST(ResourceList, SizesNamesAndTheDateAsACalendarDate) {
  Vadu::SettingsMap map;
  map.Set("logo.png", Vadu::String(std::string(70000, 'x').c_str()));
  map.Set("empty.txt", "");
  map.Set("date", Testing::Bytes(DayCount(2024, 2, 29)));
  EXPECT_EQ(ListLines(map),
            (std::vector<std::string>{"Resources in app.exe:", "           0  empty.txt",
                                      "       70000  logo.png", "date: 2024-02-29"}));
  // A date entry that is not a day count is shown as it is stored.
  map.Set("date", "soon");
  EXPECT_EQ(ListLines(map).back(), "date: soon");

  CarriedResources carried;
  EXPECT_FALSE(ReadCarriedResources("not a zlib stream", &carried));
}

TEST(ResourceList, NamesFromTheFileReachTheTerminalOnlyAsText) {
  Vadu::SettingsMap map;
  map.Set(Testing::Bytes("\x1b]0;owned\x07title.txt"), "x");
  map.Set(Testing::Bytes("caf\xc3\xa9 \xc2\x9b"
                         "2J.txt"),
          "x");  // U+009B: the C1 CSI
  map.Set(Testing::Bytes("back\\slash"), "x");
  map.Set("date", Testing::Bytes("\x1b[2J"));
  EXPECT_EQ(ListLines(map),
            (std::vector<std::string>{
                "Resources in app.exe:", "           1  \\x1B]0;owned\\x07title.txt",
                "           1  back\\\\slash", "           1  caf\xc3\xa9 \\xC2\\x9B2J.txt",
                "date: \\x1B[2J"}));
  // A name that is not UTF-8 shows each byte above 0x7F escaped.
  Vadu::SettingsMap latin1;
  latin1.Set(Testing::Bytes("caf\xe9"), "x");
  EXPECT_EQ(ListLines(latin1)[1], "           1  caf\\xE9");
}

class ListCommand : public Testing::CommandTest {
 protected:
  // Runs -list and checks that nothing but the logs appeared beside the utility and nothing
  // changed in the work folder.
  UtilityRun ListWritingNothing(const fs::path& file) {
    const std::vector<std::string> beside = NamesIn(sandbox_.Folder());
    const std::vector<std::string> work = NamesIn(work_.Path());
    const std::string before = fs::is_regular_file(file) ? ReadFileBytes(file) : std::string();
    UtilityRun run = RunOwnOutput("-list " + Arg(file));
    for (const std::string& name : NamesIn(sandbox_.Folder())) {
      if (name.find(".log") == std::string::npos) {
        EXPECT_EQ(std::count(beside.begin(), beside.end(), name), 1) << "written: " << name;
      }
    }
    EXPECT_EQ(NamesIn(work_.Path()), work);
    if (fs::is_regular_file(file)) {
      EXPECT_TRUE(ReadFileBytes(file) == before);
    }
    return run;
  }
  const std::map<std::string, std::string> entries_{
      {"logo.png", "12345"}, {"oem_info.xml", "<oem/>"}, {"date", DayCount(2026, 1, 31)}};
  const std::string expected_ =
      ":\n           5  logo.png\n           6  oem_info.xml\ndate: 2026-01-31\n";
};

TEST_F(ListCommand, AProgramAPackageAndAnArchiveApplication) {
  const fs::path program = work_.Path() / "app.exe";
  WriteWithBlock(program, "MZ host", entries_);
  UtilityRun run = ListWritingNothing(program);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Resources in " + Text(program) + expected_);

  const fs::path package = work_.Path() / "resource.oem";
  WriteWithBlock(package, "", entries_);
  run = ListWritingNothing(package);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Resources in " + Text(package) + expected_);

  // The application inside an archive, beside a readme.
  Vadu::Testing::TempFolder content;
  WriteWithBlock(content.Path() / "zentu.app", "ELF host", entries_);
  WriteFileBytes(content.Path() / "readme.txt", "read me");
  const fs::path archive = work_.Path() / "zentu.tgz";
  MakeTgz(content.Path(), archive);
  run = ListWritingNothing(archive);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Resources in " + Text(archive) + expected_);
  for (const auto& entry : fs::directory_iterator(sandbox_.Temp()))
    ADD_FAILURE() << "left in the temporary folder: " << entry.path();
}

TEST_F(ListCommand, EveryFailureIsAnErrorLineWithExitCodeOne) {
  const fs::path plain = work_.Path() / "plain.exe";
  WriteFileBytes(plain, "MZ without a block");
  UtilityRun run = ListWritingNothing(plain);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: no resources found in " + Text(plain) + "\n");

  // The stock disk image is unpacked and its application found: it carries no block.
  const fs::path image = CopyFixture("zentu.dmg", "zentu.dmg");
  run = ListWritingNothing(image);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: no resources found in " + Text(image) + "\n");

  const fs::path notArchive = work_.Path() / "broken.tgz";
  WriteFileBytes(notArchive, "not an archive");
  run = ListWritingNothing(notArchive);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't unpack " + Text(notArchive) + "\n");

  Vadu::Testing::TempFolder content;
  WriteFileBytes(content.Path() / "readme.txt", "no application");
  const fs::path noApplication = work_.Path() / "docs.tgz";
  MakeTgz(content.Path(), noApplication);
  run = ListWritingNothing(noApplication);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't find zentu executable file\n");

  run = ListWritingNothing(work_.Path() / "missing.exe");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "ERROR: can't find missing.exe\n");
  EXPECT_EQ(RunOwnOutput("-list").output, "ERROR: no file to list\n");
}

TEST_F(ListCommand, JsonIsOneDocumentAlsoForAFailure) {
  const fs::path program = work_.Path() / "app.bin";
  WriteWithBlock(program, "host", entries_);
  UtilityRun run = RunOwnOutput("-list " + Arg(program) + " -json");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "{\"file\":" + Std(Vadu::JsonWriter::Quote(Testing::Bytes(Text(program)))) +
                            ",\"resources\":[{\"name\":\"logo.png\",\"size\":5},"
                            "{\"name\":\"oem_info.xml\",\"size\":6}],\"date\":{\"stored\":\"" +
                            DayCount(2026, 1, 31) +
                            "\",\"day\":\"2026-01-31\"},\"ok\":true,\"messages\":[]}\n");
  const fs::path missing = work_.Path() / "missing.exe";
  run = RunOwnOutput("-json -list " + Arg(missing));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "{\"file\":" + Std(Vadu::JsonWriter::Quote(Testing::Bytes(Text(missing)))) +
                            ",\"resources\":[],\"date\":null,\"ok\":false,"
                            "\"messages\":[\"ERROR: can't find missing.exe\"]}\n");
}

}  // namespace
}  // namespace Zentu
