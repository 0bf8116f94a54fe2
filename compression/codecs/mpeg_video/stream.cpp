// Start codes, the display-order rules and the picture stores.
#include "stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bit_reader.h"

namespace cl::codecs::mpeg {
namespace {

// Bytes asked of the source at a time.
constexpr size_t kPullBytes = 64 * 1024;

}  // namespace

StreamDecoder::~StreamDecoder() {
  std::free(area_);
  std::free(storeBlock_);
  std::free(slices_);
}

bool StreamDecoder::Ensure(size_t want, ByteSource& source) {
  while (len_ - pos_ < want && !sourceEnded_) {
    if (pos_ > 0 && pos_ >= len_ / 2) {
      // Keep only the unread bytes, at the start of the area.
      std::memmove(area_, area_ + pos_, len_ - pos_);
      len_ -= pos_;
      pos_ = 0;
      std::memset(area_ + len_, 0, capacity_ - len_);
    }
    const size_t needed = len_ + kPullBytes + kReadSlack;
    if (needed > capacity_) {
      const size_t grown = std::max(needed, capacity_ * 2);
      uint8_t* bigger = static_cast<uint8_t*>(std::realloc(area_, grown));
      if (bigger == nullptr) {
        memoryFailed_ = true;
        return false;
      }
      area_ = bigger;
      std::memset(area_ + len_, 0, grown - len_);
      capacity_ = grown;
    }
    const size_t got = source.Pull(area_ + len_, kPullBytes);
    if (got == 0) sourceEnded_ = true;
    len_ += std::min(got, kPullBytes);
  }
  return len_ - pos_ >= want;
}

int64_t StreamDecoder::FindStartCode(size_t from, ByteSource& source) {
  for (;;) {
    const uint8_t* base = area_ + pos_;
    const size_t available = len_ - pos_;
    size_t i = from + 2;
    while (i + 1 < available) {
      const void* one = std::memchr(base + i, 0x01, available - 1 - i);
      if (one == nullptr) break;
      i = size_t(static_cast<const uint8_t*>(one) - base);
      if (base[i - 1] == 0 && base[i - 2] == 0) return int64_t(i - 2);
      ++i;
    }
    from = available >= 3 ? std::max(from, available - 3) : from;
    if (!Ensure(available + 1, source)) return -1;
  }
}

StreamDecoder::Status StreamDecoder::Start(ByteSource& source) {
  const int64_t at = FindStartCode(0, source);
  if (memoryFailed_) return kNoMemory;
  if (at < 0 || CodeAt(at) != kSequenceHeader) return kNotSequence;
  pos_ += size_t(at) + 4;
  Ensure(8 + 128, source);
  if (memoryFailed_) return kNoMemory;
  SequenceHeader s;
  if (!ParseSequenceHeader({area_ + pos_, len_ - pos_}, &s)) return kNotSequence;
  sequence_ = s;
  geometry_.mbWidth = (s.width + 15) / 16;
  geometry_.mbHeight = (s.height + 15) / 16;
  const size_t luma = size_t(geometry_.lumaStride()) * size_t(geometry_.mbHeight) * 16;
  const size_t storeBytes = luma + luma / 2;
  std::free(storeBlock_);
  storeBlock_ = static_cast<uint8_t*>(std::malloc(storeBytes * 3));
  if (storeBlock_ == nullptr) return kNoMemory;
  // Grey stores: what a picture that refers to nothing yet predicts from.
  std::memset(storeBlock_, 128, storeBytes * 3);
  for (int k = 0; k < 3; ++k) {
    uint8_t* s0 = storeBlock_ + storeBytes * size_t(k);
    stores_[k] = {s0, s0 + luma, s0 + luma + luma / 4};
  }
  older_ = 0;
  newer_ = 1;
  spare_ = 2;
  olderType_ = newerType_ = 0;
  haveNewer_ = newerDue_ = false;
  gopBase_ = -1;
  maxFrameNo_ = -1;
  newestRefNo_ = 0;
  lastFrameIndex_ = -1;
  ended_ = false;
  return kOk;
}

Delivered StreamDecoder::Next(ByteSource& source, bool dataEndsSequence, Status* status) {
  *status = kOk;
  for (;;) {
    const int64_t at = FindStartCode(0, source);
    if (memoryFailed_) {
      *status = kNoMemory;
      return {};
    }
    if (at < 0) {
      pos_ = std::max(pos_, len_ >= 3 ? len_ - 3 : pos_);
      return dataEndsSequence ? EndOfSequence() : Delivered{};
    }
    const uint8_t code = CodeAt(at);
    pos_ += size_t(at) + 4;
    if (code == kPictureStart) {
      Delivered d = Picture(source, status);
      if (d.store != nullptr || *status != kOk) return d;
    } else if (code == kSequenceEnd) {
      return EndOfSequence();
    } else if (code == kGroupStart) {
      Ensure(4, source);
      GroupHeader g;
      if (ParseGroupHeader({area_ + pos_, len_ - pos_}, &g)) gopBase_ = maxFrameNo_ + 1;
    } else if (code == kSequenceHeader) {
      ++problems_.repeatedSequenceHeaders;
      Ensure(8 + 128, source);
      SequenceHeader s;
      // A repeated header may load new matrices; the size stays the first's.
      if (ParseSequenceHeader({area_ + pos_, len_ - pos_}, &s)) {
        std::memcpy(sequence_.intraMatrix, s.intraMatrix, 64);
        std::memcpy(sequence_.nonIntraMatrix, s.nonIntraMatrix, 64);
      }
    }
  }
}

Delivered StreamDecoder::EndOfSequence() {
  ended_ = true;
  Delivered d;
  DueReference(&d);
  return d;
}

// The newer reference comes due: it is delivered unless P pictures are
// being skipped and it is not an I picture, and counted either way.
bool StreamDecoder::DueReference(Delivered* out) {
  if (!haveNewer_ || newerDue_) return false;
  newerDue_ = true;
  ++lastFrameIndex_;
  if (skipP_ && newerType_ != kIPicture) return false;
  out->store = &stores_[newer_];
  out->type = newerType_ == kIPicture ? kIPicture : kPPicture;
  out->displayNumber = newestRefNo_;
  return true;
}

Delivered StreamDecoder::Picture(ByteSource& source, Status* status) {
  // The picture runs to the first start code after its slices; extension
  // and user data before the first slice belong to its header.
  size_t count = 0;
  int64_t end = -1;
  int64_t headerEnd = -1;
  for (int64_t from = 0;;) {
    const int64_t at = FindStartCode(size_t(from), source);
    if (memoryFailed_) {
      *status = kNoMemory;
      return {};
    }
    if (at < 0) {
      end = int64_t(len_ - pos_);
      break;
    }
    const uint8_t code = CodeAt(at);
    if (headerEnd < 0) headerEnd = at;
    if (IsSlice(code)) {
      if (count == sliceCapacity_) {
        const size_t grown = std::max<size_t>(64, sliceCapacity_ * 2);
        auto* bigger = static_cast<int64_t*>(std::realloc(slices_, grown * sizeof(int64_t)));
        if (bigger == nullptr) {
          *status = kNoMemory;
          return {};
        }
        slices_ = bigger;
        sliceCapacity_ = grown;
      }
      slices_[count++] = at;
    } else if (count > 0 || (code != kExtension && code != kUserData)) {
      end = at;
      break;
    }
    from = at + 4;
  }
  if (headerEnd < 0) headerEnd = end;

  PictureHeader header;
  const bool parsed = ParsePictureHeader({area_ + pos_, size_t(headerEnd)}, &header);
  Delivered d;
  if (!parsed) {
    ++problems_.damagedSlices;
  } else if (header.type == kDPicture) {
    ++problems_.dPictures;
  } else {
    const int display = header.temporalReference + std::max(gopBase_, 0);
    maxFrameNo_ = std::max(maxFrameNo_, display);
    if (display > newestRefNo_) DueReference(&d);
    if (header.type == kBPicture) {
      if (!skipB_ && !skipP_ && d.store == nullptr) {
        DecodePicture(header, slices_, count, end, stores_[spare_], stores_[older_], stores_[newer_]);
        ++lastFrameIndex_;
        d = {&stores_[spare_], kBPicture, display};
      }
    } else if (header.type == kPPicture && skipP_) {
      olderType_ = newerType_;
      newerType_ = kPPicture;
    } else {
      DecodePicture(header, slices_, count, end, stores_[spare_], stores_[newer_], stores_[newer_]);
      const int freed = older_;
      older_ = newer_;
      newer_ = spare_;
      spare_ = freed;
      olderType_ = newerType_;
      newerType_ = header.type;
      haveNewer_ = true;
      newerDue_ = false;
      newestRefNo_ = display;
    }
  }
  pos_ += size_t(end);
  return d;
}

void StreamDecoder::DecodePicture(const PictureHeader& header, const int64_t* slices, size_t count, int64_t end,
                                  const Store& target, const Store& forward, const Store& backward) {
  PictureContext context;
  context.header = &header;
  context.intraMatrix = sequence_.intraMatrix;
  context.nonIntraMatrix = sequence_.nonIntraMatrix;
  context.geometry = geometry_;
  context.target = target;
  context.forward = forward;
  context.backward = backward;
  for (size_t k = 0; k < count; ++k) {
    const size_t start = pos_ + size_t(slices[k]) + 4;
    const size_t stop = pos_ + size_t(k + 1 < count ? slices[k + 1] : end);
    BitReader bits(area_ + start, stop - start);
    if (!DecodeSlice(context, CodeAt(slices[k]), bits)) ++problems_.damagedSlices;
  }
}

}  // namespace cl::codecs::mpeg
