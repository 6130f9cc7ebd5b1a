#include "support/test_util.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace Vadu::Testing {

TempFolder::TempFolder() {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate =
        base / ("zentu-test-" + std::to_string(random()) + "-" + std::to_string(serial++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& name) const {
  auto u8 = (path_ / std::filesystem::u8path(name)).u8string();
  return std::string(u8.begin(), u8.end());
}

WString Wide(const std::filesystem::path& path) {
  auto u16 = path.u16string();
  return WString(u16.data(), static_cast<uint32_t>(u16.size()));
}

WString Wide(const std::string& utf8) { return FromUtf8(String(utf8)); }

std::string Std(const String& bytes) { return std::string(bytes.CStr(), bytes.Length()); }

std::string Utf8(const WString& text) { return Std(ToUtf8(text)); }

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

String Bytes(const std::string& bytes) {
  return String(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace Vadu::Testing
