// The decoder of one MPEG-1 video stream: it takes the stream's bytes from a
// source, walks its start codes, decodes pictures into three stores and
// hands them out in display order.
//
// Display order. A picture's display number is its temporal reference plus
// the number of the first picture of its group (one past the largest number
// seen before the group header). I and P pictures are references: decoding
// one makes it the newer reference and the previous newer one the older. A
// B picture is decoded from both and delivered at once. The newer reference
// is delivered when a picture with a larger display number arrives (it
// then comes next in display order), or at the end of the sequence, and
// never twice. Skipping B pictures (speed above 1) leaves their slices
// unread; skipping P pictures too (speed above 3) leaves the references as
// they are, and a reference that is not an I picture is then not delivered.
//
// Each decoder owns all its state, so any number of streams may be decoded
// at once.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_STREAM_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_STREAM_H

#include <cstddef>
#include <cstdint>

#include "headers.h"
#include "slice.h"

namespace cl::codecs::mpeg {

// Where the stream's bytes come from: Pull copies up to max bytes to dst
// and returns how many, 0 when the stream has ended.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual size_t Pull(uint8_t* dst, size_t max) = 0;
};

// What went wrong on the way, counted since the last TakeProblems.
struct Problems {
  int repeatedSequenceHeaders = 0;  // a sequence header inside the stream
  int damagedSlices = 0;            // slices cut short by bad codes
  int dPictures = 0;                // D pictures, which are not decoded
};

struct Delivered {
  const Store* store = nullptr;  // null: the sequence ended first
  int type = 0;                  // 1 I, 2 P, 3 B
  int displayNumber = 0;
};

class StreamDecoder {
 public:
  StreamDecoder() = default;
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  enum Status { kOk = 0, kNotSequence = -1, kNoMemory = -2 };

  // Starts a sequence at the stream's first start code: kNotSequence when
  // that is not a sequence header (or its fields are invalid), kNoMemory
  // when the stores cannot be had.
  Status Start(ByteSource& source);

  // Decodes until a picture is due and returns it; a null store when the
  // sequence ended first, or the data did. Running out of data ends the
  // sequence only when dataEndsSequence is set; otherwise more may come
  // with a later call. kNoMemory in *status when the stream area could not
  // grow.
  Delivered Next(ByteSource& source, bool dataEndsSequence, Status* status);

  // Takes every byte the source holds now (a plain-memory piece that is
  // about to go away).
  bool Drain(ByteSource& source) { return Ensure(len_ - pos_ + (size_t(1) << 40), source) || !memoryFailed_; }

  // Lets the source be asked again after it once ran dry (a new call may
  // bring more bytes).
  void ResumeSource() { sourceEnded_ = false; }

  void SetSkipping(bool skipB, bool skipP) {
    skipB_ = skipB;
    skipP_ = skipP;
  }

  const SequenceHeader& sequence() const { return sequence_; }
  const Geometry& geometry() const { return geometry_; }
  bool ended() const { return ended_; }
  // Counts, from -1, the references that came due and the B pictures
  // delivered.
  int lastFrameIndex() const { return lastFrameIndex_; }

  Problems TakeProblems() {
    Problems p = problems_;
    problems_ = {};
    return p;
  }

 private:
  // The stream area: bytes [pos_, len_) not yet consumed, followed by at
  // least kReadSlack zero bytes.
  bool Ensure(size_t want, ByteSource& source);
  // Offset from pos_ of the next 00 00 01 xx at or after from; -1 when the
  // data ends first (or memory runs out: then memoryFailed_).
  int64_t FindStartCode(size_t from, ByteSource& source);
  uint8_t CodeAt(int64_t offset) const { return area_[pos_ + size_t(offset) + 3]; }

  Delivered Picture(ByteSource& source, Status* status);
  Delivered EndOfSequence();
  bool DueReference(Delivered* out);
  void DecodePicture(const PictureHeader& header, const int64_t* slices, size_t count, int64_t end,
                     const Store& target, const Store& forward, const Store& backward);

  uint8_t* area_ = nullptr;
  size_t capacity_ = 0;
  size_t len_ = 0;
  size_t pos_ = 0;
  bool sourceEnded_ = false;
  bool memoryFailed_ = false;

  SequenceHeader sequence_;
  Geometry geometry_;
  uint8_t* storeBlock_ = nullptr;
  Store stores_[3];
  int older_ = 0;
  int newer_ = 1;
  int spare_ = 2;
  int olderType_ = 0;
  int newerType_ = 0;
  bool haveNewer_ = false;
  bool newerDue_ = false;

  int gopBase_ = -1;
  int maxFrameNo_ = -1;
  int newestRefNo_ = 0;
  int lastFrameIndex_ = -1;
  bool ended_ = false;
  bool skipB_ = false;
  bool skipP_ = false;
  Problems problems_;

  int64_t* slices_ = nullptr;  // slice offsets of the current picture
  size_t sliceCapacity_ = 0;
};

}  // namespace cl::codecs::mpeg

#endif
