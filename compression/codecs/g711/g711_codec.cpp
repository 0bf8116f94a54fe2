// The G.711 codec routines.
//
// Stream: a 48-byte common stream header (magic, length, then the pairs
// "Algorithm ID", "Algorithm version", "Internal format", "Number of frames"
// and "Frame rate"), written before the first frame a compressor codes, then
// one code byte per sample in the caller's interleaved order. Frames of the
// caller are "Number of components" native 16-bit samples; the stream has
// no framing of its own, so any number of frames may be coded per call.
#include "g711.h"

#include <cinelark/cl.h>

#include <array>
#include <climits>
#include <cstring>
#include <new>

#include "../shared/audio_pieces.h"
#include "../shared/codec_io.h"

namespace cl::codecs {
namespace {

constexpr int kHeaderBytes = 48;
constexpr int kMaxHeaderBytes = 168;

struct G711State {
  int32_t reserved = 0;
  bool headerPending = true;
  int32_t scheme = CL_G711_ULAW;
  bool inGetParams = false;  // guards the codec's own clGetParams calls
};

G711State* StateOf(CL_Handle handle) { return static_cast<G711State*>(clGetUnique(handle)); }

int Open(const char* label, int scheme, CL_Handle* handle) {
  G711State* state = new (std::nothrow) G711State;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", label,
                static_cast<int>(sizeof(G711State)));
    return CL_ERR_NO_MEMORY;
  }
  state->scheme = scheme;
  clSetUnique(*handle, state);
  return 0;
}

int OpenCompressor(int scheme, CL_Handle* handle) { return Open("clOpenCompressor G711", scheme, handle); }
int OpenDecompressor(int scheme, CL_Handle* handle) { return Open("clOpenDecompressor G711", scheme, handle); }

int Close(CL_Handle handle) {
  delete static_cast<G711State*>(clSetUnique(handle, nullptr));
  return 0;
}

// The sample layout of the handle: channels per frame, and whether samples
// are the 16 bits the conversions take.
struct Layout {
  int components = 0;
  int originalFormat = 0;
};

int ReadLayout(CL_Handle handle, const char* label, Layout* layout) {
  constexpr int32_t ids[] = {CL_ORIGINAL_FORMAT, CL_NUMBER_OF_COMPONENTS, CL_BITS_PER_COMPONENT};
  std::array<int32_t, 3> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  layout->originalFormat = v[0];
  layout->components = v[1];
  if (v[1] < 1 || v[1] * 2 > kMaxAudioFrameBytes) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: invalid original format %d.\n", label, v[0]);
    return CL_ERR_NO_DATA;
  }
  if (v[2] != 16) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: samples must be 16 bits wide, not %d.\n", label, v[2]);
    return CL_ERR_NO_DATA;
  }
  return 0;
}

int QueryScheme(const void* header) {
  const int ulaw = QueryCommonHeader(header, CL_G711_ULAW);
  return ulaw != -1 ? ulaw : QueryCommonHeader(header, CL_G711_ALAW);
}

int ReadHeader(CL_Handle handle, int size, void* header) { return ReadCommonHeader(handle, size, header); }

// The samples are coded in the caller's layout, which "Internal format"
// records. Its range on the audio rows stops at 1 (stereo), so the four- and
// five-channel layouts leave it as it is instead of being clamped.
void KeepOriginalAsInternal(CL_Handle handle, int originalFormat) {
  if (originalFormat >= 0 && originalFormat <= 1) StoreParam(handle, CL_INTERNAL_FORMAT, originalFormat);
}

using Encoder = uint8_t (*)(int16_t);
using Decoder = int16_t (*)(uint8_t);

int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void* compressedData) {
  const char* label = "clCompress G711";
  G711State* state = StateOf(handle);
  Layout layout;
  if (int bad = ReadLayout(handle, label, &layout)) return bad;
  KeepOriginalAsInternal(handle, layout.originalFormat);

  *compressedSize = 0;
  if (state->headerPending) {
    constexpr int32_t ids[] = {CL_ALGORITHM_ID, CL_ALGORITHM_VERSION, CL_INTERNAL_FORMAT, CL_NUMBER_OF_FRAMES,
                               CL_FRAME_RATE};
    const int header = PutStreamHeader(handle, label, ids);
    if (header < 0) return header;
    *compressedSize = header;
    state->headerPending = false;
  }
  const Encoder encode = state->scheme == CL_G711_ALAW ? CL_linear2alaw : CL_linear2ulaw;
  const int components = layout.components;
  auto code = [encode, components](const uint8_t* in, uint8_t* out, int count) {
    const int samples = count * components;
    for (int i = 0; i < samples; ++i) {
      int16_t s;
      std::memcpy(&s, in + 2 * i, 2);
      out[i] = encode(s);
    }
  };
  return EncodeAudioFrames(handle, label, frames, components, code, compressedSize, compressedData != nullptr);
}

int Decompress(CL_Handle handle, int frames, int, void*, void*) {
  const char* label = "clDecompress G711";
  G711State* state = StateOf(handle);
  if (state->headerPending) {
    const int header = TakeStreamHeader(handle, label, kHeaderBytes, kMaxHeaderBytes, ReadHeader);
    if (header < 0) return header;
    state->headerPending = false;
  }
  Layout layout;
  if (int bad = ReadLayout(handle, label, &layout)) return bad;
  KeepOriginalAsInternal(handle, layout.originalFormat);

  const Decoder decode = state->scheme == CL_G711_ALAW ? CL_alaw2linear : CL_ulaw2linear;
  const int components = layout.components;
  auto expand = [decode, components](const uint8_t* in, uint8_t* out, int count) {
    const int samples = count * components;
    for (int i = 0; i < samples; ++i) {
      const int16_t s = decode(in[i]);
      std::memcpy(out + 2 * i, &s, 2);
    }
  };
  return DecodeAudioFrames(handle, label, frames, components, expand);
}

// A compressor handed plain memory needs to know how much of it may be
// written: unless the caller said, it is the header and one block of frames
// ("Block Size (in frames)") at one byte per sample.
int GetParams(CL_Handle handle, int* pv, int length) {
  G711State* state = StateOf(handle);
  if (state == nullptr || state->inGetParams) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE || pv[k + 1] != 0) continue;
    state->inGetParams = true;
    constexpr int32_t ids[] = {CL_NUMBER_OF_COMPONENTS, CL_BLOCK_SIZE};
    std::array<int32_t, 2> v{};
    const int read = ReadParams(handle, ids, v);
    state->inGetParams = false;
    if (read < 0) return read;
    const int64_t bytes = int64_t(kHeaderBytes) + int64_t(v[0]) * (v[1] < 1 ? 1 : v[1]);
    pv[k + 1] = bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
  }
  return 1;
}

int SetParams(CL_Handle, int*, int) { return 1; }

}  // namespace

const CL_RoutineSet kG711Routines = {OpenCompressor, Compress,    Close,      OpenDecompressor, Decompress,
                                     Close,          QueryScheme, ReadHeader, GetParams,        SetParams};

}  // namespace cl::codecs
