// The program's own OEM resources: the block embedded in its own executable and the OEM
// information among them, read once at start-up. No command reads them.
#pragma once

#include "oem/oem_document.h"
#include "support/settings_map.h"
#include "support/string_base.h"

namespace Zentu {

// Created empty on first use, destroyed at exit. Separate from the resource map of the commands.
Vadu::SettingsMap& OwnResourceMap();
OemDocument& OwnOemDocument();

// Loads the block of the file at `path` into `map` and, when the map then has entries, its
// "oem_info.xml" entry into `document` (service name normalised). A file that cannot be read or
// carries no block leaves both empty.
void LoadOemInformation(const Vadu::WString& path, Vadu::SettingsMap& map, OemDocument& document);

// LoadOemInformation for the running executable, into OwnResourceMap and OwnOemDocument.
void LoadOwnOemInformation();

}  // namespace Zentu
