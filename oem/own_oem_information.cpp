#include "oem/own_oem_information.h"

#include "oem/resource_block.h"
#include "support/file_system.h"

namespace Zentu {

Vadu::SettingsMap& OwnResourceMap() {
  static Vadu::SettingsMap map;
  return map;
}

OemDocument& OwnOemDocument() {
  static OemDocument document;
  return document;
}

void LoadOemInformation(const Vadu::WString& path, Vadu::SettingsMap& map, OemDocument& document) {
  map.Clear();
  document.Clear();
  LoadBlock(map, Vadu::ReadWholeFile(path));
  if (map.HasEntries()) document.Load(map.Get(kOemInformationFileName), true);
}

void LoadOwnOemInformation() {
  LoadOemInformation(Vadu::GetModulePath(), OwnResourceMap(), OwnOemDocument());
}

}  // namespace Zentu
