// The -properties option read back by Windows itself: what Explorer's Details tab shows comes
// from GetFileVersionInfoW and VerQueryValueW.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;

// The value of one string of the program's version information in each translation it lists, as
// "<table>/<key>=<value>"; empty when the program has none.
std::vector<std::wstring> VersionStrings(const fs::path& program, const wchar_t* key) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  std::vector<unsigned char> info(size);
  std::vector<std::wstring> values;
  if (size == 0 || !GetFileVersionInfoW(program.c_str(), 0, size, info.data())) return values;
  const WORD* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(const_cast<WORD**>(&translations)), &length))
    return values;
  for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
    wchar_t table[16];
    std::swprintf(table, 16, L"%04x%04x", translations[i], translations[i + 1]);
    const std::wstring path = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + key;
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars))
      values.push_back(std::wstring(table) + L"/" + key + L"=" + value);
  }
  return values;
}

using PropertiesOnWindows = Testing::CommandTest;

TEST_F(PropertiesOnWindows, WindowsReadsTheNewNamesInEveryTranslation) {
  const fs::path target = CopyFixture("sample_app64.exe", "app.exe");
  ASSERT_EQ(
      VersionStrings(target, L"ProductName"),
      (std::vector<std::wstring>{L"040904b0/ProductName=Zentu", L"040704b0/ProductName=Zentu"}));
  const fs::path resources = MakeResources(
      {{"oem_info.xml",
        "<?xml version=\"1.0\"?><vendormark><oem><ProductName>Smith &amp; Sons &quot;Vision&quot; "
        "\xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9 \xF0\x9F\x8E\xA5</ProductName>"
        "<CompanyName>S\xC3\xB6hne GmbH</CompanyName></oem></vendormark>"}});

  const Testing::UtilityRun run =
      Run("-resource " + Arg(resources) + " -target " + Arg(target) + " -properties");
  EXPECT_EQ(run.exitCode, 0) << run.output;

  const std::wstring product = L"Smith & Sons \"Vision\" \u00DCn\u00EFc\u00F8d\u00E9 \U0001F3A5";
  for (const wchar_t* key : {L"ProductName", L"FileDescription"})
    EXPECT_EQ(VersionStrings(target, key),
              (std::vector<std::wstring>{std::wstring(L"040904b0/") + key + L"=" + product,
                                         std::wstring(L"040704b0/") + key + L"=" + product}));
  EXPECT_EQ(VersionStrings(target, L"CompanyName"),
            (std::vector<std::wstring>{L"040904b0/CompanyName=S\u00F6hne GmbH",
                                       L"040704b0/CompanyName=S\u00F6hne GmbH"}));
  EXPECT_EQ(VersionStrings(target, L"LegalCopyright"),
            std::vector<std::wstring>{L"040904b0/LegalCopyright=(c) Zentu Systems"});
}

}  // namespace
}  // namespace Zentu
