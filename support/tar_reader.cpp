#include "support/tar_reader.h"

#include <algorithm>
#include <cstring>

namespace Vadu {

namespace {

// Types whose size field says nothing of data: no data follows their header (as Python's tarfile
// reads them; writers store 0 there).
bool HasNoData(char type) {
  switch (type) {
    case TarType::kHardLink:
    case TarType::kSymbolicLink:
    case '3':  // character device
    case '4':  // block device
    case TarType::kDirectory:
    case '6':  // FIFO
      return true;
    default:
      return false;
  }
}

// A pax number: decimal digits only.
std::optional<uint64_t> PaxNumber(const String& text) {
  if (text.IsEmpty() || text.Length() > 19) return std::nullopt;
  uint64_t value = 0;
  for (uint32_t k = 0; k < text.Length(); ++k) {
    if (text[k] < '0' || text[k] > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[k] - '0');
  }
  return value;
}

// A GNU long name or link: the data up to its first zero byte.
String UpToZero(const String& data) {
  const uint32_t zero = data.Find('\0');
  return zero == String::npos ? data : data.Substring(0, zero);
}

}  // namespace

bool TarEntry::IsRegularFile() const {
  return type == TarType::kRegular || type == TarType::kRegularOld ||
         type == TarType::kContiguous || type == TarType::kGnuSparse;
}

TarReader::TarReader(EntryHandler onEntry, DataHandler onData)
    : onEntry_(std::move(onEntry)), onData_(std::move(onData)) {}

bool TarReader::Fail(const String& why) {
  if (failure_.IsEmpty()) failure_ = why + " at byte " + String::FromNumber(position_);
  return false;
}

bool TarReader::Feed(const char* data, size_t count) {
  if (!failure_.IsEmpty()) return false;
  while (count > 0) {
    switch (state_) {
      case State::kAfterEnd:
        position_ += count;
        return true;
      case State::kHeader:
      case State::kSparseExtension: {
        const uint32_t take =
            static_cast<uint32_t>(std::min<size_t>(count, kTarBlockSize - filled_));
        std::memcpy(block_ + filled_, data, take);
        filled_ += take, data += take, count -= take;
        if (filled_ < kTarBlockSize) return true;
        filled_ = 0;
        if (headers_.Length() + kTarBlockSize > kMaxTarHeaderGroup)
          return Fail("headers of one entry too large");
        if (!(state_ == State::kHeader ? TakeHeader() : TakeSparseExtension())) return false;
        break;
      }
      case State::kExtensionData: {
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(count, extensionLeft_));
        headers_.Append(data, take);
        const uint64_t stored = extensionSize_ - extension_.Length();
        extension_.Append(data, static_cast<uint32_t>(std::min<uint64_t>(take, stored)));
        extensionLeft_ -= take, position_ += take, data += take, count -= take;
        if (extensionLeft_ == 0 && !TakeExtension()) return false;
        break;
      }
      case State::kData:
      case State::kPadding: {
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(count, left_));
        if (state_ == State::kData && onData_ && take > 0 && !onData_(entry_, data, take))
          return Fail("stopped");
        left_ -= take, position_ += take, data += take, count -= take;
        if (left_ > 0) break;
        if (state_ == State::kData) {
          state_ = State::kPadding;
          left_ = entry_.end - entry_.data - entry_.size;
        }
        if (left_ == 0) state_ = State::kHeader;
        break;
      }
    }
  }
  return true;
}

bool TarReader::Finish() {
  if (!failure_.IsEmpty()) return false;
  if (state_ == State::kAfterEnd || (state_ == State::kHeader && filled_ == 0 && !inEntry_))
    return true;
  return Fail("archive cut short");
}

