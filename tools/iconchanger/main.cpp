// iconchanger <executable> <icon.ico>: replaces the application icon of a Windows executable.
// iconchanger --version-strings <executable> <Key=Value>...: sets strings of its version
// information (the file properties Explorer shows) in every language it has.
//
// Arguments reach the program as whole argv elements (spaces included). On Windows the wide
// entry point is used, so paths and strings are exact UTF-16 rather than the ANSI code page;
// elsewhere they are taken as the system's narrow (UTF-8) strings.
//
// Exit status: 0 done, 1 failure (one "iconchanger: error: ..." line, file untouched), 2 bad usage,
// 3 the executable has no version information to set strings in (file untouched).
#include <cstdio>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "file_io.h"
#include "icon_replacer.h"
#include "version_info.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoVersionInfo = 3;
const std::u16string kVersionStringsOption = u"--version-strings";

// One command-line argument: as a path, and as UTF-16 text (nullopt when it is not valid UTF-8).
struct Argument {
  std::filesystem::path path;
  std::optional<std::u16string> text;
};

int Usage() {
  std::fputs(
      "usage: iconchanger <executable> <icon.ico>\n"
      "       iconchanger --version-strings <executable> <Key=Value>...\n",
      stderr);
  return kExitUsage;
}

int ChangeIcon(const std::filesystem::path& executable, const std::filesystem::path& icon_path) {
  using iconchanger::Error;
  using iconchanger::PathForDisplay;
  try {
    iconchanger::IcoFile icon;
    try {
      icon = iconchanger::ParseIco(iconchanger::ReadWholeFile(icon_path));
    } catch (const Error& e) {
      throw Error(PathForDisplay(icon_path) + ": " + e.what());
    }
    iconchanger::Bytes edited;
    try {
      edited = iconchanger::ChangeExecutableIcon(iconchanger::ReadWholeFile(executable), icon);
    } catch (const Error& e) {
      throw Error(PathForDisplay(executable) + ": " + e.what());
    }
    iconchanger::ReplaceFileAtomically(executable, edited);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "iconchanger: error: %s\n", e.what());
    return kExitFailure;
  }
  return 0;
}

int ChangeVersionStrings(const std::filesystem::path& executable,
                         const std::vector<iconchanger::VersionString>& strings) {
  using iconchanger::Error;
  using iconchanger::PathForDisplay;
  try {
    std::optional<iconchanger::Bytes> edited;
    try {
      edited = iconchanger::ChangeExecutableVersionStrings(iconchanger::ReadWholeFile(executable),
                                                           strings);
    } catch (const Error& e) {
      throw Error(PathForDisplay(executable) + ": " + e.what());
    }
    if (!edited) {
      std::fprintf(stderr, "iconchanger: %s: no version information\n",
                   PathForDisplay(executable).c_str());
      return kExitNoVersionInfo;
    }
    iconchanger::ReplaceFileAtomically(executable, *edited);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "iconchanger: error: %s\n", e.what());
    return kExitFailure;
  }
  return 0;
}

// Splits Key=Value arguments at the first '='; nullopt when one is not of that form.
std::optional<std::vector<iconchanger::VersionString>> ParseAssignments(
    const std::vector<Argument>& args) {
  std::vector<iconchanger::VersionString> strings;
  for (const Argument& arg : args) {
    if (!arg.text) return std::nullopt;
    const size_t equals = arg.text->find(u'=');
    if (equals == 0 || equals == std::u16string::npos) return std::nullopt;
    strings.push_back({arg.text->substr(0, equals), arg.text->substr(equals + 1)});
  }
  return strings;
}

int Run(const std::vector<Argument>& args) {
  if (!args.empty() && args[0].text == kVersionStringsOption) {
    if (args.size() < 3) return Usage();
    const auto strings = ParseAssignments({args.begin() + 2, args.end()});
    if (!strings) return Usage();
    return ChangeVersionStrings(args[1].path, *strings);
  }
  if (args.size() != 2) return Usage();
  return ChangeIcon(args[0].path, args[1].path);
}

#ifndef _WIN32
// How many continuation bytes follow a UTF-8 lead byte; -1 when it cannot start a character.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xc2 && lead < 0xe0) return 1;
  if (lead >= 0xe0 && lead < 0xf0) return 2;
  if (lead >= 0xf0 && lead < 0xf5) return 3;
  return -1;
}

// Decodes strict UTF-8 (no overlong forms, surrogates or values beyond U+10FFFF); nullopt when
// `text` is not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int extra = ContinuationCount(lead);
    if (extra < 0 || text.size() - i <= static_cast<size_t>(extra)) return std::nullopt;
    char32_t code = extra == 0 ? lead : lead & (0x3f >> extra);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3f);
    }
    constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[extra] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000)) {
      return std::nullopt;
    }
    if (code >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xd800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xdc00 + ((code - 0x10000) & 0x3ff)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}
#endif

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<Argument> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back({argv[i], std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))});
  }
  return Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<Argument> args;
  for (int i = 1; i < argc; ++i) args.push_back({argv[i], Utf8ToUtf16(argv[i])});
  return Run(args);
}
#endif
