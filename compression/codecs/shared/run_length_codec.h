// The routine set of a run-length codec ("RLE", "RLE24"), written once over
// the pixel traits of run_length_code.h plus what tells the two rows apart:
//   kScheme, kCompressLabel, kDecompressLabel
//   kDefaultInternal        the internal format -1 stands for
//   Accepts(format)         the internal formats the codec codes
//   kDecoderFormatMessage   what the decompressor says of another format
//
// Stream: the 64-byte common stream header (pairs "Algorithm ID",
// "Algorithm version", "Internal format", "Number of frames", "Frame rate",
// "Image width", "Image height"), then the codes of each frame. The caller's
// frames are converted to the internal format (flipped when "Orientation" is
// 1) before coding, and back after decoding, through a conversion area that
// lives as long as the handle and only grows.
//
// Decoding goes on past damage: a frame whose codes run out is delivered
// with the pixels decoded so far, a run or group that would pass the end of
// the frame is cut at the end, and the mismatches are printed on standard
// error. The call still fails with -18 once every frame is delivered, so that
// a caller holding one stored frame (the movie library) learns that the
// picture it got is not the one that was coded. No code can make the decoder
// write outside the frame or read outside the bytes the data buffer hands
// out.
#ifndef CINELARK_COMPRESSION_CODECS_SHARED_RUN_LENGTH_CODEC_H
#define CINELARK_COMPRESSION_CODECS_SHARED_RUN_LENGTH_CODEC_H

#include <cinelark/cl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "codec.h"
#include "codec_io.h"
#include "frame_ring.h"
#include "run_length_code.h"

namespace cl::codecs {

struct RunLengthState {
  bool bufferSizeSet = false;  // the caller chose "Compressed buffer size"
  bool headerPending = true;
  ScratchArea conversion;      // frames in the internal format
  ScratchArea codes;           // codes of a frame whose data space wraps
  int32_t reserved = 0;
  bool inGetParams = false;    // guards the codec's own clGetParams calls
};

// The image parameters one call works with.
struct RunLengthLayout {
  int width = 0;
  int height = 0;
  int original = 0;
  int internal = 0;
  int compressedBufferSize = 0;
  bool flip = false;
  int frameBytes = 0;  // one frame of the frame buffer
  int64_t pixels = 0;
};

template <class Traits>
class RunLengthCodec {
 public:
  static constexpr int kHeaderBytes = 64;
  static constexpr int kMaxHeaderBytes = 168;

  static int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor", handle); }
  static int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor", handle); }

  static int Close(CL_Handle handle) {
    delete static_cast<RunLengthState*>(clSetUnique(handle, nullptr));
    return 0;
  }

  static int QueryScheme(const void* header) { return QueryCommonHeader(header, Traits::kScheme); }

  static int ReadHeader(CL_Handle handle, int size, void* header) { return ReadCommonHeader(handle, size, header); }

  // An unset "Compressed buffer size" is the worst a frame can code to plus
  // the header.
  static int GetParams(CL_Handle handle, int* pv, int length) {
    RunLengthState* state = StateOf(handle);
    if (state == nullptr || state->inGetParams) return 1;
    for (int k = 0; k + 1 < length; k += 2) {
      if (pv[k] != CL_COMPRESSED_BUFFER_SIZE || state->bufferSizeSet) continue;
      state->inGetParams = true;
      constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT};
      std::array<int32_t, 2> v{};
      const int read = ReadParams(handle, ids, v);
      state->inGetParams = false;
      if (read < 0) return read;
      const int64_t bytes = int64_t(WorstCodeBytes<Traits>(size_t(v[0]) * size_t(v[1]))) + kHeaderBytes;
      pv[k + 1] = bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
    }
    return 1;
  }

  static int SetParams(CL_Handle handle, int* pv, int length) {
    RunLengthState* state = StateOf(handle);
    for (int k = 0; state != nullptr && k + 1 < length; k += 2) {
      if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->bufferSizeSet = true;
    }
    return 1;
  }

