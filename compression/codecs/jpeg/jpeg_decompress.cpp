// Decompressing: each frame is one JPEG image read from the data buffer,
// complete ("Stream headers flag" 1) or the scan data that follows the
// interchange header (flag 0).
//
// The library hands out its components unconverted; their rows are laid out
// in the internal format and the colour-space converters bring the picture
// to the caller's format (with the flip of "Orientation" 1). In full range
// mode the library converts to the RGB layouts or greyscale itself, straight
// into the frame, rows in the order the orientation asks for.
//
// An image the frame cannot hold, a fatal error of the library or any
// warning about its data (a truncated or corrupt image) fails the frame.
#include <algorithm>

#include "../shared/frame_ring.h"
#include "codec.h"
#include "jpeg_state.h"

namespace cl::codecs::jpeg {
namespace {

// The library spells this label so.
constexpr const char* kLabel = "clDeompress JPEG";
constexpr int kRowsPerCall = 16;

// Lays out one row of library components (Y, Cb, Cr per pixel) in a YUV
// or 4:2:2 internal format; a pair keeps the chrominance of its first pixel.
void InternalRow(int internal, int width, const uint8_t* in, uint8_t* out) {
  if (internal == CL_YUV) {
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[1];
      out[1] = in[0];
      out[2] = in[2];
    }
    return;
  }
  for (int p = 0; p < width / 2; ++p, in += 6, out += 4) {
    out[0] = in[1];
    out[1] = in[0];
    out[2] = in[2];
    out[3] = in[3];
  }
}

struct Target {
  uint8_t* pixels;  // the frame, or the area in the internal format
  int rowBytes;
  int format;       // the layout written at pixels
  bool libraryConverts;
  bool flip;        // rows are written bottom-up
};

// Starts the decompression after the header was read. Runs under Guarded.
void Start(State& s, const Target& t) {
  jpeg_decompress_struct& d = s.decompress;
  d.out_color_space = t.libraryConverts ? LibrarySpace(t.format)
                      : t.format == CL_GRAYSCALE ? JCS_GRAYSCALE
                                                 : JCS_YCbCr;
  // Chrominance is replicated, not interpolated: a 4:2:2 pair keeps the
  // chrominance it was coded with, and full-range pictures come out as other
  // players show them.
  d.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&d);
}

// Reads the image's rows into the target. Runs under Guarded.
void ReadRows(State& s, const Target& t, int width, int height) {
  jpeg_decompress_struct& d = s.decompress;
  const bool reshape = !t.libraryConverts && t.format != CL_GRAYSCALE;
  uint8_t* staging = reshape ? s.rows.Reserve(0) : nullptr;
  JSAMPROW rows[kRowsPerCall];
  while (d.output_scanline < d.output_height) {
    const int first = int(d.output_scanline);
    const int n = std::min(kRowsPerCall, height - first);
    for (int i = 0; i < n; ++i) {
      const int y = t.flip ? height - 1 - (first + i) : first + i;
      uint8_t* row = t.pixels + size_t(y) * size_t(t.rowBytes);
      rows[i] = reshape ? staging + size_t(i) * size_t(width) * 3 : row;
    }
    const int got = int(jpeg_read_scanlines(&d, rows, JDIMENSION(n)));
    if (reshape) {
      for (int i = 0; i < got; ++i) {
        const int y = t.flip ? height - 1 - (first + i) : first + i;
        InternalRow(t.format, width, rows[i], t.pixels + size_t(y) * size_t(t.rowBytes));
      }
    }
    if (got == 0) break;
  }
  jpeg_finish_decompress(&d);
}

void PatchHeader(State& s, const Layout& l) {
  uint8_t* sof = s.header.data() + kSofStart;
  sof[5] = uint8_t(l.height >> 8);
  sof[6] = uint8_t(l.height);
  sof[7] = uint8_t(l.width >> 8);
  sof[8] = uint8_t(l.width);
  const Sampling sampling = SamplingOf(l.internal);
  sof[11] = uint8_t(sampling.h << 4 | sampling.v);
}

