#include "oem/oem_template.h"

#include "oem/oem_key_catalogue.h"
#include "support/file_system.h"

namespace Zentu {

void FillOemTemplate(OemDocument& document) {
  for (const OemKeyInfo& key : OemKeyCatalogue())
    document.Set(key.description, key.defaultText, key.name, key.group, Vadu::String(), key.hidden);
}

Vadu::String OemTemplateText() {
  OemDocument document;
  FillOemTemplate(document);
  // A round trip through UTF-16, which keeps every byte: the file ends at its first zero byte.
  return Vadu::ToUtf8(Vadu::FromUtf8(document.ToXml()));
}

bool WriteOemTemplate(const Vadu::WString& directory) {
  Vadu::WString path = Vadu::JoinPath(directory, Vadu::FromUtf8(kOemInformationFileName));
  return Vadu::CreateDirectories(directory) && Vadu::ReplaceFileContent(OemTemplateText(), path);
}

}  // namespace Zentu
