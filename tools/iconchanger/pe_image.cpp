#include "pe_image.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace iconchanger {
namespace {

constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kDebugEntrySize = 28;

SectionHeader LoadSectionHeader(const uint8_t* p) {
  SectionHeader s;
  std::memcpy(s.name.data(), p, 8);
  s.virtual_size = LoadU32(p + 8);
  s.virtual_address = LoadU32(p + 12);
  s.size_of_raw_data = LoadU32(p + 16);
  s.pointer_to_raw_data = LoadU32(p + 20);
  s.pointer_to_relocations = LoadU32(p + 24);
  s.pointer_to_linenumbers = LoadU32(p + 28);
  s.number_of_relocations = LoadU16(p + 32);
  s.number_of_linenumbers = LoadU16(p + 34);
  s.characteristics = LoadU32(p + 36);
  return s;
}

void StoreSectionHeader(uint8_t* p, const SectionHeader& s) {
  std::memcpy(p, s.name.data(), 8);
  StoreU32(p + 8, s.virtual_size);
  StoreU32(p + 12, s.virtual_address);
  StoreU32(p + 16, s.size_of_raw_data);
  StoreU32(p + 20, s.pointer_to_raw_data);
  StoreU32(p + 24, s.pointer_to_relocations);
  StoreU32(p + 28, s.pointer_to_linenumbers);
  StoreU16(p + 32, s.number_of_relocations);
  StoreU16(p + 34, s.number_of_linenumbers);
  StoreU32(p + 36, s.characteristics);
}

uint64_t MappedEnd(const SectionHeader& s) {
  return uint64_t{s.virtual_address} + std::max(s.virtual_size, s.size_of_raw_data);
}

// End of the address range the headers and `sections` take once mapped.
uint64_t VirtualEnd(uint64_t size_of_headers, const std::vector<SectionHeader>& sections) {
  uint64_t end = size_of_headers;
  for (const SectionHeader& s : sections) end = std::max(end, MappedEnd(s));
  return end;
}

// True when `other` ends before `s` begins, in memory and in the file.
bool EndsBefore(const SectionHeader& other, const SectionHeader& s) {
  return MappedEnd(other) <= s.virtual_address &&
         (other.size_of_raw_data == 0 ||
          uint64_t{other.pointer_to_raw_data} + other.size_of_raw_data <= s.pointer_to_raw_data);
}

// ".rsrc" unless taken (an older resource section stays in the image), then ".rsrc2", ...,
// ".rsrc9" (taken or not).
std::array<uint8_t, 8> FreeResourceSectionName(const std::vector<SectionHeader>& sections) {
  std::array<uint8_t, 8> name{};
  for (int suffix = 1; suffix <= 9; ++suffix) {
    name = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    if (suffix > 1) name[5] = static_cast<uint8_t>('0' + suffix);
    const bool taken = std::any_of(sections.begin(), sections.end(),
                                   [&](const SectionHeader& s) { return s.name == name; });
    if (!taken) break;
  }
  return name;
}

bool Overlaps(uint64_t a_begin, uint64_t a_end, uint64_t b_begin, uint64_t b_end) {
  return a_begin < b_end && b_begin < a_end;
}

}  // namespace

PeView::PeView(ByteSpan file) : file_(file) {
  ParseHeaders();
  CheckSectionRanges();
}

PeImage::PeImage(Bytes file) : PeImageBytes{std::move(file)}, PeView(owned) {}

