// The catalogue of OEM information keys, one table (oem_keys.def) from which come one typed setter
// per key, which stores the key with its fixed comment, group and value kind into an OemDocument,
// the template's defaults and the kinds that checking uses. A second call of a setter only
// replaces the key's value. The keys of the SMS and e-mail notification presets sit in the groups
// Sms and Email.
#pragma once

#include <cstdint>
#include <vector>

#include "oem/oem_document.h"
#include "oem/oem_value_text.h"
#include "support/string_base.h"
#include "support/url.h"

namespace Zentu {

// The kinds of value a key takes.
enum class OemKeyKind { kText, kWideText, kWebAddress, kYesNo, kNumber, kNumber64, kNameList };

// Per kind of the table: the type its setter takes and how a value becomes the element's text.
namespace OemKinds {
struct Text {
  using Param = const Vadu::String&;
  static constexpr OemKeyKind kKind = OemKeyKind::kText;
  static Vadu::String ToText(Param value) { return value; }
};
struct WideText {
  using Param = const Vadu::WString&;
  static constexpr OemKeyKind kKind = OemKeyKind::kWideText;
  static Vadu::String ToText(Param value) { return WideTextValue(value); }
};
struct WebAddress {
  using Param = const Vadu::Url&;
  static constexpr OemKeyKind kKind = OemKeyKind::kWebAddress;
  static Vadu::String ToText(Param value) { return WebAddressValue(value); }
  // The canonical form of an address given as text, as the table writes defaults.
  static Vadu::String ToText(const char* text) { return WebAddressValue(Zentu::WebAddress(text)); }
};
struct YesNo {
  using Param = bool;
  static constexpr OemKeyKind kKind = OemKeyKind::kYesNo;
  static Vadu::String ToText(Param value) { return YesNoValue(value); }
  // Text would silently become true.
  static Vadu::String ToText(const char*) = delete;
};
struct Number {
  using Param = int32_t;
  static constexpr OemKeyKind kKind = OemKeyKind::kNumber;
  static Vadu::String ToText(Param value) { return NumberValue(value); }
};
struct Number64 {
  using Param = int64_t;
  static constexpr OemKeyKind kKind = OemKeyKind::kNumber64;
  static Vadu::String ToText(Param value) { return Number64Value(value); }
};
struct NameList {
  using Param = const OemNameList&;
  static constexpr OemKeyKind kKind = OemKeyKind::kNameList;
  static Vadu::String ToText(Param value) { return NameListValue(value); }
};
}  // namespace OemKinds

// One key of the catalogue as the table describes it.
struct OemKeyInfo {
  // Element name.
  const char* name;
  // Group element the key sits in; empty for a top-level key.
  const char* group;
  OemKeyKind kind;
  // Comment written above the element.
  const char* description;
  // The default value's text, as the template writes it.
  Vadu::String defaultText;
  // A hidden key stays in the document but is never written.
  bool hidden;
};

// Every key of the catalogue in the order of the file, the hidden MainMenuAboutItemEnable last.
const std::vector<OemKeyInfo>& OemKeyCatalogue();

// The key under which a document stores `key` (OemDocument::ItemKey form).
Vadu::String OemItemKeyOf(const OemKeyInfo& key);

// The setters, void SetName(OemDocument& document, <the kind's Param> value), each in the
// namespace of its group (none, Sms, Email); MainMenuAboutItemEnable stores a hidden key.
#define OEM_SETTER_IN_(NAME, KIND) \
  void Set##NAME(OemDocument& document, OemKinds::KIND::Param value);
#define OEM_SETTER_IN_Sms(NAME, KIND) \
  namespace Sms {                     \
  OEM_SETTER_IN_(NAME, KIND)          \
  }
#define OEM_SETTER_IN_Email(NAME, KIND) \
  namespace Email {                     \
  OEM_SETTER_IN_(NAME, KIND)            \
  }
#define OEM_KEY(GROUP, NAME, KIND, DESCRIPTION, DEFAULT) OEM_SETTER_IN_##GROUP(NAME, KIND)
#include "oem/oem_keys.def"
#undef OEM_SETTER_IN_Email
#undef OEM_SETTER_IN_Sms
#undef OEM_SETTER_IN_

// Values read by the add-resources command, its properties step and the macOS bundle step; empty
// when the key is absent or empty.
Vadu::String CompanyName(const OemDocument& document);
Vadu::String ProductName(const OemDocument& document);
Vadu::String VersionUniqueID(const OemDocument& document);

}  // namespace Zentu
