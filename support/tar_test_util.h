// What the tests of the tar and gzip units share: the package fixtures the build makes with GNU tar
// and Python's tarfile, inflated, and the entries a TarReader finds in a tar stream.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/file_system.h"
#include "support/gzip_file.h"
#include "support/tar_reader.h"
#include "support/test_util.h"

namespace Vadu::Testing {

// A package fixture: "gnu_package.tgz" or "pax_package.tgz" (tests/fixtures/make_packages.py).
inline std::filesystem::path PackageFixture(const std::string& name) {
  return std::filesystem::u8path(ZENTU_FIXTURES_DIR) / name;
}

// The inflated stream of a gzip file; empty when it cannot be read.
inline std::string InflatedFile(const std::filesystem::path& path) {
  const FileReader file(Wide(path));
  std::string out;
  const GzipReading reading = InflateGzipFile(file, [&out](const char* data, uint32_t count) {
    out.append(data, count);
    return true;
  });
  return reading.failure.IsEmpty() ? out : std::string();
}

// An entry as a TarReader reports it, with its stored bytes (headers, data and padding).
struct ReadEntry {
  TarEntry entry;
  std::string bytes;
};

struct ReadArchive {
  std::vector<ReadEntry> entries;
  std::string after;  // from the first end-of-archive block to the end
  bool ok = false;
  std::string failure;
};

// Reads a tar stream handed over in pieces of `step` bytes.
inline ReadArchive ReadTar(const std::string& tar, size_t step = 1u << 20) {
  ReadArchive archive;
  TarReader reader([&](const TarEntry& entry, const String& headers) {
    archive.entries.push_back({entry, Std(headers)});
    return true;
  });
  bool fed = true;
  for (size_t at = 0; fed && at < tar.size(); at += step)
    fed = reader.Feed(tar.data() + at, std::min(step, tar.size() - at));
  archive.ok = fed && reader.Finish();
  archive.failure = Std(reader.Failure());
  for (ReadEntry& read : archive.entries)
    read.bytes += tar.substr(read.entry.data, read.entry.end - read.entry.data);
  if (reader.EndOfEntries()) archive.after = tar.substr(*reader.EndOfEntries());
  return archive;
}

}  // namespace Vadu::Testing
