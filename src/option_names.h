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

}  // namespace Zentu
