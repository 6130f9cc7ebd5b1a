// The kind of value each key of the catalogue takes, read from the catalogue's table, for checking
// a hand-edited "oem_info.xml" before branding.
#pragma once

#include <map>

#include "oem/oem_document.h"
#include "support/string_base.h"

namespace Zentu {

enum class OemValueKind {
  kText,
  kBoolean,  // "true" or "false"
  kNumber,   // decimal integer
  kAddress,  // web address (http or https)
};

// Every key of the catalogue (OemDocument::ItemKey form: element name, then group names) with its
// kind: yes/no keys are boolean, 32- and 64-bit number keys are whole numbers, web-address keys
// are web addresses, all others are text.
const std::map<Vadu::String, OemValueKind>& OemKeyKinds();

// The name of a kind as a message shows it: "text", "boolean (true or false)", "whole number",
// "web address (http:// or https://)".
Vadu::String OemValueKindName(OemValueKind kind);

// True when the value fits the kind; an empty value always fits (the program keeps its default).
bool FitsOemValueKind(const Vadu::String& value, OemValueKind kind);

}  // namespace Zentu
