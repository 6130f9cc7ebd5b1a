// Parses arbitrary bytes as a web address. The canonical text must parse back to itself, the
// normalised form must be that text or empty, and the query encoding must round-trip the bytes.
#include <cstdint>
#include <cstdlib>

#include "support/query_encoding.h"
#include "support/url.h"

using Vadu::String;
using Vadu::Url;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= String::npos / 3) return 0;
  String text(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));

  Url url;
  url.Parse(text);
  String once = url.ToString();
  if (once.IsEmpty() != url.host.IsEmpty()) std::abort();
  Url again;
  again.Parse(once);
  if (!(again.ToString() == once)) std::abort();

  String normalised = Vadu::NormalizeWebAddress(text);
  if (!(normalised == (text.StartsWith("http") ? once : String()))) std::abort();

  String encoded = Vadu::EncodeQueryComponent(text);
  if (encoded.Length() > 3 * text.Length()) std::abort();
  if (!(Vadu::DecodeQueryComponent(encoded) == text)) std::abort();
  return 0;
}
