#include "src/dispatch.h"

#include "src/commands/add_resources.h"
#include "src/commands/check_command.h"
#include "src/commands/list_command.h"
#include "src/commands/package_command.h"
#include "src/commands/template_command.h"
#include "src/commands/unpack_command.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/option_names.h"
#include "src/usage.h"
#include "src/version.h"
#include "support/log.h"

namespace Zentu {

std::vector<Vadu::OptionDefinition> FrontEndOptionDefinitions() {
  return {
      {kResourceOption, u"Path to directory with resources", true},
      {kTargetOption, u"Path to Zentu executable file", true},
      {kIconOption,
       u"Path to icon file (*.ico for Windows/Linux and *.icns for MacOS). Icon file contains a "
       u"group of icons on the size of 128x128, 64x64, 48x48, 32x32, 24x24, 16x16",
       true},
      {kPackResourceOption, u"Path to directory with resources", true},
      {kOutDirOption, u"Path to directory where will write result (optional)", true},
      {kGetXmlOption, u"Create XML file with OEM Information", false},
      {kUnpackOption, u"Unpack resources from executable path", true},
      {kListOption, u"List the resources a file carries", true},
      {kCheckOption, u"Check a resource folder before adding it", true},
      {kVersionOption, u"Print the versions of the utility and of the 7-Zip it carries", false},
      {kPropertiesOption,
       u"Also give a Windows program's file properties the product and company names of "
       u"oem_info.xml",
       false},
      {kHelpOptions[0], u"Print the usage", false},
      {kHelpOptions[1], u"Print the usage", false},
      {kHelpOptions[2], u"Print the usage", false},
      {kHelpOptions[3], u"Print the usage", false},
  };
}

namespace {

bool AsksForHelp(const Vadu::CommandLineOptions& options) {
  for (const char16_t* name : kHelpOptions)
    if (options.Values().count(name)) return true;
  return false;
}

}  // namespace

void DispatchCommand(const Vadu::CommandLineOptions& options) {
  using Vadu::WString;
  if (AsksForHelp(options)) {
    PrintUsage();
  } else if (options.Values().count(kVersionOption)) {
    PrintVersion();
  } else if (options.Values().count(kCheckOption)) {
    CheckResources(options.GetOptionValue(kCheckOption));
  } else if (options.Values().count(kListOption)) {
    ListResources(options.GetOptionValue(kListOption));
  } else if (options.HasOption(kUnpackOption)) {
    UnpackResources(options);
  } else if (options.HasOption(kGetXmlOption)) {
    RunTemplateCommand(options);
  } else if ((options.HasOption(kResourceOption) || options.HasOption(kIconOption)) &&
             options.HasOption(kTargetOption)) {
    const WString resources = options.GetOptionValue(kResourceOption);
    const WString icon = options.GetOptionValue(kIconOption);
    const WString target = options.GetOptionValue(kTargetOption);
    AddResources(target, icon, resources,
                 options.HasOption(kPropertiesOption) ? Properties::kBrand : Properties::kKeep);
  } else if (options.HasOption(kPackResourceOption)) {
    PackResources(options);
  } else {
    Vadu::LogRecord(Vadu::LogSource(Vadu::LogWarning, kFrontEndLogTag),
                    "Absent or unknown command line parameter(s)\n");
    PrintUsage();
    SetExitCode(kExitNoCommand);
  }
}

}  // namespace Zentu
