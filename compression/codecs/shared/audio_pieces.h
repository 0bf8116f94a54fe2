// Moving interleaved audio frames between the frame buffer and the data
// buffer in contiguous pieces, for the sample codecs (uncompressed audio and
// G.711).
//
// A piece is as many whole frames as lie contiguously on both sides. The
// frame buffer always holds whole frames (its ring is a multiple of the frame
// size) but the data buffer's free or valid bytes may break off at the end of
// its memory in the middle of a coded frame; that one frame is coded through
// a small staging copy and split across the wrap, so nothing is ever left
// half-moved. Each piece releases its frames and bytes before the next is
// asked for, so a producer or consumer on another thread sees progress.
#ifndef CINELARK_COMPRESSION_CODECS_SHARED_AUDIO_PIECES_H
#define CINELARK_COMPRESSION_CODECS_SHARED_AUDIO_PIECES_H

#include <cinelark/cl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "codec.h"

namespace cl::codecs {

// The largest coded or stored audio frame: five channels of 32-bit samples.
constexpr int kMaxAudioFrameBytes = 5 * 4;

// Codes up to frames whole frames from the frame buffer into codedBytes
// each in the data buffer, with code(in, out, count). Adds the
// bytes written to *written and returns the frames coded, or a negative code.
// A ring that fills up keeps the frames left for a later call; plain memory
// (the caller's compressed data) that fills up would lose them, so that is
// -18, as it is for video frames.
template <typename Code>
int EncodeAudioFrames(CL_Handle handle, const char* label, int frames, int codedBytes, Code code, int* written,
                      bool plainMemory) {
  void* memory = nullptr;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, &memory);
  int done = 0;
  while (done < frames) {
    void* src = nullptr;
    int frameWrap = 0;
    const int valid = clQueryValid(frameBuffer, 1, &src, &frameWrap);
    if (valid < 0) return valid;
    if (valid == 0) break;
    void* dst = nullptr;
    int dataWrap = 0;
    const int room = clQueryFree(data, codedBytes, &dst, &dataWrap);
    if (room < 0) return room;
    int n = std::min({valid, frames - done, room / codedBytes});
    if (n == 0) {
      if (room + dataWrap < codedBytes) {
        if (!plainMemory) break;
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", label,
                    (frames - done) * codedBytes, room + dataWrap);
        return CL_ERR_NO_DATA;
      }
      std::array<uint8_t, kMaxAudioFrameBytes> staged{};
      code(static_cast<const uint8_t*>(src), staged.data(), 1);
      std::memcpy(dst, staged.data(), size_t(room));
      std::memcpy(memory, staged.data() + room, size_t(codedBytes - room));
      n = 1;
    } else {
      code(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), n);
    }
    const int bytes = n * codedBytes;
    const int released = clUpdateTail(frameBuffer, n);
    if (released != n) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release frames (wanted %d, got %d).\n", label, n, released);
      return CL_ERR_NO_DATA;
    }
    const int moved = clUpdateHead(data, bytes);
    if (moved != bytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", label, bytes, moved);
      return CL_ERR_NO_DATA;
    }
    *written += bytes;
    done += n;
  }
  return done;
}

// Decodes up to frames frames of codedBytes each from the data buffer into
// whole frames of the frame buffer, with decode(in, out, count). Returns
// the frames added, or a negative code.
template <typename Decode>
int DecodeAudioFrames(CL_Handle handle, const char* label, int frames, int codedBytes, Decode decode) {
  void* memory = nullptr;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, &memory);
  int done = 0;
  while (done < frames) {
    void* dst = nullptr;
    int frameWrap = 0;
    const int room = clQueryFree(frameBuffer, 1, &dst, &frameWrap);
    if (room < 0) return room;
    if (room == 0) break;
    void* src = nullptr;
    int dataWrap = 0;
    const int valid = clQueryValid(data, codedBytes, &src, &dataWrap);
    if (valid < 0) return valid;
    int n = std::min({room, frames - done, valid / codedBytes});
    if (n == 0) {
      if (valid + dataWrap < codedBytes) break;
      std::array<uint8_t, kMaxAudioFrameBytes> staged{};
      std::memcpy(staged.data(), src, size_t(valid));
      std::memcpy(staged.data() + valid, memory, size_t(codedBytes - valid));
      decode(staged.data(), static_cast<uint8_t*>(dst), 1);
      n = 1;
    } else {
      decode(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), n);
    }
    const int bytes = n * codedBytes;
    const int released = clUpdateTail(data, bytes);
    if (released != bytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release data (wanted %d, got %d).\n", label, bytes,
                  released);
      return CL_ERR_NO_DATA;
    }
    const int added = clUpdateHead(frameBuffer, n);
    if (added != n) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update frames (wanted %d, got %d).\n", label, n, added);
      return CL_ERR_NO_DATA;
    }
    done += n;
  }
  return done;
}

}  // namespace cl::codecs

#endif