void PeView::ParseHeaders() {
  if (file_.size() > 0xffffffffu) throw Error("file too large for a PE image");
  if (file_.size() < 0x40 || file_[0] != 'M' || file_[1] != 'Z') {
    throw Error("not a PE executable (no MZ header)");
  }
  const uint32_t pe_offset = LoadU32(file_.data() + 0x3c);
  if (!InBounds(file_.size(), pe_offset, 4 + kCoffHeaderSize) ||
      std::memcmp(file_.data() + pe_offset, "PE\0\0", 4) != 0) {
    throw Error("not a PE executable (no PE signature)");
  }
  coff_header_offset_ = pe_offset + 4;
  const uint16_t section_count = LoadU16(file_.data() + coff_header_offset_ + 2);
  size_of_optional_header_ = LoadU16(file_.data() + coff_header_offset_ + 16);
  optional_header_offset_ = coff_header_offset_ + kCoffHeaderSize;
  if (!InBounds(file_.size(), optional_header_offset_, size_of_optional_header_) ||
      size_of_optional_header_ < 2) {
    throw Error("truncated PE optional header");
  }
  const uint8_t* opt = file_.data() + optional_header_offset_;
  const uint16_t magic = LoadU16(opt);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) throw Error("unknown PE optional header");
  pe32_plus_ = magic == kPe32PlusMagic;
  const size_t directories_offset = pe32_plus_ ? 112 : 96;
  if (size_of_optional_header_ < directories_offset) throw Error("PE optional header too small");
  section_alignment_ = LoadU32(opt + 32);
  file_alignment_ = LoadU32(opt + 36);
  size_of_image_ = LoadU32(opt + 56);
  size_of_headers_ = LoadU32(opt + 60);
  directory_count_ = LoadU32(opt + directories_offset - 4);
  if (uint64_t{directory_count_} * 8 > size_of_optional_header_ - directories_offset) {
    throw Error("PE data directories exceed the optional header");
  }
  if (!IsPowerOfTwo(file_alignment_) || file_alignment_ > 0x10000 ||
      !IsPowerOfTwo(section_alignment_) || section_alignment_ < file_alignment_) {
    throw Error("invalid PE section or file alignment");
  }
  if (size_of_headers_ > file_.size()) throw Error("truncated PE headers");

  const uint64_t table_end =
      uint64_t{SectionTableOffset()} + uint64_t{section_count} * kSectionHeaderSize;
  if (table_end > file_.size()) throw Error("truncated PE section table");
  for (size_t i = 0; i < section_count; ++i) {
    sections_.push_back(
        LoadSectionHeader(file_.data() + SectionTableOffset() + i * kSectionHeaderSize));
  }
}

void PeView::CheckSectionRanges() const {
  for (const SectionHeader& s : sections_) {
    if (s.size_of_raw_data != 0 &&
        !InBounds(file_.size(), s.pointer_to_raw_data, s.size_of_raw_data)) {
      throw Error("truncated PE file: section data extends past the end of the file");
    }
    if (MappedEnd(s) > 0xffffffffu) throw Error("PE section extends past the address space");
  }
}

size_t PeView::DirectoryOffset(size_t index) const {
  return optional_header_offset_ + (pe32_plus_ ? 112 : 96) + index * 8;
}

DataDirectory PeView::directory(size_t index) const {
  if (index >= directory_count_) return {};
  const uint8_t* p = file_.data() + DirectoryOffset(index);
  return {LoadU32(p), LoadU32(p + 4)};
}

uint64_t PeView::ImageEnd() const {
  uint64_t end = size_of_headers_;
  for (const SectionHeader& s : sections_) {
    if (s.size_of_raw_data != 0) {
      end = std::max(end, uint64_t{s.pointer_to_raw_data} + s.size_of_raw_data);
    }
  }
  return end;
}

bool PeView::ReadRva(uint32_t rva, uint32_t size, Bytes& out) const {
  // Any section whose file-backed part holds the whole range (an empty range may sit at its end).
  if (const std::optional<uint64_t> offset = FileOffsetOfRange(rva, size)) {
    out.assign(file_.begin() + *offset, file_.begin() + *offset + size);
    return true;
  }
  uint64_t headers_end = size_of_headers_;
  for (const SectionHeader& s : sections_) {
    headers_end = std::min<uint64_t>(headers_end, s.virtual_address);
  }
  if (InBounds(headers_end, rva, size)) {
    out.assign(file_.begin() + rva, file_.begin() + rva + size);
    return true;
  }
  return false;
}

