#include "oem/resource_map.h"

namespace Zentu {

Vadu::SettingsMap& ResourceMap() {
  static Vadu::SettingsMap map;
  return map;
}

}  // namespace Zentu
