#include "src/target_state.h"

namespace Zentu {

Vadu::WString& TargetKind() {
  static Vadu::WString kind;
  return kind;
}

bool TargetKindIs(const Vadu::WString& kind) {
  return TargetKind().Length() == kind.Length() &&
         Vadu::CompareNoCase(TargetKind(), kind, kind.Length());
}

Vadu::WString& ProductWord() {
  static Vadu::WString word(u"zentu");
  return word;
}

}  // namespace Zentu
