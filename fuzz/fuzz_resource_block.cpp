// Reads arbitrary bytes as a host file: signature removal, block search, extraction and loading,
// then appends a block and checks that it reads back, and that building it in the host's own
// buffer gives the same bytes and leaves a copy that shares the buffer untouched.
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "oem/resource_block.h"

using Vadu::SettingsMap;
using Vadu::String;
using Zentu::BlockLocation;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= String::npos) return 0;
  String file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));

  String unsignedFile = Zentu::RemoveSignature(file);
  if (unsignedFile.Length() > file.Length()) std::abort();
  BlockLocation block = Zentu::FindBlock(unsignedFile);
  if (block.length != 0 && uint64_t{block.offset} + block.length + 7 > unsignedFile.Length())
    std::abort();

  String payload = Zentu::ExtractBlock(file);
  if (payload != unsignedFile.Substring(block.offset, block.length)) std::abort();
  String stripped = Zentu::StripBlock(file);
  if (stripped != unsignedFile.Substring(0, block.length ? block.offset : String::npos))
    std::abort();

  SettingsMap map;
  Zentu::LoadBlock(map, file);
  map.Serialize();

  // A fresh block on top of whatever the file holds replaces it and reads back.
  SettingsMap fresh;
  fresh.Set("oem_info.xml", "<OemInfo/>");
  String appended = Zentu::AppendBlock(file, fresh);
  String saved = fresh.Save();
  String own(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  if (Zentu::AppendBlock(std::move(own), fresh) != appended) std::abort();
  String shared = file;
  if (Zentu::AppendBlock(std::move(shared), fresh) != appended ||
      file != String(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size)))
    std::abort();
  // Refused only for a PE header that the block's bytes would complete.
  if (appended.IsEmpty()) {
    if (!file.StartsWith("MZ")) std::abort();
    return 0;
  }
  if (appended.Length() != stripped.Length() + saved.Length() + 7 ||
      appended.Substring(stripped.Length(), saved.Length()) != saved)
    std::abort();
  if (Zentu::ExtractBlock(appended) != saved) std::abort();
  SettingsMap reloaded;
  if (!Zentu::LoadBlock(reloaded, appended) || reloaded.Get("oem_info.xml") != "<OemInfo/>")
    std::abort();
  return 0;
}
