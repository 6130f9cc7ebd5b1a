#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace iconchanger::testing {
namespace fs = std::filesystem;

namespace {

void AppendU32BE(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void AppendPngChunk(Bytes& png, const char* type, const Bytes& data) {
  AppendU32BE(png, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  AppendU32BE(png, Crc32(typed));
}

// zlib stream made of stored (uncompressed) deflate blocks.
Bytes StoredZlib(const Bytes& raw) {
  Bytes z{0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - pos, 65535);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    AppendU16(z, static_cast<uint16_t>(n));
    AppendU16(z, static_cast<uint16_t>(~n));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  AppendU32BE(z, (b << 16) | a);
  return z;
}

}  // namespace

Bytes MakeDibImage(int width, int height, int bit_count, uint8_t seed) {
  Bytes dib;
  AppendU32(dib, 40);
  AppendU32(dib, static_cast<uint32_t>(width));
  AppendU32(dib, static_cast<uint32_t>(height * 2));
  AppendU16(dib, 1);
  AppendU16(dib, static_cast<uint16_t>(bit_count));
  for (int i = 0; i < 6; ++i) AppendU32(dib, 0);  // No compression, default sizes/colors.
  const int palette = bit_count <= 8 ? 1 << bit_count : 0;
  for (int i = 0; i < palette; ++i) AppendU32(dib, (i * 0x010203u + seed) & 0xffffff);
  const int xor_row = (width * bit_count + 31) / 32 * 4;
  const int and_row = (width + 31) / 32 * 4;
  for (int i = 0; i < xor_row * height; ++i) dib.push_back(static_cast<uint8_t>(i * 7 + seed));
  for (int i = 0; i < and_row * height; ++i)
    dib.push_back(static_cast<uint8_t>((i & 1) ? 0 : 0xf0));
  return dib;
}

Bytes MakePngImage(int width, int height, uint8_t seed) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes ihdr;
  AppendU32BE(ihdr, static_cast<uint32_t>(width));
  AppendU32BE(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace.
  AppendPngChunk(png, "IHDR", ihdr);
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // Filter type: none.
    for (int x = 0; x < width * 4; ++x) raw.push_back(static_cast<uint8_t>(x * 3 + y * 5 + seed));
  }
  AppendPngChunk(png, "IDAT", StoredZlib(raw));
  AppendPngChunk(png, "IEND", {});
  return png;
}

IconImage DibIcon(int size, int bit_count, uint8_t seed) {
  IconImage image;
  image.width = image.height = static_cast<uint8_t>(size);
  image.color_count = bit_count < 8 ? static_cast<uint8_t>(1 << bit_count) : 0;
  image.planes = 1;
  image.bit_count = static_cast<uint16_t>(bit_count);
  image.data = MakeDibImage(size, size, bit_count, seed);
  return image;
}

IconImage PngIcon(int size, uint8_t seed) {
  IconImage image;
  image.width = image.height = static_cast<uint8_t>(size);  // 256 wraps to 0, as in .ico files.
  image.planes = 1;
  image.bit_count = 32;
  image.is_png = true;
  image.data = MakePngImage(size, size, seed);
  return image;
}

Bytes WriteIco(const std::vector<IconImage>& images) {
  Bytes out;
  AppendU16(out, 0);
  AppendU16(out, 1);
  AppendU16(out, static_cast<uint16_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const IconImage& image : images) {
    out.insert(out.end(), {image.width, image.height, image.color_count, image.reserved});
    AppendU16(out, image.planes);
    AppendU16(out, image.bit_count);
    AppendU32(out, static_cast<uint32_t>(image.data.size()));
    AppendU32(out, offset);
    offset += static_cast<uint32_t>(image.data.size());
  }
  for (const IconImage& image : images) out.insert(out.end(), image.data.begin(), image.data.end());
  return out;
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, ByteSpan bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  std::random_device random;
  do {
    path_ = fs::temp_directory_path() / ("iconchanger-test-" + std::to_string(random()));
  } while (fs::exists(path_));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::optional<fs::path> Fixture(const std::string& name) {
  const fs::path path = fs::path(ICONCHANGER_FIXTURE_DIR) / name;
  if (!fs::exists(path)) return std::nullopt;
  return path;
}

std::string Quote(const std::string& arg) {
#ifdef _WIN32
  // As the C runtime splits a command line: a quote inside is escaped with a backslash, and so
  // are the backslashes before it or before the closing quote.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
#else
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

std::string Quote(const fs::path& path) { return Quote(path.string()); }

CommandResult RunCommand(const std::string& command, const fs::path& scratch) {
  const fs::path out = scratch / "command.out";
  const fs::path err = scratch / "command.err";
  std::string line = command + " >" + Quote(out) + " 2>" + Quote(err);
#ifdef _WIN32
  line = "\"" + line + "\"";  // cmd.exe strips one pair of outer quotes.
#endif
  CommandResult result;
#ifdef _WIN32
  // The command is UTF-8; the wide call passes it on exactly rather than in the ANSI code page.
  const std::u8string utf8(line.begin(), line.end());
  result.status = _wsystem(fs::path(utf8).wstring().c_str());
  result.exit_code = result.status;
#else
  result.status = std::system(line.c_str());
  result.exit_code = WIFEXITED(result.status) ? WEXITSTATUS(result.status) : -1;
#endif
  const Bytes out_bytes = ReadBytes(out), err_bytes = ReadBytes(err);
  result.out.assign(out_bytes.begin(), out_bytes.end());
  result.err.assign(err_bytes.begin(), err_bytes.end());
  std::error_code ignored;
  fs::remove(out, ignored);
  fs::remove(err, ignored);
  return result;
}

std::string ToolCommand() {
  if (const char* tool = std::getenv("ICONCHANGER_TOOL"); tool && *tool) return tool;
  return Quote(std::string(ICONCHANGER_TOOL));
}

ResourceDirectory ReadResources(const PeImage& image) {
  const DataDirectory dir = image.directory(kResourceDirectoryIndex);
  if (dir.rva == 0) return {};
  return ParseResourceTree(
      dir.rva,
      [&](uint32_t rva, uint32_t size, Bytes& out) { return image.ReadRva(rva, size, out); },
      image.bytes().size());
}

const ResourceEntry* FindLeaf(const ResourceDirectory& root, uint32_t type,
                              const ResourceName& name, uint32_t language) {
  for (const ResourceEntry& t : root.entries) {
    if (t.name != ResourceName::Id(type) || !t.is_directory()) continue;
    for (const ResourceEntry& n : t.directory->entries) {
      if (n.name != name || !n.is_directory()) continue;
      for (const ResourceEntry& l : n.directory->entries) {
        if (l.name == ResourceName::Id(language) && !l.is_directory()) return &l;
      }
    }
  }
  return nullptr;
}

}  // namespace iconchanger::testing
