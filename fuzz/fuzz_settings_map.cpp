// Reads arbitrary bytes as a raw settings map and as its compressed form; a map that reads back
// must survive serialising and compressing unchanged.
#include <cstdint>
#include <cstdlib>

#include "support/settings_map.h"

using Vadu::SettingsMap;
using Vadu::String;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= String::npos) return 0;
  String bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));

  SettingsMap map;
  bool wellFormed = map.Deserialize(bytes);
  if (!wellFormed && map.HasEntries()) std::abort();
  String raw = map.Serialize();
  if (raw.Length() > bytes.Length()) std::abort();
  if (wellFormed && map.HasEntries()) {
    SettingsMap again;
    if (!again.Deserialize(raw) || again.Serialize() != raw) std::abort();
    SettingsMap loaded(map.Save());
    if (loaded.Serialize() != raw) std::abort();
  }

  // The same bytes as a compressed map.
  SettingsMap compressed;
  compressed.Set("stale", "entry");
  bool loaded = compressed.Load(bytes);
  if (bytes.IsEmpty() != (compressed.Get("stale") == "entry")) std::abort();
  if (!loaded && !bytes.IsEmpty() && compressed.HasEntries()) std::abort();
  return 0;
}
