// Coding whole "RTR" frames through the handle's data buffer.
//
// The encoder codes blocks into a small staging area and moves it into the
// stream writer's chunks whenever it runs low, so the ring is asked once per
// few thousand bytes. The decoder reads through the stream reader in chunks
// of at least one block's worst length; the last bytes of the stream are
// copied into a zero-padded area so a block that runs off the end is caught
// without any bounds check in the block decoder.
#ifndef CINELARK_COMPRESSION_CODECS_RTR_RTR_FRAME_H
#define CINELARK_COMPRESSION_CODECS_RTR_RTR_FRAME_H

#include <cinelark/cl.h>

#include <cstdint>

#include "rtr_block.h"
#include "rtr_layout.h"

namespace cl::codecs::rtr {

// Codes a frame of the layout's internal format into the data buffer and
// returns the bytes written; -18 when the buffer has no room for them all.
int64_t EncodeFrame(CL_Handle handle, const char* label, const uint8_t* frame, const Layout& layout, int quality);

// Reads a frame's codes from the data buffer, keeping count of the bytes
// used; only the bytes used are ever released, so a following frame's codes
// stay in the buffer for the next call.
class CodeReader {
 public:
  explicit CodeReader(CL_BufferHdl data);
  // Releases the bytes used since the last release.
  void Finish();
  int64_t consumed() const { return consumed_; }

  // Decodes a frame into the layout's samples at frame. Returns 0 when every
  // block was whole; 1 when some were damaged or the stream ended early (the
  // blocks not reached keep their old samples).
  int DecodeFrame(const Layout& layout, int quality, uint8_t* frame);

 private:
  // The next kMaxBlockBytes readable bytes, or null at the end of the data.
  const uint8_t* Next();
  bool Refill();

  CL_BufferHdl data_;
  const uint8_t* at_ = nullptr;
  const uint8_t* end_ = nullptr;  // the end of the real bytes at at_
  bool last_ = false;             // at_ is in the padded copy of the last bytes
  int ask_ = 0;                   // bytes to wait for: a block, or the whole buffer
  int unreleased_ = 0;
  int64_t consumed_ = 0;
  uint8_t tail_[2 * kMaxBlockBytes + 1] = {};
};

}  // namespace cl::codecs::rtr

#endif
