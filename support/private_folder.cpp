#include "support/private_folder.h"

#include <random>

#include "support/file_system.h"

namespace Vadu {

WString RandomDigits() {
  std::random_device source;
  WString digits;
  for (int i = 0; i < 4; ++i) {
    const uint32_t value = source();
    for (int shift = 12; shift >= 0; shift -= 4)
      digits += u"0123456789abcdef"[(value >> shift) & 15];
  }
  return digits;
}

namespace {

// Makes the folder under a random name, exclusively.
WString CreateFolder(const WString& parent, const WString& prefix, bool ownerOnly) {
  if (parent.IsEmpty()) return WString();
  try {
    // A clash with an existing name only means another try.
    for (int attempt = 0; attempt < 16; ++attempt) {
      const WString path = JoinPath(parent, prefix + RandomDigits());
      if (path.IsEmpty()) return WString();
      if (Platform::MakeNewDirectory(path, ownerOnly)) return path;
      if (!DirectoryExists(path) && !FileExists(path) && !IsSymbolicLink(path))
        return WString();  // not a clash: the parent refuses
    }
  } catch (const std::exception&) {
    // No source of randomness.
  }
  return WString();
}

}  // namespace

WString CreatePrivateFolder(const WString& parent, const WString& prefix) {
  return CreateFolder(parent, prefix, /*ownerOnly=*/true);
}

WString CreateNewFolder(const WString& parent, const WString& prefix) {
  return CreateFolder(parent, prefix, /*ownerOnly=*/false);
}

}  // namespace Vadu