  static int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
    const char* label = Traits::kCompressLabel;
    RunLengthState* state = StateOf(handle);
    RunLengthLayout l;
    if (int bad = ReadLayout(handle, label, kCompressor, &l)) return bad;
    if (int bad = CheckFrame(handle, label, l.frameBytes, l)) return bad;

    *compressedSize = 0;
    if (state->headerPending) {
      const int header = PutStreamHeader(handle, label, kHeaderParams);
      if (header < 0) return header;
      *compressedSize = header;
      state->headerPending = false;
    }

    const size_t pixels = size_t(l.pixels);
    const int64_t worst = int64_t(WorstCodeBytes<Traits>(pixels));
    const bool convert = l.original != l.internal || l.flip;
    void* memory = nullptr;
    CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
    CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, &memory);
    for (int f = 0; f < frames; ++f) {
      int status = 0;
      const uint8_t* source = FrameToCode(handle, label, frameBuffer, &status);
      if (source == nullptr) return status;
      // No frame codes to more than the worst case, so no more is asked of
      // the buffer even when the caller allows more per call.
      const int wanted = static_cast<int>(std::clamp<int64_t>(
          std::min<int64_t>(int64_t(l.compressedBufferSize) - kHeaderBytes, worst), 1, INT_MAX));
      void* space = nullptr;
      int wrap = 0;
      const int room = clQueryFree(data, wanted, &space, &wrap);
      if (room < 0) return room;
      const int64_t free = int64_t(room) + wrap;
      if (free < wanted) {
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get data space (wanted %d, got %d).\n", label, wanted,
                    static_cast<int>(free));
        return CL_ERR_NO_DATA;
      }

      if (convert) {
        uint8_t* area = ReserveArea(handle, label, state->conversion, l.pixels * Traits::kPixelBytes);
        if (area == nullptr) return CL_ERR_NO_MEMORY;
        if (int bad = ConvertOrReport(handle, label, l.width, l.height, l.original, source, l.internal, area, l.flip)) {
          return bad;
        }
        source = area;
      }

      int64_t count = 0;
      int64_t stored = 0;
      if (room >= worst) {
        count = int64_t(EncodeFrame<Traits>(source, pixels, static_cast<uint8_t*>(space)));
        stored = count;
      } else {
        // Code aside, then store what the buffer has room for, in the
        // contiguous space and on from the start of its memory.
        uint8_t* codes = ReserveArea(handle, label, state->codes, worst);
        if (codes == nullptr) return CL_ERR_NO_MEMORY;
        count = int64_t(EncodeFrame<Traits>(source, pixels, codes));
        stored = std::min(count, free);
        const int64_t first = std::min<int64_t>(stored, room);
        std::memcpy(space, codes, size_t(first));
        std::memcpy(memory, codes + first, size_t(stored - first));
      }
      if (count != stored) {
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: internal error (byteCount %d != %d).\n", label,
                    static_cast<int>(std::min<int64_t>(count, INT_MAX)), static_cast<int>(stored));
      }
      *compressedSize = static_cast<int>(std::min<int64_t>(INT_MAX, *compressedSize + stored));
      const int moved = clUpdateHead(data, static_cast<int>(stored));
      if (moved != stored) {
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update head (wanted %d, actual %d).", label,
                    static_cast<int>(stored), moved);
        return CL_ERR_NO_DATA;
      }
      if (clUpdateTail(frameBuffer, 1) != 1) {
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", label);
        return CL_ERR_NO_DATA;
      }
    }
    return frames;
  }

  static int Decompress(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void*) {
    const char* label = Traits::kDecompressLabel;
    RunLengthState* state = StateOf(handle);
    // The frame buffer was laid out from the parameters as they stand before
    // a stream header changes them.
    RunLengthLayout before;
    if (int bad = ReadLayout(handle, label, kReadOnly, &before)) return bad;
    int64_t consumed = 0;
    if (state->headerPending) {
      const int header = TakeStreamHeader(handle, label, kHeaderBytes, kMaxHeaderBytes, ReadHeader);
      if (header < 0) return header;
      consumed += header;
      state->headerPending = false;
    }
    RunLengthLayout l;
    if (int bad = ReadLayout(handle, label, kDecompressor, &l)) return bad;
    if (int bad = CheckFrame(handle, label, before.frameBytes, l)) return bad;

    const bool direct = l.original == l.internal && !l.flip;
    CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
    CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
    int damaged = 0;
    for (int f = 0; f < frames; ++f) {
      int status = 0;
      uint8_t* frame = FrameSpace(handle, label, frameBuffer, &status);
      if (frame == nullptr) return status;
      uint8_t* target = frame;
      if (!direct) {
        target = ReserveArea(handle, label, state->conversion, l.pixels * Traits::kPixelBytes);
        if (target == nullptr) return CL_ERR_NO_MEMORY;
      }
      int64_t decoded = 0;
      bool groupBroken = false;
      consumed += DecodeFrame(handle, label, data, target, l.pixels, &decoded, &groupBroken);
      if (decoded != l.pixels) {
        std::fprintf(stderr, "Decompressed frame size does not match %d != %d\n", Clip(decoded), Clip(l.pixels));
      }
      if (decoded != l.pixels || groupBroken) ++damaged;
      if (!direct) {
        if (int bad = ConvertOrReport(handle, label, l.width, l.height, l.internal, target, l.original, frame, l.flip)) {
          return bad;
        }
      }
      if (int bad = PutFrame(handle, label, frameBuffer)) return bad;
    }
    const bool leftover = compressedData != nullptr && compressedDataSize != consumed;
    if (leftover) {
      std::fprintf(stderr, "Compressed data size does not match %d != %d.\n", compressedDataSize, Clip(consumed));
    }
    clDone(data, -1);
    // Bytes after whole frames are padding (files round their frames up);
    // only a frame that ran short or over makes the call fail.
    if (damaged > 0) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: damaged data (%d of %d frames short or overrun, %d of %d bytes used).\n",
                  label, damaged, frames, Clip(consumed), compressedDataSize);
      return CL_ERR_NO_DATA;
    }
    return frames;
  }

  static constexpr CL_RoutineSet kRoutines = {OpenCompressor, Compress,    Close,      OpenDecompressor,
                                              Decompress,     Close,       QueryScheme, ReadHeader,
                                              GetParams,      SetParams};

 private:
  static constexpr int32_t kHeaderParams[] = {CL_ALGORITHM_ID, CL_ALGORITHM_VERSION, CL_INTERNAL_FORMAT,
                                              CL_NUMBER_OF_FRAMES, CL_FRAME_RATE, CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT};

  static RunLengthState* StateOf(CL_Handle handle) { return static_cast<RunLengthState*>(clGetUnique(handle)); }

  static int Clip(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

  static int Open(const char* operation, CL_Handle* handle) {
    RunLengthState* state = new (std::nothrow) RunLengthState;
    if (state == nullptr) {
      ReportCodec(*handle, -1, "%s: unable to malloc buffer (size %d)\n", operation,
                  static_cast<int>(sizeof(RunLengthState)));
      return -1;
    }
    clSetUnique(*handle, state);
    return 0;
  }

  enum Settle { kReadOnly, kCompressor, kDecompressor };

  // Reads the image parameters and, unless only reading, fixes the internal
  // format: -1 becomes the codec's default silently, a format it does not
  // code is reported and replaced; either way the result is stored back on
  // the handle.
  static int ReadLayout(CL_Handle handle, const char* label, Settle settle, RunLengthLayout* l) {
    constexpr int32_t ids[] = {CL_IMAGE_WIDTH,           CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT, CL_INTERNAL_FORMAT,
                               CL_COMPRESSED_BUFFER_SIZE, CL_ORIENTATION,  CL_BITS_PER_COMPONENT};
    std::array<int32_t, 7> v{};
    if (int bad = ReadParams(handle, ids, v)) return bad;
    l->width = v[0];
    l->height = v[1];
    l->original = v[2];
    l->compressedBufferSize = v[4];
    l->flip = v[5] == 1;
    l->internal = v[3];
    if (settle == kReadOnly) {
      // Only the frame size is wanted.
    } else if (l->internal == -1) {
      l->internal = Traits::kDefaultInternal;
    } else if (!Traits::Accepts(l->internal)) {
      ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT,
                  settle == kDecompressor ? Traits::kDecoderFormatMessage : "%s: invalid internal format %d.\n", label,
                  l->internal);
      l->internal = Traits::kDefaultInternal;
    }
    if (settle != kReadOnly && l->internal != v[3]) StoreParam(handle, CL_INTERNAL_FORMAT, l->internal);
    if (!IsVideoFormat(l->original)) {
      ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", label, l->original);
      return CL_ERR_BAD_INTERNAL_FORMAT;
    }
    l->pixels = int64_t(l->width) * l->height;
    l->frameBytes = FrameSize(CL_VIDEO, l->original, l->width, l->height, v[6]);
    return 0;
  }

  static int CheckFrame(CL_Handle handle, const char* label, int frameBytes, const RunLengthLayout& l) {
    return CheckFrameBytes(handle, label, frameBytes, l.pixels * StoredBytesPerPixel(l.original), l.width, l.height,
                           l.original);
  }

  // Decodes one frame of total pixels into frame from the data buffer's
  // stream reader; returns the bytes consumed and stores the pixel count the
  // codes gave (more than total when a run passed the end) and whether a
  // literal group ran out of data or had to be cut at the end of the frame.
  static int64_t DecodeFrame(CL_Handle handle, const char* label, CL_BufferHdl data, uint8_t* frame, int64_t total,
                             int64_t* decodedOut, bool* groupBroken) {
    constexpr int kItemBytes = 1 + Traits::kValueBytes;
    constexpr size_t kStep = Traits::kPixelBytes;
    int64_t decoded = 0;
    int64_t consumed = 0;
    while (decoded < total) {
      void* at = nullptr;
      const int got = clReadData(data, kItemBytes, &at);
      if (got < kItemBytes) break;
      consumed += got;
      const uint8_t* item = static_cast<const uint8_t*>(at);
      const uint8_t control = item[0];
      const typename Traits::Pixel value = Traits::Value(item + 1);
      if (control < kGroupFlag) {
        Traits::Fill(frame + size_t(decoded) * kStep, value, size_t(std::min<int64_t>(control, total - decoded)));
        decoded += control;
        continue;
      }
      const int n = std::max(control & 0x3F, 1);
      Traits::Fill(frame + size_t(decoded) * kStep, value, 1);
      ++decoded;
      if (n == 1) continue;
      const int restBytes = (n - 1) * Traits::kValueBytes;
      const int more = clReadData(data, restBytes, &at);
      if (more < restBytes) {
        std::fprintf(stderr, "%s: Apparently ran out of data./n\n", label);
        ReportCodec(handle, CL_ERR_NO_DATA, ": unable to release data (wanted %d, got %d).\n", Clip(total), n);
        ReportCodec(handle, CL_ERR_NO_DATA, "%s: Apparently ran out of data.\n", label);
        if (more > 0) consumed += more;
        *groupBroken = true;
        break;
      }
      consumed += more;
      int64_t take = n - 1;
      if (decoded + take > total) {
        std::fprintf(stderr, "Decompressed frame size does not match %d != %d (Non-run overrun).\n",
                     Clip(decoded + take), Clip(total));
        take = total - decoded;
        *groupBroken = true;
      }
      Traits::CopyValues(frame + size_t(decoded) * kStep, static_cast<const uint8_t*>(at), size_t(take));
      decoded += take;
    }
    *decodedOut = decoded;
    return consumed;
  }
};

}  // namespace cl::codecs

#endif
