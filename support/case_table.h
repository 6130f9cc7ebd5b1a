// The simple one-to-one case pairs of Unicode from Basic Latin to the fullwidth Latin letters.
#pragma once

#include <cstddef>

namespace Vadu {

struct CaseRow {
  char16_t first;
  char16_t second;
  // 1: `first` is the upper-case form of `second`; 0: `first` is the lower-case form.
  char16_t kind;
};

// Rows in lookup order: the first row naming a character in either column decides its case.
extern const CaseRow kCaseTable[];
extern const size_t kCaseTableSize;

}  // namespace Vadu
