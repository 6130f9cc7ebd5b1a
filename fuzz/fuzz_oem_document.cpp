// libFuzzer target: loading OEM information documents from arbitrary bytes, then writing them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "oem/oem_document.h"
#include "support/string_base.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 0xFFFFFFFFu) return 0;
  Vadu::String text(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  bool normalise = size > 0 && (data[0] & 1);
  Zentu::OemDocument document;
  bool loaded = document.Load(text, normalise);
  Check(loaded == !document.IsEmpty());

  if (normalise) {
    // A loaded service name is made of at most 35 ASCII letters.
    Vadu::String name = document.Value("ApplicationServiceName", "");
    Check(name.Length() <= 35);
    for (uint32_t i = 0; i < name.Length(); ++i) Check(Vadu::IsAsciiLetter(name[i]));
  }

  for (const auto& [key, item] : document.AllItems()) {
    Check(key == Zentu::OemDocument::ItemKey(item.name, item.path));
    Check(item.description.IsEmpty());
    Check(!item.hidden);
  }

  // Whatever was loaded can be written and read again without failing.
  Vadu::String xml = document.ToXml();
  Check(xml.StartsWith("<?xml version=\"1.0\"?>"));
  Zentu::OemDocument again;
  again.Load(xml, false);
  return 0;
}
