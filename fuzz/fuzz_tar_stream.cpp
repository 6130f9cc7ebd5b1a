// Reads arbitrary bytes as a package: as a gzip file whose content is a tar archive, and as a tar
// archive itself, fed in pieces. Checks that every entry lies inside the stream and after the one
// before it, and that the headers of each entry, rewritten with a long new name and a new size,
// read back as one entry of that name and size.
#include <cstdint>
#include <cstdlib>

#include "support/gzip_file.h"
#include "support/tar_reader.h"
#include "support/tar_rewrite.h"

using Vadu::String;
using Vadu::TarEntry;

namespace {

void CheckRewrite(const String& headers) {
  Vadu::TarEntryChange change;
  change.name = String("renamed/") + String(std::string(140, 'n')) + ".app";
  change.linkName = String("target");
  change.size = 12345;
  const std::optional<String> rewritten = Vadu::RewriteTarHeaders(headers, change);
  if (!rewritten) std::abort();  // headers the reader took always come apart again
  int entries = 0;
  Vadu::TarReader back([&](const TarEntry& entry, const String&) {
    if (entry.name != *change.name || (!entry.sparse && entry.type == '0' && entry.size != 12345))
      std::abort();
    ++entries;
    return true;
  });
  if (!back.Feed(rewritten->Data(), rewritten->Length()) || entries != 1) std::abort();
}

void ReadTar(const uint8_t* data, size_t size, size_t step) {
  uint64_t previousEnd = 0;
  Vadu::TarReader reader([&](const TarEntry& entry, const String& headers) {
    if (entry.start < previousEnd || entry.header < entry.start || entry.data < entry.header ||
        entry.end < entry.data + entry.size || headers.Length() != entry.data - entry.start)
      std::abort();
    previousEnd = entry.end;
    if (headers.Length() < Vadu::kMaxTarHeaderGroup / 2) CheckRewrite(headers);
    return true;
  });
  for (size_t at = 0; at < size; at += step)
    if (!reader.Feed(reinterpret_cast<const char*>(data) + at, std::min(step, size - at))) return;
  reader.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= String::npos) return 0;
  ReadTar(data, size, size ? (data[0] % 61) + 1 : 1);
  const String bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  std::string inflated;
  const Vadu::GzipReading gzip =
      Vadu::InflateGzipBytes(bytes, [&](const char* piece, uint32_t count) {
        inflated.append(piece, count);
        return inflated.size() < (256u << 10);
      });
  if (gzip.inflated != inflated.size()) std::abort();
  ReadTar(reinterpret_cast<const uint8_t*>(inflated.data()), inflated.size(), 4096);
  return 0;
}
