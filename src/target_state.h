// What the add-resources command learns about its target, shared with the icon and bundle steps
// for the rest of the process.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// The kind of the target: ".dmg", ".tgz", ".apk", ".exe", "dir", or empty before detection.
Vadu::WString& TargetKind();
// True when the target kind equals `kind`, ignoring case.
bool TargetKindIs(const Vadu::WString& kind);

// The application's name inside bundles and archives: "zentu" until the OEM information names a
// product.
Vadu::WString& ProductWord();

}  // namespace Zentu
