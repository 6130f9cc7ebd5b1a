// Parsing a PE32/PE32+ image and writing it back with a rebuilt resource section.
#ifndef ZENTU_TOOLS_ICONCHANGER_PE_IMAGE_H_
#define ZENTU_TOOLS_ICONCHANGER_PE_IMAGE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "byte_io.h"
#include "resource_tree.h"

namespace iconchanger {

inline constexpr size_t kResourceDirectoryIndex = 2;
inline constexpr size_t kSecurityDirectoryIndex = 4;
inline constexpr size_t kDebugDirectoryIndex = 6;
inline constexpr size_t kBoundImportDirectoryIndex = 11;
inline constexpr size_t kSectionHeaderSize = 40;
// Initialized data, readable: what a resource section is.
inline constexpr uint32_t kResourceSectionCharacteristics = 0x40000040;
inline constexpr uint32_t kScnCntInitializedData = 0x00000040;

struct SectionHeader {
  std::array<uint8_t, 8> name{};
  uint32_t virtual_size = 0;
  uint32_t virtual_address = 0;
  uint32_t size_of_raw_data = 0;
  uint32_t pointer_to_raw_data = 0;
  uint32_t pointer_to_relocations = 0;
  uint32_t pointer_to_linenumbers = 0;
  uint16_t number_of_relocations = 0;
  uint16_t number_of_linenumbers = 0;
  uint32_t characteristics = 0;

  // Size of the section once mapped (VirtualSize, or the raw size when VirtualSize is 0).
  uint32_t MappedSize() const { return virtual_size != 0 ? virtual_size : size_of_raw_data; }
};

struct DataDirectory {
  uint32_t rva = 0;  // A file offset, not an RVA, for the security directory.
  uint32_t size = 0;
};

// Where a rebuilt resource section goes.
struct ResourcePlacement {
  bool in_place = false;     // Rewrites the existing last section instead of adding one.
  size_t section_index = 0;  // Index of the section rewritten or added.
  uint32_t rva = 0;
  uint32_t raw_offset = 0;
  std::array<uint8_t, 8> name{};  // Name of an added section.
};

// A parsed PE image over bytes it borrows: the caller keeps them alive and unchanged while the view
// is used. The read-only checks parse a program the caller already holds this way, without a copy.
class PeView {
 public:
  // Parses and validates the headers and section table of `file`. Throws Error when the file is
  // not a PE image, is truncated, or has inconsistent headers.
  explicit PeView(ByteSpan file);

  ByteSpan file() const { return file_; }
  bool is_pe32_plus() const { return pe32_plus_; }
  const std::vector<SectionHeader>& sections() const { return sections_; }
  uint32_t file_alignment() const { return file_alignment_; }
  uint32_t section_alignment() const { return section_alignment_; }
  uint32_t size_of_headers() const { return size_of_headers_; }
  uint32_t size_of_image() const { return size_of_image_; }
  uint32_t checksum() const { return LoadU32(file_.data() + checksum_offset()); }
  size_t checksum_offset() const { return optional_header_offset_ + 64; }
  uint32_t directory_count() const { return directory_count_; }
  DataDirectory directory(size_t index) const;

  // End of the data that the section table accounts for; what follows is overlay data.
  uint64_t ImageEnd() const;

  // Copies `size` bytes at `rva` into `out`. The range must lie in the file-backed part of one
  // section (or in the headers). Returns false otherwise.
  bool ReadRva(uint32_t rva, uint32_t size, Bytes& out) const;

  // Decides where a rebuilt resource section goes: the current resource section is rewritten
  // in place when it is the last section, starts with the resource directory and holds nothing
  // else any data directory points at; otherwise a section is added. Throws Error when a
  // section header cannot be added.
  ResourcePlacement PlanResourceSection() const;

  // Returns the file with `resources` (built for placement.rva) placed as planned, and with the
  // section table, data directories, SizeOfImage, SizeOfInitializedData and checksum updated.
  //
  // Data after the image (overlay) is kept after the new end of the image, and the COFF symbol
  // table pointer and debug data file pointers into it are moved with it. An Authenticode
  // certificate table is dropped (its bytes and the security directory entry): editing
  // invalidates the signature anyway, and a stale table would make the file look tampered.
  Bytes WithResourceSection(const ResourcePlacement& placement, ByteSpan resources) const;

