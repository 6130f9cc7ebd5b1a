#include "oem/oem_value_text.h"

namespace Zentu {

Vadu::String WideTextValue(const Vadu::WString& value) { return Vadu::ToUtf8(value); }

Vadu::String WebAddressValue(const Vadu::Url& value) { return value.ToString(); }

Vadu::String YesNoValue(bool value) { return value ? "true" : "false"; }

Vadu::String NumberValue(int32_t value) { return Vadu::String::FromNumber(value); }

Vadu::String Number64Value(int64_t value) { return Vadu::String::FromNumber(value); }

Vadu::String NameListValue(const OemNameList& value) {
  Vadu::String text;
  bool first = true;
  for (const Vadu::String& name : value) {
    if (!first) text += ',';
    text += name;
    first = false;
  }
  return text;
}

Vadu::Url WebAddress(const Vadu::String& text) {
  Vadu::Url address;
  address.Parse(text);
  return address;
}

}  // namespace Zentu