bool PeView::HeaderGapIsFree(uint64_t begin, uint64_t end) const {
  if (end > size_of_headers_) return false;
  for (const SectionHeader& s : sections_) {
    if (s.size_of_raw_data != 0 && end > s.pointer_to_raw_data) return false;
  }
  // The bound import table lives in the header area, addressed by file offset.
  const DataDirectory bound = directory(kBoundImportDirectoryIndex);
  if (bound.rva != 0 && Overlaps(begin, end, bound.rva, uint64_t{bound.rva} + bound.size)) {
    return false;
  }
  return std::all_of(file_.begin() + begin, file_.begin() + end, [](uint8_t b) { return b == 0; });
}

ResourcePlacement PeView::PlanResourceSection() const {
  if (directory_count_ <= kResourceDirectoryIndex) {
    throw Error("PE image has no resource data directory slot");
  }
  if (ResourceSectionIsRewritable()) return RewrittenSectionPlacement();
  return AddedSectionPlacement();
}

bool PeView::ResourceSectionIsRewritable() const {
  const DataDirectory resources = directory(kResourceDirectoryIndex);
  if (resources.rva == 0 || sections_.empty()) return false;
  const SectionHeader& last = sections_.back();
  return last.virtual_address == resources.rva && last.size_of_raw_data != 0 &&
         last.pointer_to_raw_data >= size_of_headers_ &&
         std::all_of(sections_.begin(), sections_.end() - 1,
                     [&](const SectionHeader& other) { return EndsBefore(other, last); }) &&
         !OtherDataLiesIn(last);
}

bool PeView::OtherDataLiesIn(const SectionHeader& s) const {
  for (size_t i = 0; i < directory_count_; ++i) {
    if (i == kResourceDirectoryIndex || i == kSecurityDirectoryIndex) continue;
    const DataDirectory d = directory(i);
    if (d.rva != 0 && Overlaps(d.rva, uint64_t{d.rva} + std::max<uint32_t>(d.size, 1),
                               s.virtual_address, MappedEnd(s))) {
      return true;
    }
  }
  const uint32_t symbols = LoadU32(file_.data() + coff_header_offset_ + 8);
  return symbols >= s.pointer_to_raw_data &&
         symbols - uint64_t{s.pointer_to_raw_data} < s.size_of_raw_data;
}

ResourcePlacement PeView::RewrittenSectionPlacement() const {
  const SectionHeader& last = sections_.back();
  return {.in_place = true,
          .section_index = sections_.size() - 1,
          .rva = last.virtual_address,
          .raw_offset = last.pointer_to_raw_data,
          .name = last.name};
}

ResourcePlacement PeView::AddedSectionPlacement() const {
  const uint64_t table_end = SectionTableOffset() + sections_.size() * kSectionHeaderSize;
  if (sections_.size() >= 0xffff || !HeaderGapIsFree(table_end, table_end + kSectionHeaderSize)) {
    throw Error("no room for another section header before the first section's data");
  }
  const uint64_t rva = AlignUp(VirtualEnd(size_of_headers_, sections_), section_alignment_);
  const uint64_t raw = AlignUp(ImageEnd(), file_alignment_);
  if (rva > 0x7fffffffu || raw > 0x7fffffffu) throw Error("PE image too large for a new section");
  return {.in_place = false,
          .section_index = sections_.size(),
          .rva = static_cast<uint32_t>(rva),
          .raw_offset = static_cast<uint32_t>(raw),
          .name = FreeResourceSectionName(sections_)};
}

// Where the data after the image goes: everything after the old end of the image follows the new
// end, less the certificate table, which is dropped.
struct PeView::OverlayMove {
  uint64_t old_end = 0;
  uint64_t new_end = 0;
  uint64_t cert_begin = 0;  // The certificate table, or an empty range at the end of the file.
  uint64_t cert_end = 0;

  // The new offset of a file offset in the old overlay; 0 when it pointed into the certificate
  // table, which is gone.
  uint64_t Moved(uint64_t offset) const {
    if (offset < cert_begin) return new_end + (offset - old_end);
    if (offset < cert_end) return 0;
    return new_end + (offset - old_end) - (cert_end - cert_begin);
  }
};

