// How a typed value of an OEM key becomes the text of its element. The document keeps every
// value as UTF-8 text; the kind of a key only decides this conversion.
#pragma once

#include <cstdint>
#include <set>

#include "support/string_base.h"
#include "support/url.h"

namespace Zentu {

// The names of a name-list key, kept in ascending byte order.
using OemNameList = std::set<Vadu::String>;

// UTF-8 form of wide text.
Vadu::String WideTextValue(const Vadu::WString& value);
// The canonical text form of a web address; empty for an address without a host (such as the
// default-constructed one).
Vadu::String WebAddressValue(const Vadu::Url& value);
// "true" or "false".
Vadu::String YesNoValue(bool value);
// Decimal text.
Vadu::String NumberValue(int32_t value);
Vadu::String Number64Value(int64_t value);
// The names in ascending order joined with ","; empty for no names.
Vadu::String NameListValue(const OemNameList& value);

// A web address parsed from its text, for writing sample addresses.
Vadu::Url WebAddress(const Vadu::String& text);

}  // namespace Zentu
