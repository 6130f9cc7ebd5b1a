#include "src/usage.h"

#include <cstdio>

#include "src/option_names.h"
#include "src/steps/payloads.h"
#include "support/file_system.h"

namespace Zentu {

using Vadu::String;

namespace {

// Words that several commands' descriptions share.
struct UsageWords {
  explicit UsageWords(const String& program) : command(String("        ") + program + " ") {}
  const String command;
  const String target = Vadu::ToUtf8(kTargetOption);
  const String resource = Vadu::ToUtf8(kResourceOption);
  const String resourcePath{"        <RESOURCE_PATH>        - path to directory with resources"};
  const String zentuFile{"        <ZENTU_FILE>           - path to Zentu executable file"};
  const String where{"      where:"};
  const String empty;
};

// The first three commands: adding resources, the OEM information template, the icon.
std::vector<String> BrandingUsage(const UsageWords& w) {
  const String icon = Vadu::ToUtf8(kIconOption);
  return {
      String("    1) Add Resources with oem info to zentu executable file:"),
      w.empty,
      w.command + w.resource + " <RESOURCE_PATH> " + w.target + " <ZENTU_FILE>",
      w.empty,
      w.where,
      w.resourcePath,
      w.zentuFile,
      w.empty,
      String("    2) Create XML file with OEM Information (oem_info.xml):"),
      w.empty,
      w.command + Vadu::ToUtf8(kGetXmlOption),
      w.empty,
      String("    3) Change the Icon of zentu executable file :"),
      w.empty,
      w.command + icon + " <ICON_FILE_NAME> " + w.target + " <ZENTU_FILE>",
      String("      or"),
      w.command + icon + " <ICON_FILE_NAME> " + w.resource + " <RESOURCE_PATH> " + w.target +
          " <ZENTU_FILE>",
      w.empty,
      w.where,
      String("        <ICON_FILE_NAME>       - path to icon file(*.ico for Windows/Linux"),
      String("                                 and *.icns for MacOS)."),
      String("                                 Icon file contains a group of icons"),
      String("                                 on the size of 128x128, 64x64,"),
      String("                                 48x48, 32x32, 24x24, 16x16"),
      w.resourcePath,
      w.zentuFile,
      w.empty,
  };
}

// The resource package and unpacking (numbered 4 and, as it always was, 1 again).
std::vector<String> PackageUsage(const UsageWords& w) {
  return {
      String("    4) Create Resource package file (resource.oem):"),
      w.empty,
      w.command + Vadu::ToUtf8(kPackResourceOption) + " <RESOURCE_PATH> " +
          Vadu::ToUtf8(kOutDirOption) + " <OUTPUT_DIR_PATH>",
      w.empty,
      w.where,
      w.resourcePath,
      String("        <OUTPUT_DIR_PATH>      - path to directory where will write result "
             "(optional)"),
      w.empty,
      String("    1) Unpack resources from executable file:"),
      w.empty,
      w.command + Vadu::ToUtf8(kUnpackOption) + " <ZENTU_FILE>",
      w.empty,
      w.where,
      String("        <ZENTU_FILE>           - path to Zentu executable file which resources you "
             "want unpack"),
      w.empty,
  };
}

void Append(std::vector<String>& lines, const std::vector<String>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

}  // namespace

std::vector<String> UsageLines(const String& program, const String& version) {
  const UsageWords words(program);
  std::vector<String> lines = {String("    Zentu Rebrand ") + version, words.empty,
                               String("    Commands: ")};
  Append(lines, BrandingUsage(words));
  Append(lines, PackageUsage(words));
  return lines;
}

std::vector<String> LaterUsageLines(const String& program) {
  const String command = String("        ") + program + " ";
  const String outDir = Vadu::ToUtf8(kOutDirOption);
  const String empty;
  return {
      String("    6) Check a resource folder before adding it:"),
      empty,
      command + Vadu::ToUtf8(kCheckOption) + " <RESOURCE_PATH> [" + Vadu::ToUtf8(kJsonOption) + "]",
      empty,
      String("    7) List the resources a file carries, writing nothing:"),
      empty,
      command + Vadu::ToUtf8(kListOption) + " <ZENTU_FILE> [" + Vadu::ToUtf8(kJsonOption) + "]",
      empty,
      String("    8) Show the versions of the utility and of the 7-Zip it carries:"),
      empty,
      command + Vadu::ToUtf8(kVersionOption),
      empty,
      String("    ") + Vadu::ToUtf8(kPropertiesOption) + " with " + Vadu::ToUtf8(kTargetOption) +
          " also gives a Windows program's file properties the ProductName and CompanyName",
      String("    of the resources' oem_info.xml; ") + Vadu::ToUtf8(kReplaceOption) +
          " replaces the resources the target carries instead of adding to them.",
      String("    ") + Vadu::ToUtf8(kJsonOption) + " makes " + Vadu::ToUtf8(kCheckOption) +
          " and " + Vadu::ToUtf8(kListOption) + " print one JSON document.",
      String("    ") + Vadu::ToUtf8(kGetXmlOption) + " and " + Vadu::ToUtf8(kUnpackOption) +
          " also take " + outDir + " <OUTPUT_DIR_PATH> (default: the utility's folder;",
      String("    the current folder for an installed program)."),
      String(
          "    -help, --help, -h or /? prints this text; -version, --version or -V the versions."),
      empty,
  };
}

std::vector<String> UsageLines() {
  const String program = Vadu::ToUtf8(Vadu::GetFileName(Vadu::GetModulePath()));
  std::vector<String> lines = UsageLines(program, BuildVersionText());
  Append(lines, LaterUsageLines(program));
  return lines;
}

void PrintUsage() {
  for (const String& line : UsageLines()) {
    std::fwrite(line.CStr(), 1, line.Length(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

}  // namespace Zentu
