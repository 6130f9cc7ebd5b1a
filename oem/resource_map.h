// The process-wide resource map: the resources the running command embeds or extracts.
#pragma once

#include "support/settings_map.h"

namespace Zentu {

// Created empty on first use, destroyed at exit.
Vadu::SettingsMap& ResourceMap();

}  // namespace Zentu