bool TarReader::TakeHeader() {
  const TarHeaderView header(block_);
  if (header.IsZero()) {
    if (inEntry_) return Fail("extended header without its entry");
    endOfEntries_ = position_;
    position_ += kTarBlockSize;
    state_ = State::kAfterEnd;
    return true;
  }
  if (!header.ChecksumMatches()) return Fail("bad header checksum");
  const std::optional<uint64_t> size = header.Number(TarFields::kSize);
  if (!size) return Fail("bad size field");
  if (!inEntry_) {
    inEntry_ = true;
    entry_ = TarEntry();
    entry_.start = position_;
  }
  headers_.Append(reinterpret_cast<const char*>(block_), kTarBlockSize);
  const char type = header.Type();
  if (type == TarType::kPaxExtended || type == TarType::kGnuLongName ||
      type == TarType::kGnuLongLink) {
    if (*size > kMaxTarExtensionSize) return Fail("extended header too large");
    position_ += kTarBlockSize;
    extensionType_ = type;
    extensionSize_ = *size;
    extensionLeft_ = *TarPaddedSize(*size);
    if (headers_.Length() + extensionLeft_ > kMaxTarHeaderGroup)
      return Fail("headers of one entry too large");
    extension_ = String();
    state_ = State::kExtensionData;
    return extensionLeft_ > 0 || TakeExtension();
  }

  // The entry's own header.
  entry_.header = position_;
  position_ += kTarBlockSize;
  entry_.type = type;
  entry_.dialect = header.Dialect();
  entry_.name = header.Name();
  entry_.linkName = header.Text(TarFields::kLinkName);
  entry_.size = HasNoData(type) ? 0 : *size;
  entry_.sparse = type == TarType::kGnuSparse;
  if (longName_) entry_.name = *longName_, entry_.gnuLongName = true;
  if (longLink_) entry_.linkName = *longLink_, entry_.gnuLongLink = true;
  std::optional<String> sparseName;
  for (const PaxRecord& record : pax_) {
    if (record.key == "path") {
      entry_.name = record.value, entry_.paxPath = true;
    } else if (record.key == "linkpath") {
      entry_.linkName = record.value, entry_.paxLinkPath = true;
    } else if (record.key == "size") {
      const std::optional<uint64_t> paxSize = PaxNumber(record.value);
      if (!paxSize) return Fail("bad pax size");
      if (!HasNoData(type)) entry_.size = *paxSize;
      entry_.paxSize = true;
    } else if (record.key.StartsWith("GNU.sparse.")) {
      entry_.sparse = true;
      if (record.key == "GNU.sparse.name") sparseName = record.value;
    }
  }
  if (sparseName) entry_.name = *sparseName;
  if (type == TarType::kGnuSparse && block_[TarFields::kGnuIsExtended.offset]) {
    state_ = State::kSparseExtension;
    return true;
  }
  return StartData();
}

bool TarReader::TakeSparseExtension() {
  // Another block of an old GNU sparse map; the last one says that no more follow.
  headers_.Append(reinterpret_cast<const char*>(block_), kTarBlockSize);
  position_ += kTarBlockSize;
  return block_[TarFields::kGnuExtensionIsExtended.offset] ? true : StartData();
}

bool TarReader::TakeExtension() {
  if (extensionType_ == TarType::kPaxExtended) {
    std::optional<std::vector<PaxRecord>> records = ParsePaxRecords(extension_);
    if (!records) return Fail("malformed pax header");
    // Records of a later header win over those of an earlier one.
    pax_.insert(pax_.end(), records->begin(), records->end());
  } else if (extensionType_ == TarType::kGnuLongName) {
    longName_ = UpToZero(extension_);
  } else {
    longLink_ = UpToZero(extension_);
  }
  extension_ = String();
  state_ = State::kHeader;
  return true;
}

bool TarReader::StartData() {
  entry_.data = position_;
  const std::optional<uint64_t> padded = TarPaddedSize(entry_.size);
  if (!padded || *padded > UINT64_MAX - position_) return Fail("bad size field");
  entry_.end = position_ + *padded;
  const bool handled = !onEntry_ || onEntry_(entry_, headers_);
  headers_ = String();
  pax_.clear();
  longName_.reset();
  longLink_.reset();
  inEntry_ = false;
  if (!handled) return Fail("stopped");
  state_ = State::kData;
  left_ = entry_.size;
  if (left_ == 0) {
    left_ = *padded;
    state_ = left_ == 0 ? State::kHeader : State::kPadding;
  }
  return true;
}

}  // namespace Vadu
