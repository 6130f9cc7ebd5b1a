// Reads arbitrary bytes as a host file: signature removal, block search, extraction and loading,
// then appends a block and checks that it reads back, and that building it in the host's own
// buffer gives the same bytes and leaves a copy that shares the buffer untouched; the same as an
// Android package.
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "oem/resource_block.h"
#include "support/zlib_codec.h"

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
  // Refused only for a PE header that the block's bytes would complete, or whose security entry
  // points into the program.
  if (appended.IsEmpty()) {
    if (!file.StartsWith("MZ")) std::abort();
  } else {
    // The payload after the host's bytes, an empty stored block in it where a Windows program
    // needs an even length.
    const uint32_t grown = appended.Length() - stripped.Length() - 7 - saved.Length();
    if (appended.Length() < stripped.Length() + saved.Length() + 7 || (grown != 0 && grown != 5))
      std::abort();
    if (Vadu::Inflate(Zentu::ExtractBlock(appended)) != Vadu::Inflate(saved)) std::abort();
    SettingsMap reloaded;
    if (!Zentu::LoadBlock(reloaded, appended) || reloaded.Get("oem_info.xml") != "<OemInfo/>")
      std::abort();
  }

  // As an Android package: the block still ends the file and reads back.
  String android = Zentu::AppendBlock(file, fresh, Zentu::HostFormat::kAndroidPackage);
  if (!android.IsEmpty()) {
    SettingsMap reloaded;
    if (!Zentu::LoadBlock(reloaded, android) || reloaded.Get("oem_info.xml") != "<OemInfo/>")
      std::abort();
  }
  return 0;
}
