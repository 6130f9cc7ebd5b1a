// The names of the utility's command-line options.
#pragma once

namespace Zentu {

inline constexpr char16_t kResourceOption[] = u"-resource";
inline constexpr char16_t kTargetOption[] = u"-target";
inline constexpr char16_t kIconOption[] = u"-icon";
inline constexpr char16_t kPackResourceOption[] = u"-packresource";
inline constexpr char16_t kOutDirOption[] = u"-outdir";
inline constexpr char16_t kGetXmlOption[] = u"-getxml";
inline constexpr char16_t kUnpackOption[] = u"-unpack";
inline constexpr char16_t kListOption[] = u"-list";
inline constexpr char16_t kCheckOption[] = u"-check";
inline constexpr char16_t kVersionOption[] = u"-version";
inline constexpr char16_t kPropertiesOption[] = u"-properties";
inline constexpr char16_t kReplaceOption[] = u"-replace";
inline constexpr char16_t kJsonOption[] = u"-json";

// The other spellings that ask for the version.
inline constexpr const char16_t* kOtherVersionOptions[] = {u"--version", u"-V"};

// The spellings that ask for the usage text.
inline constexpr const char16_t* kHelpOptions[] = {u"-help", u"--help", u"-h", u"/?"};

}  // namespace Zentu
