// Whether this process can make new files in a folder, found by trying.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// True when a new entry can be made in the existing folder `folder`: a uniquely named empty
// folder is made there and removed again. False for a missing folder or one this process may not
// write (permissions, a read-only file system); trying is the only answer that holds for root,
// access control lists and read-only mounts alike.
bool CanCreateIn(const WString& folder);

}  // namespace Vadu
