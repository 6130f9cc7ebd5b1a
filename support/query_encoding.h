// Percent-encoding of URL query components.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// A space becomes "+"; control bytes, bytes above 0x7E and the reserved characters
// $&+,/:;?@=<>#%{}|\^~[]` and the double quote become "%" and two upper-case hexadecimal digits;
// every other byte is copied.
String EncodeQueryComponent(const String& bytes);

// The inverse: "+" becomes a space and "%" with two hexadecimal digits (either case) the byte they
// spell. A "%" without two valid digits after it is copied unchanged.
String DecodeQueryComponent(const String& bytes);

}  // namespace Vadu
