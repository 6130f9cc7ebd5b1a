// Helpers of the command tests: command-line text for paths, the block of a file, and the bytes
// of the real Windows executables the build makes as fixtures.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "oem/resource_block.h"
#include "support/date_time.h"
#include "support/process.h"
#include "support/settings_map.h"
#include "support/tar_test_util.h"
#include "support/tar_writer.h"
#include "support/test_util.h"
#include "tests/scoped_temp_env.h"
#include "tests/test_sandbox.h"

namespace Zentu::Testing {

// A path as one argument of the utility's command line.
inline std::string Arg(const std::filesystem::path& path) {
  Vadu::String text = Vadu::ToUtf8(Vadu::QuoteWindowsArgument(Vadu::Testing::Wide(path)));
  return std::string(text.CStr(), text.Length());
}

// A path as the utility prints it back: its UTF-8 text.
inline std::string Text(const std::filesystem::path& path) { return Vadu::Testing::Utf8(path); }

using Vadu::Testing::Bytes;
using Vadu::Testing::Std;

// The entries of the block at the end of a file, by name; empty without a block.
inline std::map<std::string, std::string> BlockEntries(const std::filesystem::path& file) {
  Vadu::SettingsMap map;
  LoadBlock(map, Bytes(Vadu::Testing::ReadFileBytes(file)));
  std::map<std::string, std::string> entries;
  for (const Vadu::String& name : map.ListNames()) entries[Std(name)] = Std(map.Get(name));
  return entries;
}

// The file's bytes without any block and signature.
inline std::string HostBytes(const std::filesystem::path& file) {
  return Std(StripBlock(Bytes(Vadu::Testing::ReadFileBytes(file))));
}

// A Windows program's bytes with the checksum field of its PE header cleared: branding sets that
// field for the new file. Other bytes come back as they are.
inline std::string Unsummed(std::string bytes) {
  auto u32 = [&](size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
      value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
    return value;
  };
  if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return bytes;
  const size_t field = size_t{u32(0x3C)} + 88;
  if (field + 4 <= bytes.size()) bytes.replace(field, 4, 4, '\0');
  return bytes;
}

// A file carrying the given entries as its block after the host bytes.
inline void WriteWithBlock(const std::filesystem::path& file, const std::string& host,
                           const std::map<std::string, std::string>& entries) {
  Vadu::SettingsMap map;
  for (const auto& [name, value] : entries) map.Set(Bytes(name), Bytes(value));
  Vadu::Testing::WriteFileBytes(file, Std(AppendBlock(Bytes(host), map)));
}

// A fixture the build made (a real Windows executable).
inline std::filesystem::path Fixture(const std::string& name) {
  return std::filesystem::u8path(ZENTU_FIXTURES_DIR) / name;
}

// True when `date` is the "date" text of today, taken around a run (a run across midnight may
// give either day).
inline bool IsDateOfToday(const std::string& date, int64_t before, int64_t after) {
  auto midnight = [](int64_t value) {
    return std::to_string(value - value % Vadu::kMillisecondsPerDay);
  };
  return date == midnight(before) || date == midnight(after);
}

inline int64_t NowLocalValue() { return Vadu::DateTime::NowLocal().Value(); }

// Makes a folder the current directory for its lifetime (the utility inherits it).
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& folder)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentDirectory() { std::filesystem::current_path(saved_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::filesystem::path saved_;
};

// A test that runs the utility on files in its own work folder.
class CommandTest : public testing::Test {
 protected:
  // A folder "res" of resource files, with a subfolder whose file is not a resource.
  std::filesystem::path MakeResources(const std::map<std::string, std::string>& files) {
    std::filesystem::path folder = work_.Path() / "res";
    std::filesystem::create_directories(folder / "sub");
    Vadu::Testing::WriteFileBytes(folder / "sub" / "ignored.txt", "not a resource");
    for (const auto& [name, bytes] : files) Vadu::Testing::WriteFileBytes(folder / name, bytes);
    return folder;
  }
  // A copy of a fixture in the work folder.
  std::filesystem::path CopyFixture(const std::string& fixture, const std::string& name) {
    std::filesystem::path target = work_.Path() / name;
    std::filesystem::copy_file(Fixture(fixture), target);
    return target;
  }
  UtilityRun Run(const std::string& parameters) { return sandbox_.Run(parameters); }
  // Standard output alone, without what the archive tool writes to standard error.
  UtilityRun RunOwnOutput(const std::string& parameters) { return sandbox_.Run(parameters, false); }
  std::string MainLog() {
    return sandbox_.ReadBeside(sandbox_.Executable().stem().string() + ".main.log");
  }
  // A .tgz of everything inside `folder`, each at the root (folders before what they hold, names
  // in sorted order, links as links), as tar and gzip -6 would make it.
  void MakeTgz(const std::filesystem::path& folder, const std::filesystem::path& archive) {
    std::string bytes;
    {
      Vadu::GzipWriter out(Vadu::String(), [&bytes](const char* data, uint64_t count) {
        bytes.append(data, count);
        return true;
      });
      std::vector<std::filesystem::path> paths;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        paths.push_back(entry.path());
      std::sort(paths.begin(), paths.end());
      for (const std::filesystem::path& path : paths) {
        Vadu::TarWriteEntry entry;
        entry.name = Bytes(Text(std::filesystem::relative(path, folder).generic_u8string()));
        std::string data;
        if (std::filesystem::is_symlink(path)) {
          entry.kind = Vadu::TarWriteEntry::Kind::kSymbolicLink;
          entry.linkName = Bytes(std::filesystem::read_symlink(path).generic_string());
        } else if (std::filesystem::is_directory(path)) {
          entry.kind = Vadu::TarWriteEntry::Kind::kDirectory;
          entry.name += "/";
          entry.mode = 0755;
        } else {
          data = Vadu::Testing::ReadFileBytes(path);
          entry.size = data.size();
        }
        out.Add(Vadu::TarHeadersFor(entry));
        out.Add(data.data(), static_cast<uint32_t>(data.size()));
        out.Add(Vadu::TarPadding(data.size()));
      }
      out.Add(Vadu::TarEnd());
      ASSERT_TRUE(out.End());
    }
    Vadu::Testing::WriteFileBytes(archive, bytes);
  }
  // Every regular file of a .tgz by its path inside (with "/"), with its bytes.
  std::map<std::string, std::string> ReadTgz(const std::filesystem::path& archive) {
    std::map<std::string, std::string> files;
    const std::string tar = Vadu::Testing::InflatedFile(archive);
    const Vadu::Testing::ReadArchive read = Vadu::Testing::ReadTar(tar);
    EXPECT_TRUE(read.ok) << archive;
    for (const Vadu::Testing::ReadEntry& entry : read.entries)
      if (entry.entry.IsRegularFile())
        files[Std(entry.entry.name)] = tar.substr(entry.entry.data, entry.entry.size);
    return files;
  }
  // The names in a folder, sorted.
  static std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(Text(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }

  UtilitySandbox sandbox_;
  Vadu::Testing::TempFolder work_;
  // What this process unpacks with the archive tool goes into a run folder here.
  ScopedTempEnvironment processTemp_;
};

}  // namespace Zentu::Testing
