#include "oem/resource_block.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/test_util.h"
#include "support/zlib_codec.h"
#include "tests/platform_checks.h"

namespace Zentu {
namespace {

using Vadu::SettingsMap;
using Vadu::String;
using Vadu::Testing::Std;

// The layout written out by hand, independently of the code under test.
std::string Le32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
  return out;
}
uint32_t GetLe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t(uint8_t(bytes.at(at + i))) << (8 * i);
  return value;
}
void PutLe32(std::string& bytes, size_t at, uint32_t value) { bytes.replace(at, 4, Le32(value)); }
std::string Entry(const std::string& name, const std::string& value) {
  return Le32(uint32_t(name.size())) + name + Le32(uint32_t(value.size())) + value;
}
std::string Compress(const std::string& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6),
            Z_OK);
  out.resize(size);
  return out;
}
std::string Uncompress(const std::string& stream, size_t capacity) {
  std::string out(capacity, '\0');
  uLongf size = uLongf(capacity);
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size())),
            Z_OK);
  out.resize(size);
  return out;
}
std::string Block(const std::string& payload) {
  return payload + Le32(uint32_t(payload.size())) + "OEM";
}

String S(const std::string& bytes) { return String(bytes); }
std::string Fixture(const char* name) {
  std::string bytes =
      Vadu::Testing::ReadFileBytes(std::filesystem::u8path(ZENTU_FIXTURES_DIR) / name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

// The PE fields the signature removal works with, read by the test itself.
struct PeFields {
  uint32_t checksumAt = 0;
  uint32_t securityEntryAt = 0;
  uint32_t certAt = 0;
  uint32_t certSize = 0;
};
PeFields ReadPe(const std::string& file) {
  PeFields pe;
  uint32_t header = GetLe32(file, 0x3C);
  EXPECT_EQ(file.substr(header, 4), std::string("PE\0\0", 4));
  bool plus = uint8_t(file.at(header + 24)) == 0x0B && uint8_t(file.at(header + 25)) == 0x02;
  pe.checksumAt = header + 24 + 64;
  pe.securityEntryAt = header + (plus ? 136 : 120) + 4 * 8;
  pe.certAt = GetLe32(file, pe.securityEntryAt);
  pe.certSize = GetLe32(file, pe.securityEntryAt + 4);
  return pe;
}

// A program's bytes with its checksum field cleared: what embedding keeps of it.
std::string Unsummed(std::string file) {
  file.replace(ReadPe(file).checksumAt, 4, std::string(4, '\0'));
  return file;
}

// A Windows program as embedding leaves it: of even length (tools differ on a last odd byte), its
// checksum field holding the checksum of the file.
void ExpectChecksummed(const std::string& file) {
  EXPECT_EQ(file.size() % 2, 0u);
  EXPECT_EQ(Testing::PeChecksumField(file), Testing::PeChecksumOf(file));
}

SettingsMap SampleMap() {
  SettingsMap map;
  map.Set("oem_info.xml", "<OemInfo ProductName=\"Sample\"/>");
  map.Set("logo.png", S(std::string(5000, '\x89')));
  return map;
}
std::string SampleRaw() {
  return Entry("logo.png", std::string(5000, '\x89')) +
         Entry("oem_info.xml", "<OemInfo ProductName=\"Sample\"/>");
}

TEST(BlockSearch, OnlyAConsistentTrailerNearestTheEndCounts) {
  const std::string payload = Compress(Entry("k", "v"));
  const std::string file = "host" + Block(payload);
  const struct {
    std::string bytes;
    uint32_t offset, length;
  } cases[] = {
      {file, 4, uint32_t(payload.size())},
      {Block(payload), 0, uint32_t(payload.size())},  // a package with no host bytes
      {"p" + Le32(1) + "OEM", 0, 1},                  // eight bytes can hold a block
      {Le32(3) + "OEM", 0, 0},                        // seven cannot
      {"OEM", 0, 0},
      {"", 0, 0},
      // The length must be non-zero and fit before its field.
      {"host" + payload + Le32(0) + "OEM", 0, 0},
      {payload + Le32(uint32_t(payload.size() + 1)) + "OEM", 0, 0},
      {"x" + Le32(0xFFFFFFFF) + "OEM", 0, 0},
      // The marker nearest the end decides; the search does not go on to an earlier one.
      {file + Le32(0) + "OEM", 0, 0},
      {file + Le32(1000) + "OEM", 0, 0},
  };
  for (const auto& c : cases) {
    BlockLocation found = FindBlock(S(c.bytes));
    EXPECT_EQ(found.offset, c.offset) << c.bytes;
    EXPECT_EQ(found.length, c.length) << c.bytes;
  }
}

TEST(BlockSearch, UpToSevenTrailingBytesAreTolerated) {
  const std::string payload = Compress(Entry("k", "v"));
  const std::string file = "host" + Block(payload);
  for (size_t tail = 0; tail <= 9; ++tail) {
    for (char fill : {'\0', 'O', 'M'}) {
      std::string padded = file + std::string(tail, fill);
      bool found = tail <= 7;
      EXPECT_EQ(Std(ExtractBlock(S(padded))), found ? payload : "") << tail << fill;
      EXPECT_EQ(Std(StripBlock(S(padded))), found ? "host" : padded) << tail << fill;
    }
  }
}

TEST(AppendBlock, UnsignedExecutableGetsPayloadLengthAndMarker) {
  for (const char* name : {"sample_app64.exe", "sample_app32.exe"}) {
    const std::string exe = Fixture(name);
    ASSERT_EQ(ReadPe(exe).certSize, 0u);
    const std::string out = Std(AppendBlock(S(exe), SampleMap()));
    ASSERT_GT(out.size(), exe.size() + 7);
    EXPECT_EQ(Unsummed(out.substr(0, exe.size())), Unsummed(exe));
    EXPECT_EQ(out.substr(out.size() - 3), "OEM");
    ExpectChecksummed(out);
    uint32_t n = GetLe32(out, out.size() - 7);
    ASSERT_EQ(out.size(), exe.size() + n + 7);
    const std::string payload = out.substr(exe.size(), n);
    // An independent inflater reads the raw form back (past an empty stored block that evens
    // the length out).
    EXPECT_EQ(Uncompress(payload, SampleRaw().size() + 16), SampleRaw());
    EXPECT_EQ(Std(ExtractBlock(S(out))), payload);
    EXPECT_EQ(Unsummed(Std(StripBlock(S(out)))), Unsummed(exe));
    SettingsMap loaded;
    EXPECT_TRUE(LoadBlock(loaded, S(out)));
    EXPECT_EQ(loaded.Serialize(), SampleMap().Serialize());
  }
}

TEST(AppendBlock, ReplacesAnExistingBlockAndItsTail) {
  const std::string host = "some host content";
  SettingsMap first;
  first.Set("old.txt", S(std::string(3000, 'o')));
  SettingsMap second;
  second.Set("new.txt", "n");
  std::string once = Std(AppendBlock(S(host), first));
  std::string twice = Std(AppendBlock(S(once + std::string(5, '\0')), second));
  EXPECT_EQ(twice, host + Block(Std(second.Save())));
  // A package made from an empty file is exactly the block.
  EXPECT_EQ(Std(AppendBlock(String(), second)), Block(Std(second.Save())));
}

TEST(AppendBlock, BuildingInTheHostsOwnBufferGivesTheSameBytes) {
  SettingsMap big = SampleMap();
  SettingsMap small;
  small.Set("n", "1");
  const std::string plain = Fixture("sample_app64.exe");
  const std::string withBlock = Fixture("sample_app64_block.exe");
  const std::string hosts[] = {plain,
                               withBlock,
                               withBlock + std::string(3, '\0'),
                               Fixture("sample_app64_signed.exe"),
                               std::string(),
                               "short"};
  for (const std::string& host : hosts) {
    for (const SettingsMap* map : {&big, &small}) {
      const String shared = S(host);
      const std::string copied = Std(AppendBlock(shared, *map));
      EXPECT_FALSE(copied.empty());
      EXPECT_EQ(Std(AppendBlock(S(host), *map)), copied);
      EXPECT_EQ(Std(shared), host);
    }
  }

  // A buffer that another string shares is left to it.
  String owner = S(withBlock);
  String handed = owner;
  EXPECT_FALSE(AppendBlock(std::move(handed), big).IsEmpty());
  EXPECT_EQ(Std(owner), withBlock);

  // Embedding the same map again gives a block of the same size in the very same buffer.
  String once = AppendBlock(S(plain), big);
  const char* buffer = once.Data();
  String twice = AppendBlock(std::move(once), big);
  EXPECT_EQ(twice.Data(), buffer);
  EXPECT_EQ(Std(twice), Std(AppendBlock(S(plain), big)));
}

TEST(AppendBlock, UnchangedFilesShareTheirBuffer) {
  const String signedExe = S(Fixture("sample_app64_signed.exe"));
  // An empty map leaves the file as it is, signature included.
  EXPECT_EQ(AppendBlock(signedExe, SettingsMap()).Data(), signedExe.Data());
  EXPECT_TRUE(AppendBlock(String(), SettingsMap()).IsEmpty());
  const String exe = S(Fixture("sample_app64.exe"));
  EXPECT_EQ(RemoveSignature(exe).Data(), exe.Data());
  EXPECT_EQ(StripBlock(exe).Data(), exe.Data());
}

TEST(Signatures, RemovalRestoresTheUnsignedProgram) {
  for (const char* name : {"sample_app64", "sample_app32"}) {
    const std::string original = Fixture((std::string(name) + ".exe").c_str());
    const std::string signedExe = Fixture((std::string(name) + "_signed.exe").c_str());
    PeFields pe = ReadPe(signedExe);
    ASSERT_NE(pe.certSize, 0u);
    ASSERT_EQ(size_t(pe.certAt) + pe.certSize, signedExe.size());
    ASSERT_GE(pe.certAt, original.size());

    std::string removed = Std(RemoveSignature(S(signedExe)));
    ASSERT_EQ(removed.size(), pe.certAt);
    EXPECT_EQ(GetLe32(removed, pe.securityEntryAt), 0u);
    EXPECT_EQ(GetLe32(removed, pe.securityEntryAt + 4), 0u);
    // What the signing tool changed besides appending: the checksum and alignment padding.
    EXPECT_EQ(removed.substr(pe.checksumAt, 4), signedExe.substr(pe.checksumAt, 4));
    removed.replace(pe.checksumAt, 4, original.substr(pe.checksumAt, 4));
    EXPECT_EQ(removed.substr(0, original.size()), original);
    EXPECT_EQ(removed.substr(original.size()), std::string(removed.size() - original.size(), '\0'));
    // No block in a signed file without one.
    EXPECT_TRUE(ExtractBlock(S(signedExe)).IsEmpty());
  }
}

TEST(Signatures, FileSignedAfterEmbeddingStillYieldsItsBlock) {
  const std::string original = Fixture("sample_app64.exe");
  const std::string embedded = Fixture("sample_app64_block.exe");
  const std::string signedExe = Fixture("sample_app64_block_signed.exe");
  ASSERT_NE(ReadPe(signedExe).certSize, 0u);
  // The certificate follows the block, so it is only found once the certificate is gone...
  EXPECT_EQ(FindBlock(S(signedExe)).length, 0u);
  String unsignedExe = RemoveSignature(S(signedExe));
  BlockLocation found = FindBlock(unsignedExe);
  ASSERT_NE(found.length, 0u);
  // ...and behind the marker sits the signing tool's padding, within the tolerated tail.
  uint32_t tail = unsignedExe.Length() - (found.offset + found.length + 7);
  EXPECT_GE(tail, 1u);
  EXPECT_LE(tail, 7u);

  String payload = ExtractBlock(S(signedExe));
  EXPECT_EQ(Std(payload), embedded.substr(original.size(), embedded.size() - original.size() - 7));
  SettingsMap map;
  ASSERT_TRUE(LoadBlock(map, S(signedExe)));
  EXPECT_EQ(map.ListNames(), (std::vector<String>{"filler", "logo.bin", "oem_info.xml"}));
  EXPECT_NE(Std(map.Get("oem_info.xml")).find("ProductName=\"Fixture\""), std::string::npos);
  std::string logo = Std(map.Get("logo.bin"));
  ASSERT_EQ(logo.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(uint8_t(logo[i]), i);

  // Stripping gives back the program as it was before the block, apart from the checksum.
  std::string stripped = Std(StripBlock(S(signedExe)));
  PeFields pe = ReadPe(signedExe);
  ASSERT_EQ(stripped.size(), original.size());
  stripped.replace(pe.checksumAt, 4, original.substr(pe.checksumAt, 4));
  EXPECT_EQ(stripped, original);
}

TEST(Signatures, AppendingDropsTheCertificate) {
  for (const char* name :
       {"sample_app64_signed.exe", "sample_app32_signed.exe", "sample_app64_block_signed.exe"}) {
    const std::string signedExe = Fixture(name);
    PeFields before = ReadPe(signedExe);
    const std::string certificate = signedExe.substr(before.certAt, before.certSize);
    SettingsMap map = SampleMap();
    const std::string out = Std(AppendBlock(S(signedExe), map));
    PeFields after = ReadPe(out);
    EXPECT_EQ(after.certAt, 0u) << name;
    EXPECT_EQ(after.certSize, 0u) << name;
    EXPECT_EQ(out.find(certificate), std::string::npos) << name;
    const std::string base = Std(StripBlock(S(signedExe)));
    EXPECT_EQ(Unsummed(out.substr(0, base.size())), Unsummed(base)) << name;
    ExpectChecksummed(out);
    SettingsMap loaded;
    EXPECT_TRUE(LoadBlock(loaded, S(out)));
    EXPECT_EQ(loaded.Serialize(), map.Serialize());
  }
}

// Writes the bytes of a little-endian value that lie within the file.
void Put(std::string& file, size_t at, uint32_t value, int width = 4) {
  for (int i = 0; i < width && at + i < file.size(); ++i) file[at + i] = char(value >> (8 * i));
}

// A file with just the PE fields the block code reads (not a loadable program): headers up to
// 0x200, one section whose raw data runs from there to `sectionEnd`, and a certificate table of
// 'C' bytes.
struct Synthetic {
  bool plus = true;
  uint32_t size = 1024;
  uint32_t certAt = 900;
  uint32_t certSize = 124;
  uint32_t directories = 16;
  uint32_t header = 0x80;
  uint32_t sectionEnd = 0x300;

  uint32_t OptionalSize() const { return plus ? 240 : 224; }
  uint32_t EntryAt() const { return header + (plus ? 136 : 120) + 32; }
  std::string Build() const {
    std::string file(size, '.');
    file.replace(0, 2, "MZ");
    Put(file, 0x3C, header);
    Put(file, header, 0x4550);  // "PE\0\0"
    Put(file, header + 6, 1, 2);
    Put(file, header + 20, OptionalSize(), 2);
    Put(file, header + 24, plus ? 0x20B : 0x10B, 2);
    Put(file, header + 24 + 60, 0x200);  // SizeOfHeaders
    Put(file, header + (plus ? 132 : 116), directories);
    Put(file, EntryAt(), certAt);
    Put(file, EntryAt() + 4, certSize);
    const uint32_t section = header + 24 + OptionalSize();
    Put(file, section + 16, sectionEnd - 0x200);
    Put(file, section + 20, 0x200);
    for (uint64_t i = certAt; i < uint64_t(certAt) + certSize && i < size; ++i) file[i] = 'C';
    return file;
  }
};

TEST(Signatures, OnlyATableAfterTheSectionsIsCut) {
  Vadu::Testing::TempFolder folder;
  const std::filesystem::path path = folder.Path() / "program.exe";
  for (bool plus : {true, false}) {
    // In the overlay, with bytes after it: cut out.
    Synthetic pe;
    pe.plus = plus;
    pe.certAt = 800;
    pe.certSize = 100;
    const std::string file = pe.Build() + Block(Compress(Entry("k", "v")));
    std::string removed = Std(RemoveSignature(S(file)));
    ASSERT_EQ(removed.size(), file.size() - 100) << plus;
    EXPECT_EQ(removed.find('C'), std::string::npos);
    EXPECT_EQ(GetLe32(removed, pe.EntryAt()), 0u);
    EXPECT_EQ(GetLe32(removed, pe.EntryAt() + 4), 0u);
    EXPECT_EQ(removed.substr(800), file.substr(900));
    // The block search and the extraction see the same signature-free bytes.
    EXPECT_EQ(Std(ExtractBlock(S(file))), Compress(Entry("k", "v")));
    EXPECT_EQ(Std(StripBlock(S(file))), removed.substr(0, 1024 - 100));

    // Inside the section, or inside the headers: the program's own bytes. Nothing is cut, and no
    // block goes in.
    for (uint32_t at : {0x2F0u, 0x40u}) {
      pe.certAt = at;
      pe.certSize = 0x20;
      const std::string inside = pe.Build();
      EXPECT_EQ(Std(RemoveSignature(S(inside))), inside) << at;
      EXPECT_TRUE(AppendBlock(S(inside), SampleMap()).IsEmpty()) << at;
      Vadu::Testing::WriteFileBytes(path, inside);
      HostReport report;
      ASSERT_TRUE(InspectHostFile(Vadu::Testing::Wide(path), HostFormat::kAsFound, &report));
      char expected[200];
      std::snprintf(expected, sizeof expected,
                    "program.exe: the certificate table entry points into the program's headers "
                    "or sections (offset 0x%X, size 0x20), not at a signature after them",
                    at);
      EXPECT_EQ(Std(report.problem), expected);
      const BlockWrite write = WriteBlockIntoFile(Vadu::Testing::Wide(path), SampleMap());
      EXPECT_FALSE(write.written);
      EXPECT_EQ(Std(write.problem), expected);
      EXPECT_FALSE(StripBlockFromFile(Vadu::Testing::Wide(path)));
      EXPECT_EQ(Vadu::Testing::ReadFileBytes(path), inside);
    }
  }
}

TEST(Signatures, InconsistentHeadersLeaveTheFileUnchanged) {
  const struct {
    uint32_t certAt, certSize, directories;
  } cases[] = {
      {0, 124, 16},          {900, 0, 16},  {900, 125, 16},  // one byte past the end
      {0xFFFFFFF0, 124, 16},                                 // would wrap a 32-bit sum
      {900, 0xFFFFFFF0, 16}, {900, 124, 4},                  // no security entry
      {0x100, 0x100, 16},                                    // covers its own entry
  };
  for (const auto& c : cases) {
    Synthetic pe;
    pe.certAt = c.certAt;
    pe.certSize = c.certSize;
    pe.directories = c.directories;
    String file = S(pe.Build());
    EXPECT_EQ(RemoveSignature(file).Data(), file.Data()) << c.certAt << " " << c.certSize;
  }
  std::string file = Synthetic().Build();
  EXPECT_EQ(RemoveSignature(S(file)).Length(), 900u);  // the sound header, for contrast
  std::string notPe = file, badSignature = file, zeroOffset = file;
  notPe[0] = 'Z';
  badSignature[0x81] = 'X';
  PutLe32(zeroOffset, 0x3C, 0);
  for (const std::string& input : {notPe, badSignature, zeroOffset})
    EXPECT_EQ(Std(RemoveSignature(S(input))), input);
}

TEST(Signatures, EveryTruncatedHeaderIsReadWithinBounds) {
  // The header offset near the end of the file: at size - 4 and beyond is rejected.
  for (uint32_t size = 0x40; size < 0x48; ++size) {
    std::string file(size, '\0');
    file.replace(0, 2, "MZ");
    PutLe32(file, 0x3C, size - 4);
    file.replace(size - 4, 4, std::string("PE\0\0", 4));
    EXPECT_EQ(Std(RemoveSignature(S(file))), file);
  }
  // Every prefix of a signed program: the table never fits, nothing is read past the end.
  for (bool plus : {true, false}) {
    Synthetic pe;
    pe.plus = plus;
    pe.size = 0x400;
    pe.certAt = 0x380;
    pe.certSize = 0x80;
    const std::string file = pe.Build();
    EXPECT_EQ(RemoveSignature(S(file)).Length(), file.size() - 0x80);
    for (size_t n = 0; n < file.size(); ++n) {
      String prefix = S(file.substr(0, n));
      EXPECT_EQ(Std(RemoveSignature(prefix)), file.substr(0, n)) << n;
    }
  }
}

TEST(Signatures, AppendingClearsAnEntryThatPointsPastTheEnd) {
  // The entry points past the end of the host: not a table to remove, but once a block has made
  // the file longer it would cover the block's first half.
  SettingsMap map = SampleMap();
  const std::string block = Block(Std(map.Save()));
  Synthetic pe;
  pe.certAt = 1000;
  pe.certSize = 24 + uint32_t(block.size()) / 2;
  const std::string host = pe.Build();
  String hostBytes = S(host);
  EXPECT_EQ(RemoveSignature(hostBytes).Data(), hostBytes.Data());
  // What keeping the entry would do:
  EXPECT_NE(Std(ExtractBlock(S(host + block))), Std(map.Save()));

  const std::string out = Std(AppendBlock(hostBytes, map));
  // Built in the host's own buffer, the entry is cleared just the same.
  EXPECT_EQ(Std(AppendBlock(S(host), map)), out);
  EXPECT_EQ(GetLe32(out, pe.EntryAt()), 0u);
  EXPECT_EQ(GetLe32(out, pe.EntryAt() + 4), 0u);
  const std::string kept = Unsummed(out);
  EXPECT_EQ(kept.substr(0, pe.EntryAt()), Unsummed(host).substr(0, pe.EntryAt()));
  EXPECT_EQ(kept.substr(pe.EntryAt() + 8, host.size() - pe.EntryAt() - 8),
            host.substr(pe.EntryAt() + 8));
  SettingsMap loaded;
  EXPECT_TRUE(LoadBlock(loaded, S(out)));
  EXPECT_EQ(loaded.Serialize(), map.Serialize());
}

TEST(Signatures, HostWhoseHeaderTheBlockWouldCompleteIsRefused) {
  // A raw form whose Adler-32 checksum has a zero low half: the stream's last four bytes then
  // read as a small little-endian number.
  std::string value(256, '\xFF');
  value += char(119);
  SettingsMap map;
  map.Set("v", S(value));
  const std::string raw = Std(map.Serialize());
  ASSERT_EQ(adler32(1, reinterpret_cast<const Bytef*>(raw.data()), uInt(raw.size())) & 0xFFFF, 0u);
  const std::string payload = Std(map.Save());
  const uint32_t n = uint32_t(payload.size());
  ASSERT_LT(n, 40u);

  // A PE32+ header placed so close to the end of a 70000-byte host that its security entry is
  // the payload's last four bytes and the length field: the block's own bytes would be read as a
  // certificate table at the checksum's value, as long as the payload.
  const uint32_t hostSize = 70000;
  const uint32_t header = hostSize + n - 172;
  std::string host(hostSize, '.');
  host.replace(0, 2, "MZ");
  PutLe32(host, 0x3C, header);
  host.replace(header, 4, std::string("PE\0\0", 4));
  host[header + 24] = 0x0B;
  host[header + 25] = 0x02;
  PutLe32(host, header + 132, 16);
  const std::string naive = host + Block(payload);
  ASSERT_EQ(GetLe32(naive, header + 168 + 4), n);

  EXPECT_TRUE(AppendBlock(S(host), map).IsEmpty());
  // With the header complete in the host, the block goes in.
  host.append(200, '.');
  SettingsMap loaded;
  EXPECT_TRUE(LoadBlock(loaded, AppendBlock(S(host), map)));
  EXPECT_EQ(loaded.Get("v"), S(value));
}

TEST(LoadBlock, ReplacesTheMapOrEmptiesIt) {
  SettingsMap map;
  map.Set("stale", "x");
  EXPECT_TRUE(LoadBlock(map, S("host" + Block(Compress(Entry("b", "bee") + Entry("a", "ay"))))));
  EXPECT_EQ(map.ListNames(), (std::vector<String>{"a", "b"}));
  EXPECT_EQ(map.Get("b"), "bee");
  const std::string payload = Compress(Entry("k", "v"));
  for (const std::string& file :
       {"host" + Block("not a zlib stream"), "host" + Block(Compress(Entry("", "v"))),
        std::string("a file without any block"), "host" + payload + Le32(0) + "OEM"}) {
    map.Set("stale", "x");
    EXPECT_FALSE(LoadBlock(map, S(file))) << file;
    EXPECT_FALSE(map.HasEntries()) << file;
  }
}

// Hosts of every kind the block code meets, each as a file the streamed functions work on and
// as the bytes the in-memory functions take.
std::vector<std::pair<std::string, std::string>> StreamedHosts() {
  std::vector<std::pair<std::string, std::string>> hosts;
  for (const char* name : {"sample_app64.exe", "sample_app64_signed.exe", "sample_app32_signed.exe",
                           "sample_app64_block_signed.exe"})
    hosts.emplace_back(name, Fixture(name));
  hosts.emplace_back("empty", "");
  hosts.emplace_back("plain with block", "host bytes" + Block(Compress(Entry("k", "v"))));
  Synthetic middle;  // a certificate table with bytes after it
  middle.certAt = 800;
  middle.certSize = 100;
  hosts.emplace_back("table in the middle", middle.Build() + Block(Compress(Entry("k", "v"))));
  // A program several times the copy buffer, with a block and then a certificate table after it.
  Synthetic large;
  large.size = (5u << 20) + 333;
  const std::string oldBlock = Block(Compress(Entry("old", std::string(70000, 'o'))));
  large.certAt = large.size + uint32_t(oldBlock.size());
  large.certSize = 1000;
  std::string program = large.Build();
  for (size_t i = 0x400; i < program.size(); i += 97) program[i] = char(i >> 3);
  hosts.emplace_back("large, block and certificate", program + oldBlock + std::string(1000, 'C'));
  return hosts;
}

TEST(StreamedFiles, GiveTheBytesOfTheInMemoryFunctions) {
  Vadu::Testing::TempFolder folder;
  const std::filesystem::path file = folder.Path() / "host.exe";
  const SettingsMap map = SampleMap();
  for (const auto& [name, bytes] : StreamedHosts()) {
    SCOPED_TRACE(name);
    Vadu::Testing::WriteFileBytes(file, bytes);
    String payload("unchanged");
    ASSERT_TRUE(ReadBlockOfFile(Vadu::Testing::Wide(file), &payload));
    EXPECT_EQ(Std(payload), Std(ExtractBlock(S(bytes))));

    ASSERT_TRUE(WriteBlockIntoFile(Vadu::Testing::Wide(file), map));
    const std::string embedded = Vadu::Testing::ReadFileBytes(file);
    EXPECT_TRUE(embedded == Std(AppendBlock(S(bytes), map))) << embedded.size();
    ASSERT_TRUE(ReadBlockOfFile(Vadu::Testing::Wide(file), &payload));
    EXPECT_EQ(Vadu::Inflate(payload), map.Serialize());

    Vadu::Testing::WriteFileBytes(file, bytes);
    ASSERT_TRUE(StripBlockFromFile(Vadu::Testing::Wide(file)));
    const std::string stripped = Vadu::Testing::ReadFileBytes(file);
    EXPECT_TRUE(stripped == Std(StripBlock(S(bytes))))
        << stripped.size() << " from " << bytes.size();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
  }
}

TEST(StreamedFiles, RefusedHostsAndMissingFilesStayAsTheyWere) {
  Vadu::Testing::TempFolder folder;
  const std::filesystem::path file = folder.Path() / "host.exe";
  // A PE header that a block would complete into a certificate entry (see above): refused.
  std::string value(256, '\xFF');
  value += char(119);
  SettingsMap map;
  map.Set("v", S(value));
  const uint32_t n = map.Save().Length();
  const uint32_t header = 70000 + n - 172;
  std::string host(70000, '.');
  host.replace(0, 2, "MZ");
  PutLe32(host, 0x3C, header);
  host.replace(header, 4, std::string("PE\0\0", 4));
  host[header + 24] = 0x0B;
  host[header + 25] = 0x02;
  PutLe32(host, header + 132, 16);
  Vadu::Testing::WriteFileBytes(file, host);
  EXPECT_FALSE(WriteBlockIntoFile(Vadu::Testing::Wide(file), map));
  EXPECT_EQ(Vadu::Testing::ReadFileBytes(file), host);

  const Vadu::WString missing = Vadu::Testing::Wide(folder.Path() / "missing.exe");
  String payload("unchanged");
  EXPECT_FALSE(ReadBlockOfFile(missing, &payload));
  EXPECT_EQ(payload, "unchanged");
  EXPECT_FALSE(WriteBlockIntoFile(missing, SampleMap()));
  EXPECT_FALSE(StripBlockFromFile(missing));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

// ---- Android packages ---------------------------------------------------------------------------

// A zip of stored files, written out by hand from the format, with a comment after its end record.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& files,
                const std::string& comment) {
  auto le16 = [](uint32_t value) { return Le32(value).substr(0, 2); };
  std::string out, directory;
  for (const auto& [name, data] : files) {
    const uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
    // Version 2.0, no flags, stored, 1980-01-01 00:00, CRC, sizes, name length, no extra field.
    const std::string fields = le16(20) + le16(0) + le16(0) + le16(0) + le16(0x21) + Le32(crc) +
                               Le32(uint32_t(data.size())) + Le32(uint32_t(data.size())) +
                               le16(uint32_t(name.size())) + le16(0);
    directory += "PK\x01\x02" + le16(20) + fields + le16(0) + le16(0) + le16(0) + Le32(0) +
                 Le32(uint32_t(out.size())) + name;
    out += "PK\x03\x04" + fields + name + data;
  }
  const uint32_t count = uint32_t(files.size());
  return out + directory + "PK\x05\x06" + le16(0) + le16(0) + le16(count) + le16(count) +
         Le32(uint32_t(directory.size())) + Le32(uint32_t(out.size())) +
         le16(uint32_t(comment.size())) + comment;
}

using Testing::AndroidEndRecord;

// Bytes that do not compress, a stored deflate block copies as they are.
std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

const std::vector<std::pair<std::string, std::string>> kPackageFiles = {
    {"AndroidManifest.xml", "manifest"}, {"classes.dex", "dex\n035"}};

TEST(AndroidPackages, TheBlockLivesInTheEndRecordsCommentAndReplacesAnOldOne) {
  const SettingsMap map = SampleMap();
  SettingsMap other;
  other.Set("n", "new");
  for (const std::string comment : {"", "the package's own comment"}) {
    SCOPED_TRACE(comment);
    const std::string zip = Zip(kPackageFiles, comment);
    const size_t record = zip.size() - 22 - comment.size();
    ASSERT_EQ(AndroidEndRecord(zip), record);

    const std::string out = Std(AppendBlock(S(zip), map, HostFormat::kAndroidPackage));
    // Everything up to the comment's length stays; the comment covers its old text and the
    // block, which still ends the file.
    EXPECT_EQ(AndroidEndRecord(out), record);
    EXPECT_EQ(out.substr(0, record + 20), zip.substr(0, record + 20));
    const std::string block = out.substr(zip.size());
    EXPECT_EQ(GetLe32(out, record + 20) & 0xFFFF, comment.size() + block.size());
    EXPECT_EQ(out.substr(record + 22, comment.size()), comment);
    EXPECT_EQ(block, Block(Std(map.Save())));
    SettingsMap loaded;
    EXPECT_TRUE(LoadBlock(loaded, S(out)));
    EXPECT_EQ(loaded.Serialize(), map.Serialize());

    // Appended after the record, as before, Android refuses the package.
    const std::string oldLayout = Std(AppendBlock(S(zip), map));
    EXPECT_EQ(AndroidEndRecord(oldLayout), std::string::npos);
    // Branding again, in either layout, gives what branding the package afresh gives.
    const std::string fresh = Std(AppendBlock(S(zip), other, HostFormat::kAndroidPackage));
    EXPECT_EQ(Std(AppendBlock(S(out), other, HostFormat::kAndroidPackage)), fresh);
    EXPECT_EQ(Std(AppendBlock(S(oldLayout), other, HostFormat::kAndroidPackage)), fresh);

    // The streamed write makes the same file.
    Vadu::Testing::TempFolder folder;
    const std::filesystem::path file = folder.Path() / "cam.apk";
    Vadu::Testing::WriteFileBytes(file, oldLayout);
    HostReport report;
    ASSERT_TRUE(InspectHostFile(Vadu::Testing::Wide(file), HostFormat::kAndroidPackage, &report));
    EXPECT_TRUE(report.problem.IsEmpty());
    EXPECT_FALSE(report.apkSigned);
    ASSERT_TRUE(WriteBlockIntoFile(Vadu::Testing::Wide(file), other, HostFormat::kAndroidPackage));
    EXPECT_EQ(Vadu::Testing::ReadFileBytes(file), fresh);
  }
  // A package that is not a zip takes the block after its bytes.
  EXPECT_EQ(Std(AppendBlock(S("not a zip"), map, HostFormat::kAndroidPackage)),
            "not a zip" + Block(Std(map.Save())));
}

TEST(AndroidPackages, ABlockTooLargeIsRefusedAndNoneHoldsTheRecordSignature) {
  Vadu::Testing::TempFolder folder;
  const std::filesystem::path file = folder.Path() / "cam.apk";
  // A block that fits alone fits with a comment up to the limit, and not one byte more.
  SettingsMap large;
  large.Set("noise.bin", S(Noise(60000, 1)));
  const uint32_t block = large.Save().Length() + 7;
  ASSERT_LT(block, 65534u);
  for (const uint32_t comment : {65534 - block, 65534 - block + 1}) {
    const std::string zip = Zip(kPackageFiles, std::string(comment, 'c'));
    const std::string out = Std(AppendBlock(S(zip), large, HostFormat::kAndroidPackage));
    Vadu::Testing::WriteFileBytes(file, zip);
    const BlockWrite write =
        WriteBlockIntoFile(Vadu::Testing::Wide(file), large, HostFormat::kAndroidPackage);
    if (comment + block <= 65534) {
      EXPECT_NE(AndroidEndRecord(out), std::string::npos);
      EXPECT_TRUE(write.written);
      EXPECT_EQ(Vadu::Testing::ReadFileBytes(file), out);
    } else {
      EXPECT_TRUE(out.empty());
      EXPECT_FALSE(write.written);
      EXPECT_EQ(Std(write.problem), "resources too large for an Android package: " +
                                        std::to_string(comment + block) + " bytes, at most 65534");
      EXPECT_EQ(Vadu::Testing::ReadFileBytes(file), zip);
    }
  }

  // Resources whose stored bytes hold the record's signature: compressed as usual, the block
  // would hold it too, and Android would take it for the record.
  std::string noise = Noise(20000, 2);
  noise.replace(10000, 4, "PK\x05\x06");
  SettingsMap signature;
  signature.Set("noise.bin", S(noise));
  ASSERT_NE(Std(signature.Save()).find("PK\x05\x06"), std::string::npos);
  const std::string zip = Zip(kPackageFiles, "");
  const std::string out = Std(AppendBlock(S(zip), signature, HostFormat::kAndroidPackage));
  EXPECT_EQ(AndroidEndRecord(out), zip.size() - 22);
  EXPECT_EQ(out.find("PK\x05\x06", zip.size() - 21), std::string::npos);
  SettingsMap loaded;
  EXPECT_TRUE(LoadBlock(loaded, S(out)));
  EXPECT_EQ(Std(loaded.Get("noise.bin")), noise);
}

}  // namespace
}  // namespace Zentu
