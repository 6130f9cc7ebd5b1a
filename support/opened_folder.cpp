#include "support/opened_folder.h"

#include <random>

namespace Vadu {

namespace {

// 16 hexadecimal digits from the system's source of randomness.
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

}  // namespace

WString OpenedFolder::MakeNewFolder(const WString& prefix) const {
  try {
    // A clash with an existing name only means another try.
    for (int attempt = 0; attempt < 16 && IsOpen(); ++attempt) {
      const WString name = prefix + RandomDigits();
      if (MakeFolder(name)) return name;
      if (KindOf(name) == Kind::kNothing) return WString();  // not a clash: the folder refuses
    }
  } catch (const std::exception&) {
    // No source of randomness.
  }
  return WString();
}

}  // namespace Vadu
