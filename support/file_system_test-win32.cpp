// Windows behaviour of the file-system layer: files held open by others, directory links and
// the temporary directory without TEMP.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/file_stream.h"
#include "support/file_system.h"
#include "support/test_util.h"

namespace Vadu {
namespace {

namespace fs = std::filesystem;
using Testing::ReadFileBytes;
using Testing::TempFolder;
using Testing::Wide;
using Testing::WriteFileBytes;

const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

std::vector<std::wstring> NamesIn(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().wstring());
  return names;
}

TEST(WindowsFileTest, ReplacingAFileHeldOpenFailsAndKeepsIt) {
  TempFolder folder;
  WString path = Wide(folder / "busy.exe");
  WriteFileBytes(fs::u8path(folder / "busy.exe"), "original");
  {
    // Open for reading and writing, but not for deletion or renaming over it.
    FileStream holder(path, false);
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_FALSE(ReplaceFileContent("replacement", path));
    EXPECT_FALSE(RemoveFile(path));
  }
  EXPECT_EQ(ReadFileBytes(fs::u8path(folder / "busy.exe")), "original");
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::wstring>{L"busy.exe"});

  EXPECT_TRUE(ReplaceFileContent("replacement", path));
  EXPECT_EQ(ReadFileBytes(fs::u8path(folder / "busy.exe")), "replacement");
}

TEST(WindowsFileTest, DirectoryLinksAreRemovedAsLinks) {
  TempFolder folder;
  fs::path outside = folder.Path() / "outside";
  fs::create_directories(outside);
  WriteFileBytes(outside / "precious.txt", "keep");
  fs::path tree = folder.Path() / "tree";
  fs::create_directories(tree);
  WString link = Wide(tree / "link");
  // Needs developer mode or elevation on Windows; Wine may not make links at all.
  CreateSymbolicLinkW(W(link), outside.wstring().c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  DWORD attributes = GetFileAttributesW(W(link));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "directory links cannot be made here";

  std::vector<FileEntry> entries = ListDirectory(Wide(tree), u"*");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].IsLink());
  EXPECT_TRUE(entries[0].IsDirectory());
  EXPECT_TRUE(IsSymbolicLink(link));

  EXPECT_TRUE(RemoveDirectoryTree(Wide(tree)));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_EQ(ReadFileBytes(outside / "precious.txt"), "keep");
}

TEST(WindowsLocationsTest, TemporaryDirectoryWithAndWithoutTemp) {
  DWORD needed = GetEnvironmentVariableW(L"TEMP", nullptr, 0);
  std::wstring saved(needed, L'\0');
  bool hadTemp = needed > 0 && GetEnvironmentVariableW(L"TEMP", saved.data(), needed) > 0;
  if (hadTemp) saved.resize(needed - 1);

  SetEnvironmentVariableW(L"TEMP", L"D:\\Temp \u00fc\\");
  WString withTemp = GetTempDir();
  SetEnvironmentVariableW(L"TEMP", nullptr);
  WString withoutTemp = GetTempDir();
  SetEnvironmentVariableW(L"TEMP", hadTemp ? saved.c_str() : nullptr);

  EXPECT_EQ(withTemp, WString(u"D:\\Temp \u00fc\\"));
  // The system's temporary directory: a real one, never the root of a drive.
  EXPECT_FALSE(withoutTemp.IsEmpty());
  EXPECT_TRUE(DirectoryExists(withoutTemp));
  EXPECT_FALSE(withoutTemp.EndsWith(u"\\"));
  EXPECT_GT(withoutTemp.Length(), 3u);
}

TEST(WindowsPathTest, ForwardSlashesAndDriveLetters) {
  TempFolder folder;
  std::u8string generic = folder.Path().generic_u8string();
  std::string slashed(generic.begin(), generic.end());
  ASSERT_EQ(slashed[1], ':');
  EXPECT_TRUE(CreateDirectories(Wide(slashed + "//one/./two/")));
  EXPECT_TRUE(fs::is_directory(folder.Path() / "one" / "two"));
  EXPECT_TRUE(WriteWholeFile("x", Wide(slashed + "/one/two/../file.txt"), false));
  EXPECT_EQ(ReadFileBytes(folder.Path() / "one" / "file.txt"), "x");
  // Letter case does not matter to Windows paths.
  std::string upper = slashed;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(FileExists(Wide(upper + "/ONE/FILE.TXT")));
}

}  // namespace
}  // namespace Vadu
