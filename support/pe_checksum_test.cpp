#include "support/pe_checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace Vadu {
namespace {

// The checksum as Windows' image helper computes it, word by word over the whole file.
uint32_t WordByWord(const std::string& file, size_t fieldAt) {
  auto byte = [&](size_t i) -> uint32_t {
    if (i >= file.size() || (i >= fieldAt && i < fieldAt + 4)) return 0;
    return static_cast<unsigned char>(file[i]);
  };
  uint32_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    sum += byte(i) | byte(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<uint32_t>(file.size());
}

// The file added in pieces cut at the given places, last piece first, the field as zeros.
uint32_t InPieces(std::string file, size_t fieldAt, const std::vector<size_t>& cuts) {
  for (size_t i = fieldAt; i < fieldAt + 4 && i < file.size(); ++i) file[i] = 0;
  PeChecksum sum, other;
  size_t end = file.size();
  for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
    // Every other piece goes through a second sum, as a piece summed on another thread would.
    (end % 3 ? sum : other).Add(*cut, file.data() + *cut, end - *cut);
    end = *cut;
  }
  sum.Add(0, file.data(), end);
  sum.Add(other);
  return sum.Value(file.size());
}

TEST(PeChecksum, PiecesInAnyOrderGiveTheWholeFilesChecksum) {
  std::mt19937 random(25);
  for (size_t size : {0, 1, 2, 3, 7, 100, 4097, 100001}) {
    std::string file(size, '\0');
    for (char& c : file) c = static_cast<char>(random());
    const size_t fieldAt = size > 200 ? 0x98 : 0;
    std::vector<size_t> cuts;
    for (size_t at = 1; at < size; at += 1 + random() % 5000) cuts.push_back(at);
    EXPECT_EQ(InPieces(file, fieldAt, cuts), WordByWord(file, fieldAt)) << size;
    EXPECT_EQ(InPieces(file, fieldAt, {}), WordByWord(file, fieldAt)) << size;
  }
  // Carries fold back in; a sum that is a multiple of 0xFFFF folds to 0xFFFF, not to 0; zeros
  // sum to 0; a lone last byte is the low half of a word.
  for (const std::string& file : {std::string("\xFF\xFF\x01\x00", 4), std::string("\xFF\xFF", 2),
                                  std::string("\xFE\xFF\x01", 3), std::string(6, '\0'),
                                  std::string("\x00\x80\x00\x80\x00\x80\x00\x80\xFF", 9)}) {
    EXPECT_EQ(InPieces(file, 1000, {1}), WordByWord(file, 1000)) << file.size();
    EXPECT_EQ(InPieces(file, 1000, {}), WordByWord(file, 1000)) << file.size();
  }
  EXPECT_EQ(WordByWord(std::string("\xFF\xFF", 2), 1000), 0xFFFFu + 2);
}

}  // namespace
}  // namespace Vadu
