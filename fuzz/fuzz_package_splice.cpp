// Builds a package from the input: tar entries of sizes and bytes the input gives, one of them
// the application, compressed by zlib at a level and strategy the input picks (so that stored,
// fixed and dynamic blocks all occur). Then writes it anew with the application's data replaced,
// as branding does, and checks that the result inflates to exactly the archive that compressing
// the whole changed stream would hold, whatever part of it was spliced.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "src/steps/tgz_package.h"
#include "support/file_system.h"
#include "support/gzip_file.h"
#include "support/tar_rewrite.h"
#include "support/tar_writer.h"

using Vadu::String;

namespace {

// Reads the input from the front.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t Take(uint32_t limit) {
    uint32_t value = 0;
    for (int k = 0; k < 3; ++k) value = value << 8 | (at_ < size_ ? data_[at_++] : 0);
    return limit ? value % limit : 0;
  }
  // Bytes that compress well or not at all, as the input says.
  std::string Bytes(uint32_t count) {
    std::string bytes(count, '\0');
    const uint32_t kind = Take(3);
    uint32_t state = Take(0xFFFFFF) | 1;
    for (uint32_t k = 0; k < count; ++k) {
      state = state * 1103515245 + 12345;
      bytes[k] = kind == 0   ? static_cast<char>(state >> 16)
                 : kind == 1 ? static_cast<char>('a' + (k / 7) % 5)
                             : "<camera name=\"x\"/>\n"[k % 19];
    }
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

std::string Entry(const std::string& name, const std::string& data) {
  Vadu::TarWriteEntry entry;
  entry.name = String(name);
  entry.size = data.size();
  return std::string(Vadu::TarHeadersFor(entry).Data(), 512) + data +
         std::string(Vadu::TarPadding(data.size()).Length(), '\0');
}

std::string Gzip(const std::string& tar, int level, int strategy) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, 31, 8, strategy);
  std::string out(deflateBound(&stream, tar.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(tar.data()));
  stream.avail_in = static_cast<uInt>(tar.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/fuzz-splice-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    return std::string(name);
  }();
  return folder;
}

void Write(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  const uint32_t count = input.Take(4) + 1, application = input.Take(count);
  std::vector<std::string> names, contents;
  std::string tar, changed;
  const std::string newData = input.Bytes(input.Take(100000));
  for (uint32_t k = 0; k < count; ++k) {
    const std::string name = k == application ? "zentu.app" : "file" + std::to_string(k);
    const std::string bytes = input.Bytes(input.Take(k == application ? 65536 : 786432));
    tar += Entry(name, bytes);
    changed += Entry(name, k == application ? newData : bytes);
  }
  tar += std::string(1024, '\0');
  changed += std::string(1024, '\0');
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  const std::string package =
      Gzip(tar, static_cast<int>(input.Take(10)), strategies[input.Take(5)]);

  const std::string path = Folder() + "/package.tgz", extract = Folder() + "/extract";
  Write(path, package);
  Vadu::CreateDirectories(Vadu::FromUtf8(String(extract)));
  String failure;
  const std::optional<Zentu::PackageIndex> index =
      Zentu::ReadPackage(Vadu::FromUtf8(String(path)), Vadu::FromUtf8(String(extract)), &failure);
  if (!index || index->candidates.size() != 1) std::abort();
  const Zentu::ApplicationCandidate& candidate = index->candidates[0];
  Write(Vadu::ToUtf8(candidate.extracted).CStr(), newData);
  Vadu::TarEntryChange change;
  change.size = newData.size();
  const std::optional<String> headers = Vadu::RewriteTarHeaders(candidate.stored.headers, change);
  if (!headers) std::abort();
  std::string written;
  if (!Zentu::WritePackage(Vadu::FromUtf8(String(path)), *index,
                           {{&candidate.stored, *headers, candidate.extracted}},
                           [&written](const char* bytes, uint64_t n) {
                             written.append(bytes, n);
                             return true;
                           }))
    std::abort();
  Zentu::RemoveExtracted(*index);
  std::string inflated;
  const Vadu::GzipReading reading =
      Vadu::InflateGzipBytes(String(written), [&inflated](const char* bytes, uint32_t n) {
        inflated.append(bytes, n);
        return true;
      });
  if (!reading.failure.IsEmpty() || inflated != changed) std::abort();
  return 0;
}
