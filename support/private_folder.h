// Folders of this user alone: a new folder made exclusively under a shared parent (the temporary
// directory), where nobody else can plant, read or replace anything.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// Makes a new folder under `parent` named `prefix` followed by 16 random hexadecimal digits:
// created exclusively (never an existing folder, never through a link), readable, writable and
// searchable by its owner only (Windows: the parent's permissions, which for the per-user
// temporary folder are the user's). Returns its full path; empty when none can be made.
WString CreatePrivateFolder(const WString& parent, const WString& prefix);

// The same with the permissions a new folder usually gets (the umask's), for output that others
// may read.
WString CreateNewFolder(const WString& parent, const WString& prefix);

// True when `path` is a folder itself (not a link to one) that belongs to the user this process
// runs as. Windows: true for any folder that is not a reparse point.
bool IsOwnFolder(const WString& path);

// 16 hexadecimal digits from the system's source of randomness, for names nobody can guess.
// Throws std::exception where the system has no such source.
WString RandomDigits();

// Why private folders may not be made under `parent`: empty when they may. POSIX: the folder and
// every folder above it (links resolved) must be neither writable by others without the sticky
// bit nor owned by a user other than the caller and root, or another user could rename a folder
// made there and put one of their own under its name (as OpenSSH's StrictModes judges a user's
// files). Windows: the temporary folder is the user's own; always empty.
String WhyUnsafeParent(const WString& parent);

namespace Platform {
// Makes the folder, with owner-only permissions when `ownerOnly`; false when anything exists at
// the path.
bool MakeNewDirectory(const WString& path, bool ownerOnly);
}  // namespace Platform

}  // namespace Vadu
