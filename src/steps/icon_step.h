// The icon step of the add-resources command: applies the user's icon file to the job's working
// path according to the target kind, and adds the icon file to the job's resources so that it
// travels with the other resources.
//
//   Windows program, icon ".ico":     the icon tool replaces the program's icon; adds "icon.ico"
//   application bundle, icon ".icns": the bundle's icon file is replaced; adds "icon.icns"
//   application file, icon ".ico":    nothing is changed; adds "icon.ico"
//   anything else:                    nothing
//
// Icon names are compared without regard to case. A failure stops the command: the target is
// then left as it was.
#pragma once

#include <vector>

#include "src/steps/pe_tool.h"
#include "src/steps/rebrand_job.h"
#include "support/string_base.h"

namespace Zentu {

// Applies `icon` to the job's working path by its kind. For a Windows program, the file is
// first rewritten atomically without its signature and its old resource block (the resources are
// appended again afterwards), then the icon tool runs; when either fails, "ERROR: can't replace
// icon\n" is printed as a line, the exit code becomes 1 and the result is false. The icon file's
// bytes are added to the job's resources in every accepted case. True when nothing failed (also
// when the icon does not apply to the kind).
bool ApplyIcon(RebrandJob& job, const Vadu::WString& icon);

// Runs the PE tools on `executable` with `icon`, each path as one argument, in order until one
// succeeds, which prints "Success add icon"; when the last one fails, "Cannot add icon" is
// printed. A tool succeeds when it exits with 0 and the executable then carries the icon's images
// as its application icon; a tool that reports success without the change counts as failed. A
// tool that cannot be written ends the attempt silently. True when a tool succeeded.
bool RunIconTools(const std::vector<PeTool>& tools, const Vadu::WString& executable,
                  const Vadu::WString& icon);

// RunIconTools with the carried tools.
bool RunIconTool(const Vadu::WString& executable, const Vadu::WString& icon);

}  // namespace Zentu
