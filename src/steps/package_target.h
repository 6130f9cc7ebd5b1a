// A Linux package (.tgz) as the target of a command, read and written as a stream (tgz_package.h):
// opened for branding with its application extracted into the run folder, written anew with the
// application renamed after the product and carrying its new data, and read for the block its
// application carries.
#pragma once

#include "src/steps/rebrand_job.h"
#include "support/string_base.h"

namespace Zentu {

// What became of opening a package.
enum class PackageOpening {
  kReady,          // the job's working path is the application's extracted copy
  kUnreadable,     // no whole gzip-compressed tar archive, or a sparse application
  kNoApplication,  // no entry may be the application
};

// Reads the package named by the job's target, extracts the entries that may be the application
// into the working folder and chooses the application among them (the one that carries a block,
// the one named after its own block's product, "zentu.app", or the first, in that order). Ready:
// the job's working path names the copy of the application, its kind is an application file, and
// its product word is the application's own name when it carries a block (it keeps its branded
// name unless the new resources name a product). Logs why a package cannot be read.
PackageOpening OpenPackageTarget(RebrandJob& job);

// True when the application may take the product's name in the package; otherwise prints
// "ERROR: can't rename <old> to <new>: the name is taken" (another entry has the name).
bool PackageNameFree(const RebrandJob& job);

// Writes the package anew over the target, once complete: the application under the product's
// name with the working path's content, hard links and relative symbolic links to it following it
// (a symbolic link by an absolute path is named in a "WARNING: " line and left alone), every other
// byte as it was. False, with the reason in `why`, when the package could not be written (the
// target is then as it was).
bool WritePackageTarget(const RebrandJob& job, Vadu::String* why);

// The compressed payload of the block that the package's application carries (empty when it
// carries none), read from the stream without writing anything to disk. False, with the ERROR
// line printed, when the package cannot be read or holds no application.
bool ReadPackageBlock(const Vadu::WString& package, Vadu::String* payload);

}  // namespace Zentu
