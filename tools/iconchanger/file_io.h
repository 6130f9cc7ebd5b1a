// Whole-file reading and atomic replacement of a file.
#ifndef ZENTU_TOOLS_ICONCHANGER_FILE_IO_H_
#define ZENTU_TOOLS_ICONCHANGER_FILE_IO_H_

#include <filesystem>
#include <string>

#include "byte_io.h"

namespace iconchanger {

// Reads a whole regular file. Throws Error (without the path in the message) when it cannot.
Bytes ReadWholeFile(const std::filesystem::path& path);

// Replaces the contents of the existing file `path` with `contents`: writes a temporary file
// beside it (same folder, so the rename stays on one file system), gives it the original's
// permissions and renames it over the original. std::filesystem::rename replaces an existing
// target on POSIX (rename) and on Windows (libstdc++ uses MoveFileExW with
// MOVEFILE_REPLACE_EXISTING). A symbolic link is followed, so the file it names is replaced.
// On failure the temporary file is removed, the original is left as it was, and Error is thrown.
void ReplaceFileAtomically(const std::filesystem::path& path, ByteSpan contents);

// UTF-8 form of a path, for messages.
std::string PathForDisplay(const std::filesystem::path& path);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_FILE_IO_H_
