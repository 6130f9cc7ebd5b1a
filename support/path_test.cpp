// The path text operations under both path styles; they touch no file system, so both styles
// are tested on every platform.
#include <gtest/gtest.h>

#include "support/file_system.h"

namespace Vadu {
namespace {

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

std::string Narrow(const WString& text) {
  String utf8 = ToUtf8(text);
  return std::string(utf8.CStr(), utf8.Length());
}

// Compares as UTF-8 so that failures print readable paths.
#define EXPECT_PATH(actual, expected) EXPECT_EQ(Narrow(actual), std::string(expected))

TEST(NormalizePathTest, WindowsRules) {
  EXPECT_PATH(NormalizePath(u"C:/a//b/./c/../d \\", kWin), "C:\\a\\b\\d\\");
  EXPECT_PATH(NormalizePath(u"", kWin), "");
  // Network paths keep their doubled opening, whichever slashes they are written with.
  EXPECT_PATH(NormalizePath(u"//server//share/./x", kWin), "\\\\server\\share\\x");
  EXPECT_PATH(NormalizePath(u"\\\\\\server\\x", kWin), "\\\\server\\x");
  // Separator runs and "." components anywhere.
  EXPECT_PATH(NormalizePath(u"a\\\\\\b\\.\\.\\.\\c\\\\", kWin), "a\\b\\c\\");
  EXPECT_PATH(NormalizePath(u"C:\\dir \\sub  \\file ", kWin), "C:\\dir\\sub\\file ");
}

TEST(NormalizePathTest, WindowsParentComponents) {
  EXPECT_PATH(NormalizePath(u"C:\\a\\b\\..\\c", kWin), "C:\\a\\c");
  EXPECT_PATH(NormalizePath(u"\\a\\..\\c", kWin), "\\c");
  EXPECT_PATH(NormalizePath(u"\\\\server\\share\\..\\other", kWin), "\\\\server\\other");
  // A trailing ".." without a separator after it stays.
  EXPECT_PATH(NormalizePath(u"C:\\a\\b\\..", kWin), "C:\\a\\b\\..");
  // Relative paths: a leading component can be climbed over; leading ".." and "." stay.
  EXPECT_PATH(NormalizePath(u"a\\..\\b", kWin), "b");
  EXPECT_PATH(NormalizePath(u"a\\..\\..\\b", kWin), "..\\b");
  EXPECT_PATH(NormalizePath(u"..\\..\\x\\..\\y", kWin), "..\\..\\y");
  EXPECT_PATH(NormalizePath(u".\\..\\x", kWin), ".\\..\\x");
  // Climbing above a root empties the path.
  EXPECT_PATH(NormalizePath(u"\\..\\a", kWin), "");
  EXPECT_PATH(NormalizePath(u"C:\\a\\..\\..\\b", kWin), "");
  EXPECT_PATH(NormalizePath(u"\\\\server\\..\\x", kWin), "");
}

TEST(NormalizePathTest, PosixRules) {
  // Spaces at the end of a component are part of its name.
  EXPECT_PATH(NormalizePath(u"/a//b/./c/../d /", kPosix), "/a/b/d /");
  EXPECT_PATH(NormalizePath(u"/", kPosix), "/");
  EXPECT_PATH(NormalizePath(u"//", kPosix), "/");
  // No network paths: a doubled opening collapses.
  EXPECT_PATH(NormalizePath(u"//server/share", kPosix), "/server/share");
  // A backslash is an ordinary character, and so is a drive-like colon.
  EXPECT_PATH(NormalizePath(u"C:\\a\\\\b/./c", kPosix), "C:\\a\\\\b/c");
  EXPECT_PATH(NormalizePath(u"a\\b/../c", kPosix), "c");
  EXPECT_PATH(NormalizePath(u"C:/../x", kPosix), "x");
  EXPECT_PATH(NormalizePath(u"../../x/../y", kPosix), "../../y");
  // Above the root.
  EXPECT_PATH(NormalizePath(u"/../x", kPosix), "");
}

TEST(JoinPathTest, BothStyles) {
  EXPECT_PATH(JoinPath(u"C:\\dir\\\\", u"\\file", kWin), "C:\\dir\\file");
  EXPECT_PATH(JoinPath(u"C:/dir", u"sub/file", kWin), "C:\\dir\\sub\\file");
  EXPECT_PATH(JoinPath(u"C:", u"x", kWin), "C:\\x");
  EXPECT_PATH(JoinPath(u"\\\\server", u"share", kWin), "\\\\server\\share");
  EXPECT_PATH(JoinPath(u"\\", u"x", kWin), "\\x");
  EXPECT_PATH(JoinPath(u"C:\\a\\b", u"..\\c", kWin), "C:\\a\\b\\..\\c");
  EXPECT_PATH(JoinPath(u"C:\\a", u"", kWin), "C:\\a\\");

  EXPECT_PATH(JoinPath(u"/", u"x", kPosix), "/x");
  EXPECT_PATH(JoinPath(u"/home/me//", u"/docs/", kPosix), "/home/me/docs/");
  EXPECT_PATH(JoinPath(u"a\\", u"\\b", kPosix), "a\\/\\b");
  EXPECT_PATH(JoinPath(u"/tmp/./w", u"../x", kPosix), "/tmp/w/../x");
}

TEST(JoinPathTest, EmptyOrUnresolvableFirstPart) {
  // No directory keeps the name relative; it never lands at the root.
  EXPECT_PATH(JoinPath(u"", u"file", kPosix), "file");
  EXPECT_PATH(JoinPath(u"", u"a//b", kPosix), "a/b");
  // A first part that climbed above its root gives nothing to work on.
  EXPECT_PATH(JoinPath(u"\\..\\x", u"y", kWin), "");
  EXPECT_PATH(JoinPath(u"/../x", u"y", kPosix), "");
}

TEST(PathPartsTest, DirectoryPart) {
  EXPECT_PATH(GetDirectoryPart(u"file.txt", kWin), "");
  EXPECT_PATH(GetDirectoryPart(u"C:\\a\\b.txt", kWin), "C:\\a\\");
  EXPECT_PATH(GetDirectoryPart(u"C:/a/b.txt", kWin), "C:/a\\");
  EXPECT_PATH(GetDirectoryPart(u"\\a", kWin), "\\");
  // The opening of a network path is never the last separator.
  EXPECT_PATH(GetDirectoryPart(u"\\\\server", kWin), "");
  EXPECT_PATH(GetDirectoryPart(u"\\\\server\\share", kWin), "\\\\server\\");

  EXPECT_PATH(GetDirectoryPart(u"file.txt", kPosix), "");
  EXPECT_PATH(GetDirectoryPart(u"/a", kPosix), "/");
  EXPECT_PATH(GetDirectoryPart(u"a\\b.txt", kPosix), "");
  EXPECT_PATH(GetDirectoryPart(u"x/a\\b.txt", kPosix), "x/");
}

TEST(PathPartsTest, FileNameStemAndExtension) {
  EXPECT_PATH(GetFileName(u"C:\\a/b.txt", kWin), "b.txt");
  EXPECT_PATH(GetFileName(u"name", kWin), "name");
  EXPECT_PATH(GetFileName(u"C:\\a\\", kWin), "");
  EXPECT_PATH(GetFileName(u"/a/b\\c", kPosix), "b\\c");

  EXPECT_PATH(GetFileStem(u"C:\\x.y\\name", kWin), "name");
  EXPECT_PATH(GetFileStem(u"C:\\x.y\\a.tar.gz", kWin), "a.tar");
  EXPECT_PATH(GetFileStem(u"C:/x/.hidden", kWin), "");
  EXPECT_PATH(GetFileStem(u"dir\\a.b", kPosix), "dir\\a");

  EXPECT_PATH(GetExtension(u"C:\\a\\b.EXE", kWin), "EXE");
  EXPECT_PATH(GetExtension(u"file.", kWin), "");
  EXPECT_PATH(GetExtension(u"noext", kWin), "");
  // A "." in a directory is no extension of the file.
  EXPECT_PATH(GetExtension(u"C:\\x.y\\name", kWin), "");
  EXPECT_PATH(GetExtension(u"/x.y/name", kPosix), "");
  EXPECT_PATH(GetExtension(u"a.b\\c", kPosix), "b\\c");
}

TEST(PathPartsTest, AbsolutePaths) {
  EXPECT_TRUE(IsAbsolutePath(u"C:\\x", kWin));
  EXPECT_TRUE(IsAbsolutePath(u"\\x", kWin));
  EXPECT_TRUE(IsAbsolutePath(u"\\\\server\\x", kWin));
  EXPECT_FALSE(IsAbsolutePath(u"x\\y", kWin));
  EXPECT_FALSE(IsAbsolutePath(u"", kWin));
  EXPECT_TRUE(IsAbsolutePath(u"/x", kPosix));
  EXPECT_FALSE(IsAbsolutePath(u"\\x", kPosix));
  EXPECT_FALSE(IsAbsolutePath(u"C:/x", kPosix));
}

TEST(PathPartsTest, ContainmentIgnoresCaseOnlyOnWindows) {
  EXPECT_TRUE(IsPathWithin(u"c:\\a\\sub", u"C:\\A", kWin));
  EXPECT_TRUE(IsPathWithin(u"C:/a/sub/", u"C:\\A\\", kWin));
  EXPECT_TRUE(IsPathWithin(u"C:\\Ä\\x", u"c:\\ä", kWin));
  EXPECT_FALSE(IsPathWithin(u"C:\\ab", u"C:\\a", kWin));
  EXPECT_FALSE(IsPathWithin(u"C:\\a", u"C:\\a\\sub", kWin));
  EXPECT_TRUE(IsPathWithin(u"C:\\a\\b\\..\\c", u"C:\\a", kWin));

  EXPECT_FALSE(IsPathWithin(u"/x/a/sub", u"/x/A", kPosix));
  EXPECT_TRUE(IsPathWithin(u"/x/A/sub", u"/x/A", kPosix));
  EXPECT_FALSE(IsPathWithin(u"/x/Ab", u"/x/A", kPosix));
  EXPECT_FALSE(IsPathWithin(u"/x/A\\b", u"/x/A", kPosix));
  EXPECT_TRUE(IsPathWithin(u"/anything", u"/", kPosix));
}

TEST(PathPartsTest, SeparatorOfEachStyle) {
  EXPECT_EQ(PathSeparator(kWin), u'\\');
  EXPECT_EQ(PathSeparator(kPosix), u'/');
  // The native style is the one the functions use by default.
  EXPECT_EQ(NormalizePath(u"a/b\\c"), NormalizePath(u"a/b\\c", NativePathStyle()));
}

}  // namespace
}  // namespace Vadu
