// The codec's side of libjpeg: the error manager that turns the library's
// messages into reports with code -12, the source manager that reads the
// handle's data buffer through the stream reader, the destination manager
// that collects an image in memory, and the tables of the interchange
// header.
#include <algorithm>
#include <cstring>
#include <new>

#include "codec.h"
#include "jpeg_state.h"

namespace cl::codecs::jpeg {
namespace {

// Reports the library's current message: "JPEG: " and the library's own
// format with its parameters (a string, or up to eight integers).
void ReportMessage(j_common_ptr cinfo) {
  const jpeg_error_mgr* err = cinfo->err;
  const int code = err->msg_code;
  const char* text = nullptr;
  if (code > 0 && code <= err->last_jpeg_message) text = err->jpeg_message_table[code];
  if (text == nullptr) {
    char message[JMSG_LENGTH_MAX];
    err->format_message(cinfo, message);
    Report(nullptr, CL_ERR_LIBRARY, "%s: %s\n", "JPEG", message);
    return;
  }
  char format[8 + 256 + 2];
  std::snprintf(format, sizeof format, "%%s: %.256s\n", text);
  if (std::strstr(text, "%s") != nullptr) {
    char parameter[JMSG_STR_PARM_MAX + 1] = {};
    std::memcpy(parameter, err->msg_parm.s, JMSG_STR_PARM_MAX);
    Report(nullptr, CL_ERR_LIBRARY, format, "JPEG", parameter);
    return;
  }
  const int* i = err->msg_parm.i;
  Report(nullptr, CL_ERR_LIBRARY, format, "JPEG", i[0], i[1], i[2], i[3], i[4], i[5], i[6], i[7]);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  ReportMessage(cinfo);
  std::longjmp(reinterpret_cast<LibraryErrors*>(cinfo->err)->jump, 1);
}

// Warnings (level -1) are corrupt or missing data: each is reported and
// counted. Trace messages are reported only while debugging.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    ReportMessage(cinfo);
    reinterpret_cast<LibraryErrors*>(cinfo->err)->warnings++;
  } else if (DebugLevel() > level) {
    ReportMessage(cinfo);
  }
}

void OutputMessage(j_common_ptr cinfo) { ReportMessage(cinfo); }

Source& SourceOf(j_decompress_ptr d) { return *reinterpret_cast<Source*>(d->src); }

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// A missing end of data is a warning, then an EOI marker ends the image.
boolean FillInput(j_decompress_ptr d) {
  static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
  Source& s = SourceOf(d);
  if (s.header != nullptr) {
    d->src->next_input_byte = s.header;
    d->src->bytes_in_buffer = size_t(s.headerBytes);
    s.header = nullptr;
    s.inPiece = false;
    return TRUE;
  }
  void* at = nullptr;
  const int n = s.data != nullptr ? clReadDataRange(s.data, 1, kMaxChunk, &at) : 0;
  if (n > 0) {
    s.consumed += n;
    s.lastPiece = n;
    s.inPiece = true;
    d->src->next_input_byte = static_cast<const JOCTET*>(at);
    d->src->bytes_in_buffer = size_t(n);
    return TRUE;
  }
  s.lastPiece = 0;
  s.inPiece = false;
  WARNMS(d, JWRN_JPEG_EOF);
  d->src->next_input_byte = kEnd;
  d->src->bytes_in_buffer = sizeof kEnd;
  return TRUE;
}

void SkipInput(j_decompress_ptr d, long count) {
  if (count <= 0) return;
  while (count > long(d->src->bytes_in_buffer)) {
    count -= long(d->src->bytes_in_buffer);
    FillInput(d);
    // Past the end only the inserted EOI is left to read.
    if (!SourceOf(d).inPiece && SourceOf(d).header == nullptr && SourceOf(d).lastPiece == 0) return;
  }
  d->src->next_input_byte += count;
  d->src->bytes_in_buffer -= size_t(count);
}

Destination& DestinationOf(j_compress_ptr c) { return *reinterpret_cast<Destination*>(c->dest); }

// Grows the memory to capacity bytes, keeping the first `keep`; false when
// no memory could be had.
bool Grow(Destination& d, size_t capacity, size_t keep) {
  uint8_t* grown = new (std::nothrow) uint8_t[capacity];
  if (grown == nullptr) return false;
  if (keep > 0) std::memcpy(grown, d.memory.get(), keep);
  d.memory.reset(grown);
  d.capacity = capacity;
  return true;
}

