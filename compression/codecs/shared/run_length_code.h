// The byte-oriented run-length code of the "RLE" and "RLE24" codecs.
//
// A frame is its pixels in row order, coded as items, each a control byte c
// and pixel values; nothing separates frames and nothing ends one:
//
//   0x01-0xBF  a run: the one value that follows, repeated c times (1..191)
//   0xC1-0xFF  a literal group of c & 0x3F pixels (1..63), their values follow
//   0x00       never written; read as an empty run (its value is skipped)
//   0xC0       never written; read as a group of one pixel
//
// A value is the pixel's low Traits::kValueBytes bytes, least significant
// first. Traits describe one pixel type:
//   Pixel                  the in-memory pixel (uint8_t or uint32_t)
//   kPixelBytes            bytes of a pixel in memory
//   kValueBytes            bytes of a value in the code
//   Load(p)                the pixel at p (any alignment)
//   Put(out, v)            writes v's value bytes at out
//   Value(in)              the pixel a value at in stands for
//   Fill(frame, v, n)      writes n pixels v
//   CopyValues(frame, in, n)  writes the n pixels of n values
#ifndef CINELARK_COMPRESSION_CODECS_SHARED_RUN_LENGTH_CODE_H
#define CINELARK_COMPRESSION_CODECS_SHARED_RUN_LENGTH_CODE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace cl::codecs {

constexpr int kLongestRun = 191;
constexpr int kLargestGroup = 63;
constexpr uint8_t kGroupFlag = 0xC0;

// Bytes of code a frame of count pixels can need at most: every pixel a run
// of one (control byte and value) is the worst case; literal groups and
// longer runs only do better.
template <class Traits>
constexpr size_t WorstCodeBytes(size_t count) {
  return count * (1 + Traits::kValueBytes);
}

// Codes count pixels into out, which must hold WorstCodeBytes(count) bytes,
// and returns the bytes written.
//
// At each position the run of equal pixels starting there is measured (up to
// 191). A pixel alone, after an item that was itself a single pixel, joins
// the open item as a literal group while the group stays below 64 pixels: a
// run of one turns into a group of two, and so on. Everything else is coded
// as a run, which opens a new item. The first pixel of a frame opens a group
// straight away when it stands alone.
template <class Traits>
size_t EncodeFrame(const uint8_t* pixels, size_t count, uint8_t* out) {
  using Pixel = typename Traits::Pixel;
  constexpr size_t kStep = Traits::kPixelBytes;
  size_t o = 0;
  size_t control = 0;  // where the open item's control byte is
  int group = 0;       // pixels in the open item
  size_t previous = 0; // run length of the last item coded
  for (size_t i = 0; i < count;) {
    const Pixel v = Traits::Load(pixels + i * kStep);
    const size_t limit = std::min<size_t>(count - i, kLongestRun);
    size_t run = 1;
    while (run < limit && Traits::Load(pixels + (i + run) * kStep) == v) ++run;
    if (run < 2 && previous < 2 && group < kLargestGroup) {
      if (i == 0) control = o++;
      out[control] = uint8_t(kGroupFlag | ++group);
    } else {
      control = o;
      out[o++] = uint8_t(run);
      group = 1;
    }
    Traits::Put(out + o, v);
    o += Traits::kValueBytes;
    previous = run;
    i += run;
  }
  return o;
}

}  // namespace cl::codecs

#endif
