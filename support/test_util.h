// Helpers shared by the tests: private temporary folders and small file utilities.
#pragma once

#include <filesystem>
#include <string>

#include "support/string_base.h"

namespace Vadu::Testing {

// A fresh, empty folder under the system's temporary directory, removed with everything in it
// when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder joined with a relative name, as a generic UTF-8 string.
  std::string operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Wide path text of a file-system path, and of UTF-8 text.
WString Wide(const std::filesystem::path& path);
WString Wide(const std::string& utf8);

// The library's strings as standard ones and back, for expectations: bytes as they are; wide text
// and paths as their UTF-8.
std::string Std(const String& bytes);
String Bytes(const std::string& bytes);
std::string Utf8(const WString& text);
std::string Utf8(const std::filesystem::path& path);

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace Vadu::Testing
