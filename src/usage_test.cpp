#include "src/usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/steps/payloads.h"

namespace Zentu {
namespace {

std::vector<std::string> Lines(const std::vector<Vadu::String>& lines) {
  std::vector<std::string> out;
  for (const Vadu::String& line : lines) out.emplace_back(line.CStr(), line.Length());
  return out;
}

TEST(Usage, TheFortyFiveLinesWithProgramNameAndVersion) {
  const std::vector<std::string> expected = {
      "    Zentu Rebrand 23.12.11",
      "",
      "    Commands: ",
      "    1) Add Resources with oem info to zentu executable file:",
      "",
      "        my tool.exe -resource <RESOURCE_PATH> -target <ZENTU_FILE>",
      "",
      "      where:",
      "        <RESOURCE_PATH>        - path to directory with resources",
      "        <ZENTU_FILE>           - path to Zentu executable file",
      "",
      "    2) Create XML file with OEM Information (oem_info.xml):",
      "",
      "        my tool.exe -getxml",
      "",
      "    3) Change the Icon of zentu executable file :",
      "",
      "        my tool.exe -icon <ICON_FILE_NAME> -target <ZENTU_FILE>",
      "      or",
      "        my tool.exe -icon <ICON_FILE_NAME> -resource <RESOURCE_PATH> -target <ZENTU_FILE>",
      "",
      "      where:",
      "        <ICON_FILE_NAME>       - path to icon file(*.ico for Windows/Linux",
      "                                 and *.icns for MacOS).",
      "                                 Icon file contains a group of icons",
      "                                 on the size of 128x128, 64x64,",
      "                                 48x48, 32x32, 24x24, 16x16",
      "        <RESOURCE_PATH>        - path to directory with resources",
      "        <ZENTU_FILE>           - path to Zentu executable file",
      "",
      "    4) Create Resource package file (resource.oem):",
      "",
      "        my tool.exe -packresource <RESOURCE_PATH> -outdir <OUTPUT_DIR_PATH>",
      "",
      "      where:",
      "        <RESOURCE_PATH>        - path to directory with resources",
      "        <OUTPUT_DIR_PATH>      - path to directory where will write result (optional)",
      "",
      "    1) Unpack resources from executable file:",
      "",
      "        my tool.exe -unpack <ZENTU_FILE>",
      "",
      "      where:",
      "        <ZENTU_FILE>           - path to Zentu executable file which resources you want "
      "unpack",
      "",
  };
  ASSERT_EQ(expected.size(), 45u);
  EXPECT_EQ(Lines(UsageLines("my tool.exe", "23.12.11")), expected);
}

TEST(Usage, RunningProgramNameAndBuildVersion) {
  std::vector<std::string> lines = Lines(UsageLines());
  ASSERT_GT(lines.size(), 45u);
  EXPECT_EQ(lines[0], "    Zentu Rebrand " + std::string(BuildVersionText().CStr()));
  // This test program's own file name, with its extension where the platform has one.
  for (int index : {5, 13, 17, 19, 32, 40}) {
    const std::string& line = lines[index];
    EXPECT_TRUE(line.rfind("        app_tests -", 0) == 0 ||
                line.rfind("        app_tests.exe -", 0) == 0)
        << line;
  }
  // The later lines follow the 45 unchanged.
  const std::vector<std::string> later = Lines(LaterUsageLines(Vadu::String("app_tests")));
  EXPECT_EQ(lines.size(), 45u + later.size());
}

}  // namespace
}  // namespace Zentu
