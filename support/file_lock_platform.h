// The primitives each platform gives the portable marker-file code (file_lock.cpp): making a
// marker that MarkerFileHeld sees as held for as long as it stays open, and letting it go.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu::Platform {

// An open marker: a file descriptor or a Windows handle; kNoMarker when there is none.
using MarkerHandle = intptr_t;
constexpr MarkerHandle kNoMarker = -1;

// Creates the marker file at the normalised `path` exclusively, never through a link, and holds
// it open (POSIX: with an advisory lock; Windows: without sharing). kNoMarker when anything exists
// at the path or the marker cannot be made and held (one made but not held is removed again).
MarkerHandle CreateMarker(const WString& path);

// Closes a marker made by CreateMarker: from then on this process no longer holds it.
void CloseMarker(MarkerHandle marker);

}  // namespace Vadu::Platform
