#include "src/commands/template_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "oem/oem_template.h"
#include "src/exit_code.h"
#include "support/test_util.h"

namespace Zentu {
namespace {

using Vadu::Testing::ReadFileBytes;
using Vadu::Testing::TempFolder;
using Vadu::Testing::Wide;

std::string RunCaptured(const std::filesystem::path& directory) {
  testing::internal::CaptureStdout();
  RunTemplateCommand(Wide(directory));
  return testing::internal::GetCapturedStdout();
}

TEST(TemplateCommand, ReportsTheSavedFile) {
  TempFolder folder;
  SetExitCode(kExitSuccess);
  EXPECT_EQ(RunCaptured(folder.Path()), "OEM Information xml file saved to \"oem_info.xml\"\n");
  EXPECT_EQ(ExitCode(), kExitSuccess);
  Vadu::String expected = OemTemplateText();
  EXPECT_EQ(ReadFileBytes(folder.Path() / "oem_info.xml"),
            std::string(expected.CStr(), expected.Length()));
}

TEST(TemplateCommand, FailureSetsExitCodeOne) {
  TempFolder folder;
  Vadu::Testing::WriteFileBytes(folder.Path() / "file", "x");
  SetExitCode(kExitSuccess);
  EXPECT_EQ(RunCaptured(folder.Path() / "file"),
            "ERROR: can't save xml file with OEM information\n");
  EXPECT_EQ(ExitCode(), kExitError);
  // A later success does not reset the code.
  EXPECT_EQ(RunCaptured(folder.Path()), "OEM Information xml file saved to \"oem_info.xml\"\n");
  EXPECT_EQ(ExitCode(), kExitError);
  SetExitCode(kExitSuccess);
}

}  // namespace
}  // namespace Zentu
