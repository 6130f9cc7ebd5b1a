// Marker files, above each platform's way of making and holding one (file_lock_platform.h): the
// record of the markers this process holds.
#include <map>
#include <mutex>
#include <string>

#include "support/file_lock.h"
#include "support/file_lock_platform.h"
#include "support/file_system.h"

namespace Vadu {

namespace {

// The markers this process holds, by normalised path.
struct Markers {
  std::mutex guard;
  std::map<std::u16string, Platform::MarkerHandle> files;
};

Markers& HeldMarkers() {
  static Markers* markers = new Markers;  // used until the very end: never destroyed
  return *markers;
}

}  // namespace

bool HoldMarkerFile(const WString& path) {
  const WString normal = NormalizePath(path);
  if (normal.IsEmpty()) return false;
  const Platform::MarkerHandle marker = Platform::CreateMarker(normal);
  if (marker == Platform::kNoMarker) return false;
  // Kept open, and so held, until the process ends or lets go of it.
  Markers& markers = HeldMarkers();
  std::lock_guard<std::mutex> lock(markers.guard);
  markers.files[std::u16string(normal.ToView())] = marker;
  return true;
}

bool ReleaseMarkerFile(const WString& path) {
  const WString normal = NormalizePath(path);
  Markers& markers = HeldMarkers();
  std::lock_guard<std::mutex> lock(markers.guard);
  auto found = markers.files.find(std::u16string(normal.ToView()));
  if (found == markers.files.end()) return false;
  Platform::CloseMarker(found->second);
  markers.files.erase(found);
  return true;
}

}  // namespace Vadu
