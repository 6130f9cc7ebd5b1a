// The properties step of the add-resources command (-properties): a Windows program's version
// information gets the reseller's names from the resources' "oem_info.xml", so that its file
// properties no longer show the stock product and company. Its "ProductName" becomes the
// program's ProductName and FileDescription, its "CompanyName" the program's CompanyName; every
// language of the version information is changed, and nothing else in it.
#pragma once

#include <vector>

#include "src/steps/pe_tool.h"
#include "src/steps/rebrand_job.h"
#include "support/settings_map.h"
#include "support/string_base.h"
#include "version_info.h"

namespace Zentu {

// The version strings the resources' "oem_info.xml" asks for: those of its keys that are present
// and non-empty. Empty without the document.
std::vector<iconchanger::VersionString> PropertiesFromResources(const Vadu::SettingsMap& resources);

// For a Windows program: sets the job's PropertiesFromResources in its working path's version
// information with the PE tool. The file is first rewritten without its signature and old
// resource block (the resources are appended again afterwards). Prints "Success add properties";
// "Properties not found" when the program has no version information to change (nothing is added;
// not an error); "ERROR: can't replace properties" with exit code 1 when it could not be done.
// Nothing happens for other kinds or when the document names neither product nor company. False
// only after that error: the command then stops and the target stays as it was.
bool ApplyProperties(const RebrandJob& job);

// Runs the tools in order on `executable` until one has set `strings` (checked by reading them
// back: a tool's word alone is not trusted) or has shown that there is no version information to
// set them in. kFailed when every tool failed.
PeToolResult RunPropertiesTools(const std::vector<PeTool>& tools, const Vadu::WString& executable,
                                const std::vector<iconchanger::VersionString>& strings);

}  // namespace Zentu
