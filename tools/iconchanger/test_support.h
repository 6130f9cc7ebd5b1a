// Helpers shared by the iconchanger tests: generated icon images and .ico files, fixture
// executables, temporary folders and running external programs.
#ifndef ZENTU_TOOLS_ICONCHANGER_TEST_SUPPORT_H_
#define ZENTU_TOOLS_ICONCHANGER_TEST_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "byte_io.h"
#include "ico_file.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace iconchanger::testing {

// A bottom-up BI_RGB icon bitmap (header, color table, XOR and AND masks) with a pattern that
// depends on `seed`.
Bytes MakeDibImage(int width, int height, int bit_count, uint8_t seed);
// A complete RGBA PNG file (stored zlib stream, correct CRCs and Adler-32).
Bytes MakePngImage(int width, int height, uint8_t seed);

// An IconImage with directory fields matching its bitmap or PNG.
IconImage DibIcon(int size, int bit_count, uint8_t seed);
IconImage PngIcon(int size, uint8_t seed);

// Lays out an .ico file: directory, then the images in order.
Bytes WriteIco(const std::vector<IconImage>& images);

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, ByteSpan bytes);

// A fresh folder under the system temporary folder, removed again on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Path of a fixture executable built by CMake, or nullopt when it was not built.
std::optional<std::filesystem::path> Fixture(const std::string& name);

struct CommandResult {
  int status = -1;     // 0 on success.
  int exit_code = -1;  // The program's exit status; -1 when it did not exit normally.
  std::string out;
  std::string err;
};
// Runs `command` (UTF-8) through the shell, capturing both output streams via files in `scratch`.
CommandResult RunCommand(const std::string& command, const std::filesystem::path& scratch);
// Quotes one argument for the shell.
std::string Quote(const std::string& arg);
std::string Quote(const std::filesystem::path& path);
// The command prefix that runs the tool under test: $ICONCHANGER_TOOL when set (for example
// "wine /path/iconchanger.exe" to test a Windows build), else the tool built beside the tests.
std::string ToolCommand();

// The resource tree of an executable image (empty when it has none).
ResourceDirectory ReadResources(const PeImage& image);
// The leaf at type/name/language, or nullptr.
const ResourceEntry* FindLeaf(const ResourceDirectory& root, uint32_t type,
                              const ResourceName& name, uint32_t language);

}  // namespace iconchanger::testing

#endif  // ZENTU_TOOLS_ICONCHANGER_TEST_SUPPORT_H_
