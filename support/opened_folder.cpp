#include "support/opened_folder.h"

#include <exception>

#include "support/private_folder.h"

namespace Vadu {

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
