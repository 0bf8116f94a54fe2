// "Uncompressed Audio": after the 64-byte stream header, the caller's
// interleaved frames as they are, except that samples of 16, 24 and 32 bits
// are stored big-endian like every multi-byte value of a compressed stream
// (native in memory). A frame is "Number of components" samples of
// "Bits per component" bits, the frame size the library computes for audio.
#include <array>

#include "../shared/audio_pieces.h"
#include "uncompressed_state.h"

namespace cl::codecs::uncompressed {
namespace {

struct AudioLayout {
  int frameBytes = 0;
  int sampleBytes = 0;  // width of the values swapped at the stream boundary
};

int ReadAudioLayout(CL_Handle handle, const char* label, AudioLayout* l) {
  constexpr int32_t ids[] = {CL_ORIGINAL_FORMAT, CL_INTERNAL_FORMAT, CL_BITS_PER_COMPONENT};
  std::array<int32_t, 3> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  // Samples are stored in the caller's layout. The audio "Internal format"
  // range stops at 1 (stereo), so wider layouts leave -1 in place.
  if (v[1] == -1 && v[0] >= 0 && v[0] <= 1) StoreParam(handle, CL_INTERNAL_FORMAT, v[0]);
  l->frameBytes = FrameSize(CL_AUDIO, v[0], 1, 1, v[2]);
  if (l->frameBytes < 1 || l->frameBytes > kMaxAudioFrameBytes) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: invalid original format %d.\n", label, v[0]);
    return CL_ERR_NO_DATA;
  }
  const int bits = v[2];
  l->sampleBytes = (bits == 16 || bits == 24 || bits == 32) ? bits / 8 : 0;
  return 0;
}

}  // namespace

int CompressAudio(CL_Handle handle, int frames, void*, int* compressedSize, void* compressedData) {
  const char* label = "clCompress Uncompressed";
  AudioLayout l;
  if (int bad = ReadAudioLayout(handle, label, &l)) return bad;
  if (int bad = PutHeaderOnce(handle, label, compressedSize)) return bad;
  auto store = [l](const uint8_t* in, uint8_t* out, int count) {
    const size_t bytes = size_t(count) * size_t(l.frameBytes);
    std::memcpy(out, in, bytes);
    SwapValues(out, bytes, l.sampleBytes);
  };
  return EncodeAudioFrames(handle, label, frames, l.frameBytes, store, compressedSize, compressedData != nullptr);
}

int DecompressAudio(CL_Handle handle, int frames, int, void*, void*) {
  const char* label = "clDecompress Uncompressed";
  if (int bad = TakeHeaderOnce(handle, label)) return bad;
  AudioLayout l;
  if (int bad = ReadAudioLayout(handle, label, &l)) return bad;
  auto load = [l](const uint8_t* in, uint8_t* out, int count) {
    const size_t bytes = size_t(count) * size_t(l.frameBytes);
    std::memcpy(out, in, bytes);
    SwapValues(out, bytes, l.sampleBytes);
  };
  return DecodeAudioFrames(handle, label, frames, l.frameBytes, load);
}

}  // namespace cl::codecs::uncompressed
