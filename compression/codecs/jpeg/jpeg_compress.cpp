// Compressing: each frame becomes one baseline JPEG image.
//
// Frames of the caller's format are converted to the internal format (with
// the vertical flip of "Orientation" 1) by the colour-space converters, and
// their rows handed to the library as components without any conversion of
// its own: luminance first, then the two chrominance components. In full
// range mode, frames of the RGB layouts and greyscale go to the library as
// they are, which converts them as JFIF defines.
//
// The library writes the image into the state's memory; the bytes then go
// to the data buffer, whole or, with "Stream headers flag" 0, from the end
// of the scan header on.
#include <algorithm>
#include <climits>

#include "../shared/frame_ring.h"
#include "byte_reader.h"
#include "codec.h"
#include "jpeg_state.h"

namespace cl::codecs::jpeg {
namespace {

constexpr const char* kLabel = "clCompress JPEG";
constexpr int kRowsPerCall = 16;

// One row of the internal format as the library's components: from a YUV
// pixel (U, Y, V) the luminance, then U and V; from a 4:2:2 pair (U, Y0, V,
// Y1) each luminance with the pair's U and V (an odd last pixel repeats the
// one before it).
void ComponentRow(int internal, int width, const uint8_t* in, uint8_t* out) {
  if (internal == CL_YUV) {
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[1];
      out[1] = in[0];
      out[2] = in[2];
    }
    return;
  }
  const int pairs = width / 2;
  for (int p = 0; p < pairs; ++p, in += 4, out += 6) {
    out[0] = in[1];
    out[1] = in[0];
    out[2] = in[2];
    out[3] = in[3];
    out[4] = in[0];
    out[5] = in[2];
  }
  if (width % 2 != 0 && pairs > 0) std::copy(out - 3, out, out);
}

struct Picture {
  const uint8_t* pixels;  // the frame or its converted copy
  int rowBytes;
  bool libraryConverts;
  bool flip;              // rows go to the library bottom-up
};

// Sets the library up and codes one image. Runs under Guarded: nothing here
// owns a resource.
void CodeImage(State& s, const Layout& l, const Picture& p) {
  jpeg_compress_struct& c = s.compress;
  AttachDestination(s);
  c.image_width = JDIMENSION(l.width);
  c.image_height = JDIMENSION(l.height);
  const bool grey = l.internal == CL_GRAYSCALE;
  if (p.libraryConverts) {
    c.in_color_space = LibrarySpace(l.original);
    c.input_components = StoredBytesPerPixel(l.original);
  } else {
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_YCbCr;
    c.input_components = grey ? 1 : 3;
  }
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, grey ? JCS_GRAYSCALE : JCS_YCbCr);
  if (!grey) {
    const Sampling sampling = SamplingOf(l.internal);
    c.comp_info[0].h_samp_factor = sampling.h;
    c.comp_info[0].v_samp_factor = sampling.v;
  }
  const int scale = QualityScale(l.quality);
  unsigned natural[2][64];
  for (int i = 0; i < 64; ++i) {
    natural[0][kZigZag[i]] = s.luminance[i];
    natural[1][kZigZag[i]] = s.chrominance[i];
  }
  jpeg_add_quant_table(&c, 0, natural[0], scale, FALSE);
  jpeg_add_quant_table(&c, 1, natural[1], scale, FALSE);
  jpeg_start_compress(&c, TRUE);

  const bool reshape = !p.libraryConverts && !grey;
  uint8_t* staging = s.rows.size() > 0 ? s.rows.Reserve(0) : nullptr;
  JSAMPROW rows[kRowsPerCall];
  while (c.next_scanline < c.image_height) {
    const int first = int(c.next_scanline);
    const int n = std::min(kRowsPerCall, l.height - first);
    for (int i = 0; i < n; ++i) {
      const int y = p.flip ? l.height - 1 - (first + i) : first + i;
      const uint8_t* row = p.pixels + size_t(y) * size_t(p.rowBytes);
      if (reshape) {
        uint8_t* out = staging + size_t(i) * size_t(l.width) * 3;
        ComponentRow(l.internal, l.width, row, out);
        rows[i] = out;
      } else {
        rows[i] = const_cast<JSAMPROW>(row);
      }
    }
    jpeg_write_scanlines(&c, rows, JDIMENSION(n));
  }
  jpeg_finish_compress(&c);
}

// The offset of the scan data: the byte after the SOS segment. 0 when the
// image has no scan header.
size_t ScanDataOffset(std::span<const uint8_t> image) {
  ByteReader r(image);
  if (r.U16() != 0xFFD8) return 0;
  while (r.ok()) {
    const uint16_t marker = r.U16();
    const uint16_t length = r.U16();
    if ((marker & 0xFF00) != 0xFF00 || length < 2) return 0;
    r.Skip(length - 2u);
    if (marker == 0xFFDA) return r.ok() ? r.position() : 0;
  }
  return 0;
}

}  // namespace

int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  State& s = *StateOf(handle);
  Layout l;
  if (int bad = ReadLayout(handle, kLabel, &l)) return bad;
  const int64_t sourceBytes = int64_t(l.width) * l.height * StoredBytesPerPixel(l.original);
  if (int bad = CheckFrameBytes(handle, kLabel, l.frameBytes, sourceBytes, l.width, l.height, l.original)) {
    return bad;
  }
  const bool libraryConverts = s.fullRange && LibrarySpace(l.original) != JCS_UNKNOWN;
  const bool convert = !libraryConverts && (l.original != l.internal || l.flip);
  const int internalRow = l.width * StoredBytesPerPixel(l.internal);
  if (!libraryConverts && l.internal != CL_GRAYSCALE &&
      ReserveArea(handle, kLabel, s.rows, int64_t(kRowsPerCall) * l.width * 3) == nullptr) {
    return CL_ERR_NO_MEMORY;
  }
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* frame = FrameToCode(handle, kLabel, frameBuffer, &status);
    if (frame == nullptr) return status;
    Picture p{frame, l.width * StoredBytesPerPixel(l.original), libraryConverts, libraryConverts && l.flip};
    if (convert) {
      uint8_t* area = ReserveArea(handle, kLabel, s.conversion, int64_t(internalRow) * l.height);
      if (area == nullptr) return CL_ERR_NO_MEMORY;
      if (int bad = ConvertOrReport(handle, kLabel, l.width, l.height, l.original, frame, l.internal, area, l.flip)) {
        return bad;
      }
      p.pixels = area;
    }
    if (!libraryConverts) p.rowBytes = internalRow;
    s.errors.warnings = 0;
    if (!Guarded(s, reinterpret_cast<j_common_ptr>(&s.compress), [&] { CodeImage(s, l, p); })) return -1;

    std::span<const uint8_t> image(s.destination.memory.get(), s.destination.size);
    if (s.headerFlag == 0) image = image.subspan(ScanDataOffset(image));
    const int64_t put = PutBytes(handle, kLabel, image.data(), int64_t(image.size()));
    if (put < 0) return static_cast<int>(put);
    if (put != int64_t(image.size())) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", kLabel,
                  static_cast<int>(image.size()), static_cast<int>(put));
      return CL_ERR_NO_DATA;
    }
    *compressedSize = static_cast<int>(put);
    if (clUpdateTail(frameBuffer, 1) != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", kLabel);
      return CL_ERR_NO_DATA;
    }
  }
  return frames;
}

}  // namespace cl::codecs::jpeg
