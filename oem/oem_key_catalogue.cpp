// The setters and the descriptions of the catalogue, both expanded from its table.
#include "oem/oem_key_catalogue.h"

namespace Zentu {

// Each setter stores its key with the table's description, group and hidden flag.
#define OEM_QUALIFIED_IN_(NAME) NAME
#define OEM_QUALIFIED_IN_Sms(NAME) Sms::NAME
#define OEM_QUALIFIED_IN_Email(NAME) Email::NAME
#define OEM_DEFINE_SETTER(GROUP, NAME, KIND, DESCRIPTION, HIDDEN)                                 \
  void OEM_QUALIFIED_IN_##GROUP(Set##NAME)(OemDocument & document, OemKinds::KIND::Param value) { \
    document.Set(DESCRIPTION, OemKinds::KIND::ToText(value), #NAME, #GROUP, Vadu::String(),       \
                 HIDDEN);                                                                         \
  }
#define OEM_KEY(GROUP, NAME, KIND, DESCRIPTION, DEFAULT) \
  OEM_DEFINE_SETTER(GROUP, NAME, KIND, DESCRIPTION, false)
#define OEM_HIDDEN_KEY(GROUP, NAME, KIND, DESCRIPTION, DEFAULT) \
  OEM_DEFINE_SETTER(GROUP, NAME, KIND, DESCRIPTION, true)
#include "oem/oem_keys.def"
#undef OEM_DEFINE_SETTER

namespace {

std::vector<OemKeyInfo> ReadTable() {
#define OEM_KEY(GROUP, NAME, KIND, DESCRIPTION, DEFAULT) \
  {#NAME, #GROUP, OemKinds::KIND::kKind, DESCRIPTION, OemKinds::KIND::ToText(DEFAULT), false},
#define OEM_HIDDEN_KEY(GROUP, NAME, KIND, DESCRIPTION, DEFAULT) \
  {#NAME, #GROUP, OemKinds::KIND::kKind, DESCRIPTION, OemKinds::KIND::ToText(DEFAULT), true},
  return {
#include "oem/oem_keys.def"
  };
}

}  // namespace

const std::vector<OemKeyInfo>& OemKeyCatalogue() {
  static const std::vector<OemKeyInfo> table = ReadTable();
  return table;
}

Vadu::String OemItemKeyOf(const OemKeyInfo& key) {
  const Vadu::String group = key.group;
  return OemDocument::ItemKey(
      key.name, group.IsEmpty() ? std::vector<Vadu::String>() : std::vector<Vadu::String>{group});
}

Vadu::String CompanyName(const OemDocument& document) { return document.Value("CompanyName", ""); }

Vadu::String ProductName(const OemDocument& document) { return document.Value("ProductName", ""); }

Vadu::String VersionUniqueID(const OemDocument& document) {
  return document.Value("VersionUniqueID", "");
}

}  // namespace Zentu