void InitDestination(j_compress_ptr c) {
  Destination& d = DestinationOf(c);
  // Most images fit in a quarter of their pixels' bytes at usual qualities.
  const size_t guess = std::max<size_t>(size_t(c->image_width) * c->image_height, 16384);
  if (d.capacity < guess && !Grow(d, guess, 0)) ERREXIT1(c, JERR_OUT_OF_MEMORY, 0);
  c->dest->next_output_byte = d.memory.get();
  c->dest->free_in_buffer = d.capacity;
}

boolean EmptyOutput(j_compress_ptr c) {
  Destination& d = DestinationOf(c);
  const size_t used = d.capacity;
  if (!Grow(d, used * 2, used)) ERREXIT1(c, JERR_OUT_OF_MEMORY, 1);
  c->dest->next_output_byte = d.memory.get() + used;
  c->dest->free_in_buffer = d.capacity - used;
  return TRUE;
}

void TermDestination(j_compress_ptr c) {
  Destination& d = DestinationOf(c);
  d.size = d.capacity - c->dest->free_in_buffer;
}

// The DQT segment of table 0 or 1.
uint8_t* DqtOf(std::span<uint8_t, kHeaderBytes> header, int which) {
  return header.data() + kDqtStart + kDqtBytes * which;
}

uint8_t* PutHuffman(uint8_t* at, int classAndId, const JHUFF_TBL& table) {
  int count = 0;
  for (int i = 1; i <= 16; ++i) count += table.bits[i];
  const int length = 2 + 1 + 16 + count;
  *at++ = 0xFF;
  *at++ = 0xC4;
  *at++ = uint8_t(length >> 8);
  *at++ = uint8_t(length);
  *at++ = uint8_t(classAndId);
  for (int i = 1; i <= 16; ++i) *at++ = table.bits[i];
  std::memcpy(at, table.huffval, size_t(count));
  return at + count;
}

}  // namespace

// The standard zig-zag scan of an 8 x 8 block (ITU-T T.81 figure A.6).
const std::array<uint8_t, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const QuantTable& DefaultTable(int which) {
  // ITU-T T.81 tables K.1 (luminance) and K.2 (chrominance), row by row.
  static constexpr std::array<uint16_t, 64> kAnnexK[2] = {
      {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24,  40,  57,
       69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35,  55,  64,
       81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99},
      {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
       99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
       99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99}};
  // In zig-zag order, each entry scaled to 50 % as (v x 50 + 50) / 100.
  static const std::array<QuantTable, 2> kDefaults = [] {
    std::array<QuantTable, 2> t{};
    for (int w = 0; w < 2; ++w)
      for (int i = 0; i < 64; ++i) t[w][i] = uint16_t((kAnnexK[w][kZigZag[i]] * 50 + 50) / 100);
    return t;
  }();
  return kDefaults[which == 0 ? 0 : 1];
}

jpeg_error_mgr* InstallErrors(LibraryErrors& errors) {
  jpeg_error_mgr* mgr = jpeg_std_error(&errors.mgr);
  mgr->error_exit = ErrorExit;
  mgr->emit_message = EmitMessage;
  mgr->output_message = OutputMessage;
  return mgr;
}

void AttachSource(State& state, CL_BufferHdl data, bool withHeader) {
  Source& s = state.source;
  s.mgr.init_source = InitSource;
  s.mgr.fill_input_buffer = FillInput;
  s.mgr.skip_input_data = SkipInput;
  s.mgr.resync_to_restart = jpeg_resync_to_restart;
  s.mgr.term_source = TermSource;
  s.mgr.next_input_byte = nullptr;
  s.mgr.bytes_in_buffer = 0;
  s.data = data;
  s.header = withHeader ? state.header.data() : nullptr;
  s.headerBytes = withHeader ? kHeaderBytes : 0;
  s.lastPiece = 0;
  s.inPiece = false;
  s.consumed = 0;
  state.decompress.src = &s.mgr;
  if (data != nullptr) clReadSetup(data, kMaxChunk);
}

