// iconchanger <executable> <icon.ico>: replaces the application icon of a Windows executable.
//
// Arguments reach the program as whole argv elements (spaces included). On Windows the wide
// entry point is used, so paths are exact UTF-16 rather than the ANSI code page; elsewhere they
// are taken as the system's narrow (UTF-8) strings.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "file_io.h"
#include "icon_replacer.h"

namespace {

int Run(const std::vector<std::filesystem::path>& args) {
  if (args.size() != 2) {
    std::fputs("usage: iconchanger <executable> <icon.ico>\n", stderr);
    return 2;
  }
  using iconchanger::Error;
  using iconchanger::PathForDisplay;
  try {
    iconchanger::IcoFile icon;
    try {
      icon = iconchanger::ParseIco(iconchanger::ReadWholeFile(args[1]));
    } catch (const Error& e) {
      throw Error(PathForDisplay(args[1]) + ": " + e.what());
    }
    iconchanger::Bytes edited;
    try {
      edited = iconchanger::ChangeExecutableIcon(iconchanger::ReadWholeFile(args[0]), icon);
    } catch (const Error& e) {
      throw Error(PathForDisplay(args[0]) + ": " + e.what());
    }
    iconchanger::ReplaceFileAtomically(args[0], edited);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "iconchanger: error: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  std::vector<std::filesystem::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return Run(args);
}