Bytes PeView::WithResourceSection(const ResourcePlacement& placement, ByteSpan resources) const {
  if (resources.empty() || resources.size() > 0x7fffffffu) {
    throw Error("invalid resource section size");
  }
  const uint32_t size = static_cast<uint32_t>(resources.size());
  Bytes out = CopyImageWithSection(placement, resources);
  const OverlayMove overlay = LocateOverlay(out.size());
  AppendOverlay(out, overlay);
  const std::vector<SectionHeader> sections = WriteSectionHeader(out, placement, size);
  UpdateInitializedDataSize(out, placement, sections[placement.section_index]);
  UpdateImageSize(out, sections);
  UpdateDirectories(out, placement.rva, size);
  MoveSymbolTablePointer(out, overlay);
  MoveDebugDataPointers(out, placement, overlay);
  StoreU32(out.data() + checksum_offset(), ComputePeChecksum(out, checksum_offset()));
  return out;
}

uint64_t PeView::UnchangedPrefixEnd(const ResourcePlacement& placement) const {
  return placement.in_place ? placement.raw_offset : ImageEnd();
}

Bytes PeView::CopyImageWithSection(const ResourcePlacement& placement, ByteSpan resources) const {
  Bytes out(file_.begin(), file_.begin() + UnchangedPrefixEnd(placement));
  out.resize(placement.raw_offset, 0);
  out.insert(out.end(), resources.begin(), resources.end());
  out.resize(placement.raw_offset + AlignUp(resources.size(), file_alignment_), 0);
  return out;
}

PeView::OverlayMove PeView::LocateOverlay(uint64_t new_end) const {
  OverlayMove overlay{ImageEnd(), new_end, file_.size(), file_.size()};
  const DataDirectory certificate = directory(kSecurityDirectoryIndex);
  if (certificate.size == 0) return overlay;
  if (certificate.rva < overlay.old_end ||
      !InBounds(file_.size(), certificate.rva, certificate.size)) {
    throw Error("certificate table is not within the data after the image");
  }
  overlay.cert_begin = certificate.rva;
  overlay.cert_end = overlay.cert_begin + certificate.size;
  return overlay;
}

void PeView::AppendOverlay(Bytes& out, const OverlayMove& overlay) const {
  out.insert(out.end(), file_.begin() + overlay.old_end, file_.begin() + overlay.cert_begin);
  out.insert(out.end(), file_.begin() + overlay.cert_end, file_.end());
  if (out.size() > 0xffffffffu) throw Error("resulting PE file too large");
}

std::vector<SectionHeader> PeView::WriteSectionHeader(Bytes& out,
                                                      const ResourcePlacement& placement,
                                                      uint32_t size) const {
  const uint32_t raw_size = static_cast<uint32_t>(AlignUp(size, file_alignment_));
  std::vector<SectionHeader> sections = sections_;
  if (placement.in_place) {
    SectionHeader& s = sections[placement.section_index];
    s.virtual_size = size;
    s.size_of_raw_data = raw_size;
  } else {
    SectionHeader s;
    s.name = placement.name;
    s.virtual_size = size;
    s.virtual_address = placement.rva;
    s.size_of_raw_data = raw_size;
    s.pointer_to_raw_data = placement.raw_offset;
    s.characteristics = kResourceSectionCharacteristics;
    sections.push_back(s);
    StoreU16(out.data() + coff_header_offset_ + 2, static_cast<uint16_t>(sections.size()));
  }
  StoreSectionHeader(
      out.data() + SectionTableOffset() + placement.section_index * kSectionHeaderSize,
      sections[placement.section_index]);
  return sections;
}

void PeView::UpdateInitializedDataSize(Bytes& out, const ResourcePlacement& placement,
                                       const SectionHeader& written) const {
  uint8_t* field = out.data() + optional_header_offset_ + 8;
  int64_t initialized = LoadU32(field);
  initialized += int64_t{written.size_of_raw_data} -
                 (placement.in_place ? sections_[placement.section_index].size_of_raw_data : 0);
  StoreU32(field, static_cast<uint32_t>(std::clamp<int64_t>(initialized, 0, 0xffffffff)));
}

