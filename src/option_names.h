// The names of the command-line options, shared by the parser's dispatch and the usage text.
#pragma once

#include "support/string_base.h"

namespace Zentu {

const Vadu::WString& TargetOption();        // "-target"
const Vadu::WString& GetXmlOption();        // "-getxml"
const Vadu::WString& IconOption();          // "-icon"
const Vadu::WString& ResourceOption();      // "-resource"
const Vadu::WString& PackResourceOption();  // "-packresource"
const Vadu::WString& OutDirOption();        // "-outdir"
const Vadu::WString& UnpackOption();        // "-unpack"

}  // namespace Zentu
