// The commented template of "oem_info.xml": every key of the catalogue with its default value.
#pragma once

#include "oem/oem_document.h"
#include "support/string_base.h"

namespace Zentu {

// Stores every key of the catalogue with its default, then the hidden MainMenuAboutItemEnable.
void FillOemTemplate(OemDocument& document);

// The bytes of the template file.
Vadu::String OemTemplateText();

// Writes the template as "oem_info.xml" into `directory`, replacing any earlier file atomically (a
// symbolic link there is replaced, never written through). False when the file cannot be written;
// an earlier file then stays as it was.
bool WriteOemTemplate(const Vadu::WString& directory);

}  // namespace Zentu
