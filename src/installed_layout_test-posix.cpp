// Installs the build into a temporary prefix as `cmake --install` does for users and packages,
// and runs the installed program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/process.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::Utf8;
using Vadu::Testing::Wide;

std::vector<std::string> NamesOf(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

Vadu::CommandResult RunCaptured(const fs::path& program,
                                const std::vector<std::string>& arguments) {
  std::vector<Vadu::WString> wide;
  for (const std::string& argument : arguments) wide.push_back(Wide(argument));
  Vadu::WString parameters;
  for (const Vadu::WString& argument : wide)
    parameters += (parameters.IsEmpty() ? u"" : u" ") + Vadu::QuoteWindowsArgument(argument);
  return Vadu::RunProgramCaptured(Wide(program), parameters, Vadu::StderrRedirect::ToOutput);
}

TEST(InstalledLayout, TheProgramItsManPageAndTheNoticesRunAndReadFromThePrefix) {
  Testing::ScopedTempEnvironment temp;
  Vadu::Testing::TempFolder prefix;
  const Vadu::CommandResult install = RunCaptured(
      ZENTU_CMAKE_COMMAND, {"--install", ZENTU_BUILD_DIR, "--prefix", prefix.Path().string()});
  ASSERT_EQ(install.exitCode, 0) << Utf8(install.output);

  const fs::path program = prefix.Path() / "bin" / "zentu-rebrand";
  struct stat status {};
  ASSERT_EQ(stat(program.c_str(), &status), 0);
  EXPECT_NE(status.st_mode & S_IXOTH, 0u) << "every user may run it";
  // The debug information stays in the build.
  EXPECT_EQ(NamesOf(prefix.Path() / "bin"), std::vector<std::string>{"zentu-rebrand"});

  const std::string manual = ReadFileBytes(prefix.Path() / "share/man/man1/zentu-rebrand.1");
  for (const char* command : {"-resource", "-getxml", "-packresource", "-unpack", "-check", "-list",
                              "-version", "EXIT STATUS", "FILES", "EXAMPLES"})
    EXPECT_NE(manual.find(command), std::string::npos) << command;

  const fs::path doc = prefix.Path() / "share/doc/zentu-rebrand";
  EXPECT_EQ(ReadFileBytes(doc / "7-Zip-License.txt"), ReadFileBytes(fs::path(ZENTU_7ZIP_LICENSE)));
  EXPECT_NE(ReadFileBytes(doc / "zlib-License.txt").find("Jean-loup Gailly and Mark Adler"),
            std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(doc / "THIRD-PARTY-NOTICES.txt"));
  EXPECT_TRUE(fs::is_regular_file(doc / "README.md"));

  // The installed program runs and reads its own carried tools.
  const Vadu::CommandResult version = RunCaptured(program, {"-version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(Utf8(version.output).rfind("zentu-rebrand ", 0), 0u) << Utf8(version.output);
  Vadu::Testing::TempFolder work;
  const fs::path target = work.Path() / "app.exe";
  Testing::WriteWithBlock(target, "MZ host", {{"a.txt", "A"}});
  const Vadu::CommandResult list = RunCaptured(program, {"-list", target.string()});
  EXPECT_EQ(list.exitCode, 0) << Utf8(list.output);
  EXPECT_NE(Utf8(list.output).find("a.txt"), std::string::npos);
}

}  // namespace
}  // namespace Zentu