 private:
  void ParseHeaders();
  void CheckSectionRanges() const;
  bool HeaderGapIsFree(uint64_t begin, uint64_t end) const;
  // The steps of PlanResourceSection. The last section can be rewritten when it is the resource
  // section, ends the image in memory and in the file, and holds nothing else.
  bool ResourceSectionIsRewritable() const;
  // True when a data directory other than the resource and security ones, or the COFF symbol
  // table, points into `s`.
  bool OtherDataLiesIn(const SectionHeader& s) const;
  ResourcePlacement RewrittenSectionPlacement() const;
  // A new section after the image; throws Error when there is no room for its header.
  ResourcePlacement AddedSectionPlacement() const;
  size_t SectionTableOffset() const { return optional_header_offset_ + size_of_optional_header_; }
  size_t DirectoryOffset(size_t index) const;
  // File offset of `size` bytes at `rva` in the file-backed part of one section; nullopt when no
  // section holds them.
  std::optional<uint64_t> FileOffsetOfRange(uint64_t rva, uint64_t size) const;

  // The steps of WithResourceSection, in order; each throws Error as it describes.
  struct OverlayMove;
  // End of the bytes an edit copies unchanged from the old file.
  uint64_t UnchangedPrefixEnd(const ResourcePlacement& placement) const;
  // The image up to the resource section, then the section's data padded to the file alignment.
  Bytes CopyImageWithSection(const ResourcePlacement& placement, ByteSpan resources) const;
  // Where the overlay goes when the image now ends at `new_end`; throws Error when the
  // certificate table is not within the overlay.
  OverlayMove LocateOverlay(uint64_t new_end) const;
  // Appends the overlay less the certificate table; throws Error past 4 GiB.
  void AppendOverlay(Bytes& out, const OverlayMove& overlay) const;
  // Writes the rewritten or added section header (and the section count) into `out`; returns
  // the new section table.
  std::vector<SectionHeader> WriteSectionHeader(Bytes& out, const ResourcePlacement& placement,
                                                uint32_t size) const;
  void UpdateInitializedDataSize(Bytes& out, const ResourcePlacement& placement,
                                 const SectionHeader& written) const;
  // Sets SizeOfImage for `sections`; throws Error past 4 GiB.
  void UpdateImageSize(Bytes& out, const std::vector<SectionHeader>& sections) const;
  // Points the resource directory at the new section and clears the security directory.
  void UpdateDirectories(Bytes& out, uint32_t resources_rva, uint32_t size) const;
  // The COFF symbol table and debug data in the overlay move with it (a pointer into the dropped
  // certificate table becomes 0).
  void MoveSymbolTablePointer(Bytes& out, const OverlayMove& overlay) const;
  void MoveDebugDataPointers(Bytes& out, const ResourcePlacement& placement,
                             const OverlayMove& overlay) const;

  ByteSpan file_;
  bool pe32_plus_ = false;
  size_t coff_header_offset_ = 0;
  size_t optional_header_offset_ = 0;
  uint16_t size_of_optional_header_ = 0;
  uint32_t file_alignment_ = 0;
  uint32_t section_alignment_ = 0;
  uint32_t size_of_headers_ = 0;
  uint32_t size_of_image_ = 0;
  uint32_t directory_count_ = 0;
  std::vector<SectionHeader> sections_;
};

// The bytes a PeImage owns; a base of its own so that they exist before the view over them.
struct PeImageBytes {
  Bytes owned;
};

// A PE image that owns its bytes, for the edits, which take the program whole.
class PeImage : private PeImageBytes, public PeView {
 public:
  // Takes `file` and parses it as PeView does. Throws Error as PeView does.
  explicit PeImage(Bytes file);
  // The view points into this object's own bytes: a copy or move would leave it pointing at
  // another object's.
  PeImage(const PeImage&) = delete;
  PeImage& operator=(const PeImage&) = delete;

  const Bytes& bytes() const { return owned; }
};

// The PE image checksum: 16-bit words summed with the carry folded back in, the checksum field
// itself read as zero, then the file length added.
uint32_t ComputePeChecksum(ByteSpan file, size_t checksum_offset);

// The resource tree of a parsed image; empty when it has none. Resource data is normally distinct
// bytes of the file, so the data copied is capped at twice the file size. Throws Error when the
// resource directory is malformed.
ResourceDirectory ReadResourceTree(const PeView& image);

}  // namespace iconchanger

#endif  // ZENTU_TOOLS_ICONCHANGER_PE_IMAGE_H_
