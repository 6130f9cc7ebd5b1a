// The run's private working folder. Every run unpacks, stages and repacks archives and disk images
// and writes the tools it carries in a folder of its own under the temporary directory, so that
// runs of several users or several runs at once never share, plant or delete each other's files.
#pragma once

#include "support/string_base.h"

namespace Zentu {

// The run folder, made on first use: "zentu-run-" followed by 16 random hexadecimal digits under
// the temporary directory, created exclusively, owner-only, holding a marker file that shows the
// run is alive. Empty when it cannot be made; every step that needs it then fails and says so.
Vadu::WString RunFolder();

// Removes the run folder with everything in it, if this run made one; a later RunFolder call makes
// a new one. Safe to call again, and from the cleanup that runs when the process is asked to end.
void RemoveRunFolder();

// Removes what killed runs of this user left under the temporary directory: run folders whose
// marker no live process holds (or that never got one and are older than ten minutes), and the
// shared folder "zentuunpacked" of older versions when it is this user's own folder. Folders of
// other users, links and folders in use are never touched.
void RemoveLeftoversOfKilledRuns();

}  // namespace Zentu