void PeView::UpdateImageSize(Bytes& out, const std::vector<SectionHeader>& sections) const {
  const uint64_t image_size = AlignUp(VirtualEnd(size_of_headers_, sections), section_alignment_);
  if (image_size > 0xffffffffu) throw Error("resulting PE image too large");
  StoreU32(out.data() + optional_header_offset_ + 56, static_cast<uint32_t>(image_size));
}

void PeView::UpdateDirectories(Bytes& out, uint32_t resources_rva, uint32_t size) const {
  StoreU32(out.data() + DirectoryOffset(kResourceDirectoryIndex), resources_rva);
  StoreU32(out.data() + DirectoryOffset(kResourceDirectoryIndex) + 4, size);
  if (directory_count_ > kSecurityDirectoryIndex) {
    StoreU32(out.data() + DirectoryOffset(kSecurityDirectoryIndex), 0);
    StoreU32(out.data() + DirectoryOffset(kSecurityDirectoryIndex) + 4, 0);
  }
}

void PeView::MoveSymbolTablePointer(Bytes& out, const OverlayMove& overlay) const {
  uint8_t* coff = out.data() + coff_header_offset_;
  const uint32_t symbols = LoadU32(coff + 8);
  if (symbols == 0 || symbols < overlay.old_end) return;
  const uint64_t moved = overlay.Moved(symbols);
  StoreU32(coff + 8, static_cast<uint32_t>(moved));
  if (moved == 0) StoreU32(coff + 12, 0);
}

void PeView::MoveDebugDataPointers(Bytes& out, const ResourcePlacement& placement,
                                   const OverlayMove& overlay) const {
  const DataDirectory debug = directory(kDebugDirectoryIndex);
  const uint64_t unchanged_end = UnchangedPrefixEnd(placement);
  for (uint32_t i = 0; debug.rva != 0 && i < debug.size / kDebugEntrySize; ++i) {
    const std::optional<uint64_t> file_offset =
        FileOffsetOfRange(uint64_t{debug.rva} + i * kDebugEntrySize, kDebugEntrySize);
    // Only entries in bytes copied unchanged from the old file.
    if (!file_offset || *file_offset + kDebugEntrySize > unchanged_end) break;
    uint8_t* pointer = out.data() + *file_offset + 24;
    const uint32_t data_offset = LoadU32(pointer);
    if (data_offset >= overlay.old_end) {
      StoreU32(pointer, static_cast<uint32_t>(overlay.Moved(data_offset)));
    }
  }
}

std::optional<uint64_t> PeView::FileOffsetOfRange(uint64_t rva, uint64_t size) const {
  const auto section = std::find_if(sections_.begin(), sections_.end(), [&](const auto& s) {
    return rva >= s.virtual_address &&
           rva - s.virtual_address + size <= std::min(s.MappedSize(), s.size_of_raw_data);
  });
  if (section == sections_.end()) return std::nullopt;
  return section->pointer_to_raw_data + (rva - section->virtual_address);
}

uint32_t ComputePeChecksum(ByteSpan file, size_t checksum_offset) {
  auto byte_at = [&](size_t i) -> uint32_t {
    if (i >= file.size() || (i >= checksum_offset && i < checksum_offset + 4)) return 0;
    return file[i];
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    sum += byte_at(i) | (byte_at(i + 1) << 8);
    sum = (sum & 0xffff) + (sum >> 16);
  }
  sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

ResourceDirectory ReadResourceTree(const PeView& image) {
  ResourceDirectory root;
  const DataDirectory resources = image.directory(kResourceDirectoryIndex);
  if (resources.rva != 0) {
    const RvaReader read = [&image](uint32_t rva, uint32_t size, Bytes& out) {
      return image.ReadRva(rva, size, out);
    };
    root = ParseResourceTree(resources.rva, read, 2 * uint64_t{image.file().size()});
  }
  return root;
}

}  // namespace iconchanger