int ReleaseConsumed(State& state) {
  Source& s = state.source;
  const int unread = s.inPiece ? static_cast<int>(s.mgr.bytes_in_buffer) : 0;
  const int release = s.lastPiece - unread;
  const int64_t consumed = s.consumed - unread;
  s.lastPiece = 0;
  s.inPiece = false;
  s.mgr.bytes_in_buffer = 0;
  if (s.data == nullptr) return 0;
  const int done = clDone(s.data, release);
  return done < 0 ? done : static_cast<int>(consumed);
}

void AttachDestination(State& state) {
  Destination& d = state.destination;
  d.mgr.init_destination = InitDestination;
  d.mgr.empty_output_buffer = EmptyOutput;
  d.mgr.term_destination = TermDestination;
  d.size = 0;
  state.compress.dest = &d.mgr;
}

void StoreTable(std::span<uint8_t, kHeaderBytes> header, int which, const QuantTable& table) {
  uint8_t* at = DqtOf(header, which);
  at[0] = 0xFF;
  at[1] = 0xDB;
  at[2] = 0x00;
  at[3] = 0x83;
  at[4] = uint8_t(0x10 | which);
  for (int i = 0; i < 64; ++i) {
    at[5 + 2 * i] = uint8_t(table[i] >> 8);
    at[6 + 2 * i] = uint8_t(table[i]);
  }
}

bool BuildHeader(State& state) {
  std::span<uint8_t, kHeaderBytes> h(state.header);
  h[0] = 0xFF;
  h[1] = 0xD8;
  StoreTable(h, 0, state.luminance);
  StoreTable(h, 1, state.chrominance);
  // Frame header: precision 8, 240 lines of 640 samples, three components:
  // luminance sampled 2 x 1 with table 0, the chrominance 1 x 1 with table 1.
  static constexpr uint8_t kFrame[19] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0xF0, 0x02, 0x80, 0x03,
                                         0x01, 0x21, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
  std::memcpy(h.data() + kSofStart, kFrame, sizeof kFrame);
  // The Huffman tables of Annex K, as the library installs them by default.
  jpeg_compress_struct& c = state.compress;
  const bool ok = Guarded(state, reinterpret_cast<j_common_ptr>(&c), [&] {
    c.in_color_space = JCS_YCbCr;
    c.input_components = 3;
    jpeg_set_defaults(&c);
  });
  if (!ok) return false;
  uint8_t* at = h.data() + kDhtStart;
  at = PutHuffman(at, 0x00, *c.dc_huff_tbl_ptrs[0]);
  at = PutHuffman(at, 0x10, *c.ac_huff_tbl_ptrs[0]);
  at = PutHuffman(at, 0x01, *c.dc_huff_tbl_ptrs[1]);
  at = PutHuffman(at, 0x11, *c.ac_huff_tbl_ptrs[1]);
  // Scan header: the three components, spectral selection 0..63.
  static constexpr uint8_t kScan[14] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00,
                                        0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00};
  if (at + sizeof kScan != h.data() + kHeaderBytes) return false;
  std::memcpy(at, kScan, sizeof kScan);
  return true;
}

int QualityScale(int quality) {
  if (quality <= 0) quality = 1;
  return quality < 50 ? 5000 / quality : 200 - 2 * quality;
}

int EstimateQuality(const JQUANT_TBL* luminance) {
  if (luminance == nullptr) return 0;
  // Entry 59 of the zig-zag scan is 120 in the unscaled table K.1.
  const int s = 100 * luminance->quantval[kZigZag[59]] / 120;
  return s <= 100 ? (200 - s) / 2 : 5000 / s;
}

Sampling SamplingOf(int internalFormat) {
  switch (internalFormat) {
    case CL_YUV422:
      return {2, 1};
    case CL_YUV422DC:
      return {2, 2};
    default:
      return {1, 1};
  }
}

int FormatOfImage(const jpeg_decompress_struct& d) {
  if (d.num_components == 1) return CL_GRAYSCALE;
  if (d.num_components != 3) return 0;
  const int h = d.comp_info[0].h_samp_factor;
  const int v = d.comp_info[0].v_samp_factor;
  if (h == 2 && v == 2) return CL_YUV422DC;
  if (h == 2 && v == 1) return CL_YUV422;
  return CL_YUV;
}

}  // namespace cl::codecs::jpeg
