#include "oem/oem_key_kinds.h"

#include <string>

#include "oem/oem_key_catalogue.h"

namespace Zentu {

using Vadu::String;

namespace {

// What checking asks of a value of each kind of the catalogue: wide text and name lists are
// text, both widths of number are whole numbers.
OemValueKind CheckedKind(OemKeyKind kind) {
  switch (kind) {
    case OemKeyKind::kYesNo:
      return OemValueKind::kBoolean;
    case OemKeyKind::kNumber:
    case OemKeyKind::kNumber64:
      return OemValueKind::kNumber;
    case OemKeyKind::kWebAddress:
      return OemValueKind::kAddress;
    case OemKeyKind::kText:
    case OemKeyKind::kWideText:
    case OemKeyKind::kNameList:
      break;
  }
  return OemValueKind::kText;
}

std::map<String, OemValueKind> ReadKinds() {
  std::map<String, OemValueKind> kinds;
  for (const OemKeyInfo& key : OemKeyCatalogue()) kinds[OemItemKeyOf(key)] = CheckedKind(key.kind);
  return kinds;
}

std::string AsciiLower(const String& text) {
  std::string lower(text.CStr(), text.Length());
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsWholeNumber(const String& value) {
  uint32_t start = value[0] == '-' || value[0] == '+' ? 1 : 0;
  if (start == value.Length() || value.Length() - start > 18) return false;
  for (uint32_t k = start; k < value.Length(); ++k)
    if (value[k] < '0' || value[k] > '9') return false;
  return true;
}

bool IsWebAddress(const String& value) {
  const std::string lower = AsciiLower(value);
  const bool web = lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
  if (!web || value.Contains(" ")) return false;
  Vadu::Url address;
  address.Parse(value);
  return !address.host.IsEmpty();
}

}  // namespace

const std::map<String, OemValueKind>& OemKeyKinds() {
  static const std::map<String, OemValueKind> kinds = ReadKinds();
  return kinds;
}

String OemValueKindName(OemValueKind kind) {
  switch (kind) {
    case OemValueKind::kBoolean:
      return "boolean (true or false)";
    case OemValueKind::kNumber:
      return "whole number";
    case OemValueKind::kAddress:
      return "web address (http:// or https://)";
    case OemValueKind::kText:
      break;
  }
  return "text";
}

bool FitsOemValueKind(const String& value, OemValueKind kind) {
  if (value.IsEmpty()) return true;
  switch (kind) {
    case OemValueKind::kBoolean:
      return AsciiLower(value) == "true" || AsciiLower(value) == "false";
    case OemValueKind::kNumber:
      return IsWholeNumber(value);
    case OemValueKind::kAddress:
      return IsWebAddress(value);
    case OemValueKind::kText:
      break;
  }
  return true;
}

}  // namespace Zentu
