#include "src/steps/payloads.h"

#include <functional>
#include <map>
#include <mutex>

#include "src/steps/run_folder.h"

#include "support/file_mode.h"
#include "support/file_system.h"
#include "support/lock.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

namespace {

// A named file's content is produced on demand from its stored block.
using Producer = std::function<String()>;
using FileTable = std::map<String, Producer>;

const FileTable& Table() {
  static const FileTable table = [] {
    FileTable built;
    for (const StoredBlock& block : StoredBlocks()) {
      if (block.kind != StoredKind::kNamedFile) continue;
      const unsigned char* data = block.data;
      uint32_t size = block.size;
      built.emplace(String(block.name),
                    [data, size] { return UnscramblePayload(data, size, PayloadKey()); });
    }
    return built;
  }();
  return table;
}

const StoredBlock* FindTool(const String& fileName) {
  for (const StoredBlock& block : StoredBlocks())
    if (block.kind != StoredKind::kNamedFile && fileName == block.name) return &block;
  return nullptr;
}

// The version text and the minimal version, kept once computed.
struct VersionState {
  Vadu::CritSection lock;
  bool computed = false;
  String version;
  String minimalVersion;
};

VersionState& Versions() {
  static VersionState state;
  return state;
}

}  // namespace

String UnscramblePayload(const unsigned char* block, uint32_t size, const String& key) {
  if (!block || size == 0) return String();
  String plain(reinterpret_cast<const char*>(block), size);
  uint32_t keyLength = key.Length();
  if (keyLength == 0) return plain;
  char* out = plain.MutableData();
  const char* k = key.CStr();
  for (uint32_t i = 0; i < size; ++i) out[i] = static_cast<char>(out[i] ^ k[i % keyLength]);
  return plain;
}

String PayloadKey() {
  static const String key = [] {
    std::span<const unsigned char> stored = StoredKey();
    return String(reinterpret_cast<const char*>(stored.data()),
                  static_cast<uint32_t>(stored.size()));
  }();
  return key;
}

String ToolPayloadContent(const String& fileName) {
  const StoredBlock* block = FindTool(fileName);
  return block ? UnscramblePayload(block->data, block->size, PayloadKey()) : String();
}

std::vector<String> ToolPayloadNames(StoredKind kind) {
  std::vector<String> names;
  for (const StoredBlock& block : StoredBlocks())
    if (block.kind == kind) names.emplace_back(block.name);
  return names;
}

String BuildDateText() { return String(__DATE__); }

String BuildTimeText() { return String(__TIME__); }

WString ToolFolderName(const String& date, const String& time) {
  return Vadu::FromUtf8(Vadu::ToHex(date + time));
}

WString EnsureArchiveTool() {
  // Written once per run folder, into it: nothing found on disk is ever run.
  static std::mutex guard;
  static WString* writtenFor = new WString;
  static WString* written = new WString;
  std::lock_guard<std::mutex> lock(guard);
  const WString run = RunFolder();
  if (!run.IsEmpty() && run == *writtenFor) return *written;

  std::vector<const StoredBlock*> tools;
  for (const StoredBlock& block : StoredBlocks())
    if (block.kind == StoredKind::kArchiveTool) tools.push_back(&block);
  if (tools.empty() || run.IsEmpty()) return WString();
  const WString folder = Vadu::JoinPath(run, ToolFolderName(BuildDateText(), BuildTimeText()));
  if (!Vadu::CreateDirectories(folder)) return WString();
  for (const StoredBlock* tool : tools) {
    const WString path = Vadu::JoinPath(folder, Vadu::FromUtf8(String(tool->name)));
    if (!Vadu::WriteNewFile(UnscramblePayload(tool->data, tool->size, PayloadKey()), path))
      return WString();
  }
  const WString program = Vadu::JoinPath(folder, Vadu::FromUtf8(String(tools.front()->name)));
  if (!Vadu::SetExecutable(program)) return WString();
  *writtenFor = run;
  *written = program;
  return program;
}

String EmbeddedFileContent(const String& name) {
  const FileTable& table = Table();
  auto found = table.find(name);
  return found == table.end() ? String() : found->second();
}

std::vector<String> EmbeddedFileNames() {
  std::vector<String> names;
  for (const auto& entry : Table()) names.push_back(entry.first);
  return names;
}

String VersionTextForDate(const String& date) {
  std::vector<String> pieces;
  for (const String& piece : date.Split(String(" ")))
    if (!piece.IsEmpty()) pieces.push_back(piece);
  if (pieces.size() != 3) return String();

  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  String month;
  for (int i = 0; i < 12; ++i)
    if (pieces[0] == kMonths[i]) month = String::FromNumber(i + 1);
  String day = String::FromNumber(pieces[1].ToInt32());
  String year = pieces[2].Substring(2);
  if (month.IsEmpty() || day.IsEmpty() || year.IsEmpty()) return String();
  return year + "." + month + "." + day;
}

String VersionTextFor(const String& versionFileName, const String& date) {
  for (const String& name : EmbeddedFileNames())
    if (name == versionFileName) return EmbeddedFileContent(name);
  return VersionTextForDate(date);
}

String BuildVersionText() {
  VersionState& state = Versions();
  Vadu::AutoLock guard(&state.lock);
  if (!state.computed) {
    state.minimalVersion = EmbeddedFileContent(String("minimal_version"));
    state.version =
        VersionTextFor(EmbeddedFileContent(String("build_version_file_name")), BuildDateText());
    state.computed = true;
  }
  return state.version;
}

String MinimalVersionText() {
  VersionState& state = Versions();
  Vadu::AutoLock guard(&state.lock);
  return state.minimalVersion;
}

}  // namespace Zentu
