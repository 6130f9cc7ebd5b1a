#include "file_io.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

namespace iconchanger {
namespace fs = std::filesystem;

std::string PathForDisplay(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

Bytes ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw Error("not a readable regular file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot open for reading");
  Bytes data;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
    data.insert(data.end(), buffer, buffer + in.gcount());
    if (data.size() > 0xffffffffu) throw Error("file too large");
  }
  if (in.bad()) throw Error("read error");
  return data;
}

void ReplaceFileAtomically(const fs::path& path, ByteSpan contents) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(target, ec)) {
    target = fs::canonical(path, ec);
    if (ec) throw Error(PathForDisplay(path) + ": cannot resolve link: " + ec.message());
  }
  const fs::file_status status = fs::status(target, ec);
  if (ec || !fs::is_regular_file(status)) {
    throw Error(PathForDisplay(target) + ": not a regular file");
  }

  std::random_device device;
  std::mt19937_64 random(
      device() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::path temp;
  for (int attempt = 0;; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof(suffix), ".%08llx.tmp",
                  static_cast<unsigned long long>(random() & 0xffffffffu));
    temp = target;
    temp += suffix;
    if (!fs::exists(temp, ec) && !ec) break;
    if (attempt == 100) throw Error(PathForDisplay(target) + ": cannot pick a temporary file name");
  }

  auto fail = [&](const std::string& why) {
    std::error_code ignored;
    fs::permissions(temp, fs::perms::owner_write, fs::perm_options::add, ignored);  // Windows.
    fs::remove(temp, ignored);
    throw Error(PathForDisplay(target) + ": " + why);
  };
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot create a temporary file beside it");
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out) fail("cannot write the temporary file");
  }
  fs::permissions(temp, status.permissions(), fs::perm_options::replace, ec);
  if (ec) fail("cannot copy permissions to the temporary file: " + ec.message());
  fs::rename(temp, target, ec);
  if (ec) fail("cannot replace the file: " + ec.message());
}

}  // namespace iconchanger
