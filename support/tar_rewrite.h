// Rewrites the headers of one tar entry: another name, link name or data size, every other field
// and record kept byte for byte. A changed name takes the form the entry already used (a pax
// "path" record, a GNU long name, or the header's ustar name and prefix); where the new name no
// longer fits the header, a GNU long name (GNU archives) or a pax record (the others) carries it.
// A sparse file in GNU tar's pax form keeps its header and takes the name in its "GNU.sparse.name"
// record. The same holds for link names ("linkpath", GNU long links, the header's link name) and
// for the size (the header, octal or base-256 past 8 GiB, and a pax "size" record where there is
// one). Checksums and the sizes of changed extended headers are computed anew.
#pragma once

#include <cstdint>
#include <optional>

#include "support/string_base.h"

namespace Vadu {

struct TarEntryChange {
  std::optional<String> name;
  std::optional<String> linkName;
  std::optional<uint64_t> size;
};

// `headers` are an entry's header blocks as TarReader hands them over (extended headers with
// their data, the header, sparse extension blocks). The same headers with the change made; nothing
// when they are not such headers.
std::optional<String> RewriteTarHeaders(const String& headers, const TarEntryChange& change);

}  // namespace Vadu