// Decodes one image into frame. Returns 0 or a negative code.
int DecodeImage(CL_Handle handle, State& s, const Layout& l, uint8_t* frame) {
  jpeg_decompress_struct& d = s.decompress;
  if (s.headerFlag == 0) PatchHeader(s, l);
  AttachSource(s, clQueryBufferHdl(handle, CL_DATA, nullptr), s.headerFlag == 0);
  s.errors.warnings = 0;
  int header = 0;
  bool ok = Guarded(s, reinterpret_cast<j_common_ptr>(&d), [&] { header = jpeg_read_header(&d, TRUE); });
  if (ok && header != JPEG_HEADER_OK) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: the data holds no image.\n", kLabel);
    jpeg_abort_decompress(&d);
    ReleaseConsumed(s);
    return -1;
  }
  if (ok && (int(d.image_width) != l.width || int(d.image_height) != l.height)) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: an image of %d x %d pixels does not fit frames of %d x %d.\n", kLabel,
                int(d.image_width), int(d.image_height), l.width, l.height);
    jpeg_abort_decompress(&d);
    ReleaseConsumed(s);
    return -1;
  }
  int format = 0;
  if (ok) format = FormatOfImage(d);
  if (ok && format == 0) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: an image of %d components cannot be decoded.\n", kLabel,
                d.num_components);
    jpeg_abort_decompress(&d);
    ReleaseConsumed(s);
    return -1;
  }
  if (!ok) {
    ReleaseConsumed(s);
    return -1;
  }
  const bool libraryConverts = s.fullRange && LibrarySpace(l.original) != JCS_UNKNOWN;
  // A one-component image is greyscale whatever the internal format says.
  const int internal = format == CL_GRAYSCALE ? CL_GRAYSCALE : l.internal;
  const bool direct = libraryConverts || (internal == l.original && !l.flip);
  Target t{frame, l.width * StoredBytesPerPixel(l.original), libraryConverts ? l.original : internal,
           libraryConverts, libraryConverts && l.flip};
  if (!direct) {
    t.rowBytes = l.width * StoredBytesPerPixel(internal);
    t.pixels = ReserveArea(handle, kLabel, s.conversion, int64_t(t.rowBytes) * l.height);
    if (t.pixels == nullptr) {
      jpeg_abort_decompress(&d);
      ReleaseConsumed(s);
      return CL_ERR_NO_MEMORY;
    }
  }
  if (!libraryConverts && internal != CL_GRAYSCALE &&
      ReserveArea(handle, kLabel, s.rows, int64_t(kRowsPerCall) * l.width * 3) == nullptr) {
    jpeg_abort_decompress(&d);
    ReleaseConsumed(s);
    return CL_ERR_NO_MEMORY;
  }
  s.decompressing = true;
  ok = Guarded(s, reinterpret_cast<j_common_ptr>(&d), [&] {
    Start(s, t);
    ReadRows(s, t, l.width, l.height);
  });
  s.decompressing = false;
  const int released = ReleaseConsumed(s);
  if (!ok || s.errors.warnings > 0) return -1;
  if (released < 0) return released;

  const int quality = EstimateQuality(d.quant_tbl_ptrs[0]);
  int pv[] = {CL_ALGORITHM_PARAMS, quality,         CL_IMAGE_WIDTH,        l.width, CL_IMAGE_HEIGHT, l.height,
              CL_INTERNAL_FORMAT,  format,          CL_BITS_PER_COMPONENT, 8};
  clSetParams(handle, pv, static_cast<int>(std::size(pv)));
  if (!direct) {
    return ConvertOrReport(handle, kLabel, l.width, l.height, internal, t.pixels, l.original, frame, l.flip);
  }
  return 0;
}

}  // namespace

int Decompress(CL_Handle handle, int frames, int, void*, void*) {
  State& s = *StateOf(handle);
  Layout l;
  if (int bad = ReadLayout(handle, kLabel, &l)) return bad;
  const int64_t frameBytes = int64_t(l.width) * l.height * StoredBytesPerPixel(l.original);
  if (int bad = CheckFrameBytes(handle, kLabel, l.frameBytes, frameBytes, l.width, l.height, l.original)) {
    return bad;
  }
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    uint8_t* frame = FrameSpace(handle, kLabel, frameBuffer, &status);
    if (frame == nullptr) return status;
    if (int bad = DecodeImage(handle, s, l, frame)) return bad;
    if (int bad = PutFrame(handle, kLabel, frameBuffer)) return bad;
  }
  return frames;
}

}  // namespace cl::codecs::jpeg
