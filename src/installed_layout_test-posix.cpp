// Installs the build into a temporary prefix as `cmake --install` does for users and packages,
// and runs the installed program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <optional>

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

// The content of a gzip file; empty when it does not inflate.
std::string Gunzip(const std::string& packed) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::string();
  std::string out;
  char buffer[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END ? out : std::string();
}

// Sets an environment variable for the lifetime of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) saved_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

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

  // The man page is compressed and names the documentation of this prefix.
  const std::string manual =
      Gunzip(ReadFileBytes(prefix.Path() / "share/man/man1/zentu-rebrand.1.gz"));
  for (const char* command : {"-resource", "-getxml", "-packresource", "-unpack", "-check", "-list",
                              "-version", "-replace", "-json", "EXIT STATUS", "FILES", "EXAMPLES"})
    EXPECT_NE(manual.find(command), std::string::npos) << command;
  const fs::path doc = prefix.Path() / "share/doc/zentu-rebrand";
  EXPECT_NE(manual.find(".IR " + doc.string() + "/ ."), std::string::npos) << manual;
  EXPECT_EQ(manual.find("/usr/share/doc"), std::string::npos);
  EXPECT_NE(Gunzip(ReadFileBytes(doc / "changelog.Debian.gz")).find("zentu-rebrand ("),
            std::string::npos);
  EXPECT_NE(ReadFileBytes(doc / "copyright").find("Copyright"), std::string::npos);

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

TEST(InstalledLayout, AnInstalledProgramWritesIntoTheCurrentFolderAndLogsIntoTheStateFolder) {
  // Run as the user runs it, root included (as this test usually runs), from another folder.
  Testing::ScopedTempEnvironment temp;
  Vadu::Testing::TempFolder prefix, work, state;
  const Vadu::CommandResult install = RunCaptured(
      ZENTU_CMAKE_COMMAND, {"--install", ZENTU_BUILD_DIR, "--prefix", prefix.Path().string()});
  ASSERT_EQ(install.exitCode, 0) << Utf8(install.output);
  const fs::path program = prefix.Path() / "bin" / "zentu-rebrand";
  ScopedVariable stateHome("XDG_STATE_HOME", state.Path().string());
  const fs::path target = work.Path() / "app.bin";
  Testing::WriteWithBlock(target, "host", {{"a.txt", "A"}});
  {
    Testing::CurrentDirectory current(work.Path());
    const Vadu::CommandResult xml = RunCaptured(program, {"-getxml"});
    EXPECT_EQ(xml.exitCode, 0) << Utf8(xml.output);
    const Vadu::CommandResult unpack = RunCaptured(program, {"-unpack", "app.bin"});
    EXPECT_EQ(unpack.exitCode, 0) << Utf8(unpack.output);
    // A failure is logged too, with its reason.
    EXPECT_EQ(RunCaptured(program, {"-list", "missing.bin"}).exitCode, 1);
  }
  EXPECT_TRUE(fs::is_regular_file(work.Path() / "oem_info.xml"));
  EXPECT_EQ(ReadFileBytes(work.Path() / "unpack_res" / "a.txt"), "A");
  EXPECT_EQ(NamesOf(prefix.Path() / "bin"), std::vector<std::string>{"zentu-rebrand"})
      << "nothing is written beside the installed program";
  const std::string log = ReadFileBytes(state.Path() / "zentu-rebrand" / "zentu-rebrand.main.log");
  EXPECT_NE(log.find("Command line: -getxml\r\n"), std::string::npos) << log;
  EXPECT_NE(
      log.find("ERROR: can't find missing.bin\r\nFile: " + (work.Path() / "missing.bin").string() +
               "\r\nReason: No such file or directory\r\n"),
      std::string::npos)
      << log;

  // The same program outside the installed layout is a portable copy: it keeps its outputs and
  // logs beside itself.
  Vadu::Testing::TempFolder portable;
  fs::copy_file(program, portable.Path() / "zentu-rebrand");
  fs::permissions(portable.Path() / "zentu-rebrand", fs::perms::owner_all);
  {
    Testing::CurrentDirectory current(work.Path());
    EXPECT_EQ(RunCaptured(portable.Path() / "zentu-rebrand", {"-getxml"}).exitCode, 0);
  }
  EXPECT_TRUE(fs::is_regular_file(portable.Path() / "oem_info.xml"));
  EXPECT_TRUE(fs::is_regular_file(portable.Path() / "zentu-rebrand.main.log"));
}

}  // namespace
}  // namespace Zentu
