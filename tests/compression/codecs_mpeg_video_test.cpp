// The "MPEG Video" codec against streams and pictures ffmpeg makes at test
// time, compared after the codec's colour tables so that only decoding differs.
#include <cstdlib>
#include <tuple>

#include "codecs/mpeg_video/colour.h"
#include "compression/capture.h"
#include "compression/codecs_test_util.h"
#include "movie/temp_dir.h"

namespace {

using namespace codectest;

struct Decoded {
  std::vector<Bytes> frames;
  std::vector<int> types;
  int width = 0;
  int height = 0;
  int result = 0;  // the first failing clDecompress result, else 0
};

// Gives the handle a data ring holding the whole stream; returns where the
// stream starts.
uint8_t* FillRing(CL_Handle h, const Bytes& stream, bool done = true) {
  void* start = nullptr;
  Feed(clCreateBuf(h, CL_DATA, int(stream.size()), 1, &start), stream, SIZE_MAX, done);
  return static_cast<uint8_t*>(start);
}

// Decodes a whole stream from a data ring, one frame per call, until a call
// delivers nothing.
Decoded Decode(const Bytes& stream, float speed = 1.0f) {
  Decoded out;
  Handle h(CL_MPEG_VIDEO, false, {CL_ORIGINAL_FORMAT, CL_RGBX});
  clSetParam(h, CL_SPEED, FloatBits(speed));  // clamped, but the codec sees the speed asked for
  if (clReadHeader(h, int(stream.size()), const_cast<uint8_t*>(stream.data())) <= 0) return out;
  out.width = clGetParam(h, CL_IMAGE_WIDTH);
  out.height = clGetParam(h, CL_IMAGE_HEIGHT);
  FillRing(h, stream);
  const size_t frameBytes = size_t(out.width) * out.height * 4;
  for (int guard = 0; guard < 1000; ++guard) {
    Bytes frame(frameBytes);
    const int result = clDecompress(h, 1, 0, nullptr, frame.data());
    if (out.result == 0) out.result = result;
    const int type = clGetParam(h, CL_FRAME_TYPE);
    if (type == 0) break;
    out.frames.push_back(std::move(frame));
    out.types.push_back(type);
  }
  return out;
}

// ffmpeg's pictures (4:2:0 planes in a file) turned to RGBX through the
// codec's own colour tables and cut to the codec's picture size.
std::vector<Bytes> ReferencePictures(const std::string& yuv, int width, int height, int outWidth, int outHeight) {
  const Bytes all = TempDir::read(yuv);
  const int cw = (width + 1) / 2;
  const int ch = (height + 1) / 2;
  const size_t pictureBytes = size_t(width) * height + 2 * size_t(cw) * ch;
  std::vector<Bytes> pictures;
  for (size_t at = 0; at + pictureBytes <= all.size(); at += pictureBytes) {
    const uint8_t* y = all.data() + at;
    const uint8_t* cb = y + size_t(width) * height;
    const uint8_t* cr = cb + size_t(cw) * ch;
    Bytes rgbx(size_t(outWidth) * outHeight * 4);
    for (int r = 0; r < outHeight; ++r) {
      for (int c = 0; c < outWidth; ++c) {
        const size_t k = size_t(r / 2) * cw + c / 2;
        const uint32_t p = cl::codecs::mpeg::RgbxPixel(y[size_t(r) * width + c], cr[k], cb[k]);
        std::memcpy(&rgbx[(size_t(r) * outWidth + c) * 4], &p, 4);
      }
    }
    pictures.push_back(std::move(rgbx));
  }
  return pictures;
}

// Picture types in display order as ffprobe reports them (1 I, 2 P, 3 B).
std::vector<int> FfprobeTypes(const std::string& file) {
  std::vector<int> types;
  FILE* pipe = popen(("ffprobe -v error -show_entries frame=pict_type -of csv=p=0 " + file).c_str(), "r");
  for (int c = 0, previous = '\n'; pipe != nullptr && (c = fgetc(pipe)) != EOF; previous = c) {
    if (previous == '\n' && std::strchr("IPB", c) != nullptr) types.push_back(c == 'I' ? 1 : c == 'P' ? 2 : 3);
  }
  if (pipe != nullptr) pclose(pipe);
  return types;
}

// All cases in one test: one ffmpeg run makes every stream (one output
// each) and a second decodes them all, so the table costs two processes.
TEST(MpegVideoFfmpeg, StreamsDecodeToFfmpegsPicturesInDisplayOrder) {
  TempDir dir;
  std::string steep;  // an intra matrix weighting high frequencies far more
  for (int i = 0; i < 64; ++i) steep += (i ? "," : "") + std::to_string(8 + (i % 8 + i / 8) * 7);
  const struct {
    const char* name;
    int width, height, frames;
    std::string options;
  } cases[] = {
      {"TwoBPictures", 352, 240, 26, "-bf 2 -g 12 -qscale:v 2"},
      {"NotWholeMacroblocks", 360, 244, 20, "-bf 2 -g 18 -qscale:v 8"},
      {"OddMacroblocks", 200, 152, 14, "-bf 2 -g 12 -qscale:v 12"},
      {"AllIntra", 352, 240, 6, "-g 1 -qscale:v 6"},
      {"IntraMatrix", 176, 128, 14, "-bf 2 -g 12 -qscale:v 3 -intra_matrix " + steep},
      {"TimeCode", 64, 48, 4, "-bf 0 -g 12 -gop_timecode 00:01:02:05"},
  };
  std::string encode = "ffmpeg -v error -y -f lavfi -i testsrc2=size=360x244:rate=30";
  std::string decode = "ffmpeg -v error -y";
  std::string outputs;
  for (size_t k = 0; k < std::size(cases); ++k) {
    const auto& c = cases[k];
    const std::string name = dir.file("s" + std::to_string(k));
    encode += " -s " + std::to_string(c.width) + "x" + std::to_string(c.height) + " -frames:v " +
              std::to_string(c.frames) + " -pix_fmt yuv420p -c:v mpeg1video " + c.options + " " + name + ".m1v";
    decode += " -i " + name + ".m1v";
    outputs += " -map " + std::to_string(k) + ":v -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + name + ".yuv";
  }
  ASSERT_EQ(std::system(encode.c_str()), 0) << encode;
  ASSERT_EQ(std::system((decode + outputs).c_str()), 0) << decode;

  CapturedErrors errors;  // repeated sequence headers are reported
  for (size_t k = 0; k < std::size(cases); ++k) {
    const auto& c = cases[k];
    SCOPED_TRACE(c.name);
    const std::string name = dir.file("s" + std::to_string(k));
    const Bytes stream = TempDir::read(name + ".m1v");
    const Decoded d = Decode(stream);
    const std::vector<Bytes> reference = ReferencePictures(name + ".yuv", c.width, c.height, d.width, d.height);
    ASSERT_EQ(d.frames.size(), size_t(c.frames));
    ASSERT_EQ(reference.size(), size_t(c.frames));
    double total = 0;
    double worst = 99;
    for (size_t f = 0; f < d.frames.size(); ++f) {
      const double psnr = Psnr(d.frames[f], reference[f], true);
      worst = std::min(worst, psnr);
      total += psnr;
    }
    EXPECT_GE(worst, 33.0);
    EXPECT_GE(total / double(d.frames.size()), 38.0);
    EXPECT_EQ(d.result, 0);
    if (c.name == std::string("TwoBPictures")) {
      EXPECT_EQ(d.types, FfprobeTypes(name + ".m1v"));
      // At speed 2 no B picture is delivered and at speed 4 only I pictures are;
      // the ones delivered are the pictures of full-speed play.
      for (const float speed : {2.0f, 4.0f}) {
        SCOPED_TRACE(speed);
        const Decoded fast = Decode(stream, speed);
        std::vector<Bytes> expected;
        std::vector<int> types;
        for (size_t f = 0; f < d.types.size(); ++f) {
          if (d.types[f] == 1 || (d.types[f] == 2 && speed < 3.0f)) {
            expected.push_back(d.frames[f]);
            types.push_back(d.types[f]);
          }
        }
        EXPECT_EQ(fast.types, types);
        EXPECT_TRUE(fast.frames == expected);
      }
      // Cut short or with bytes spoilt through its slices, a stream still
      // delivers pictures, and a spoilt one makes the call fail with -18.
      const Decoded cut = Decode(Bytes(stream.begin(), stream.begin() + long(stream.size() / 2)));
      EXPECT_GT(cut.frames.size(), 5u);
      Bytes spoilt = stream;
      for (size_t at = 300; at < spoilt.size(); at += 997) spoilt[at] ^= 0x5A;
      const Decoded damaged = Decode(spoilt);
      EXPECT_GT(damaged.frames.size(), 5u);
      EXPECT_EQ(damaged.result, CL_ERR_NO_DATA);
    }
    if (c.name == std::string("TimeCode")) {
      // clFindNextGOP finds the time code's frame number and consumes nothing.
      Handle h(CL_MPEG_VIDEO, false);
      uint8_t* start = FillRing(h, stream, false);
      CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
      int offset = -1;
      void* position = nullptr;
      EXPECT_EQ(clFindNextGOP(data, 30, &offset, &position), 1865);
      EXPECT_EQ(static_cast<uint8_t*>(position), start + offset);
      EXPECT_EQ(clQueryValid(data, 0, &position, nullptr), int(stream.size()));
    }
  }
  // Two streams decoded one frame at a time in turn give the pictures each
  // gives alone.
  const Bytes a = TempDir::read(dir.file("s0.m1v")), b = TempDir::read(dir.file("s1.m1v"));
  const Decoded aloneA = Decode(a);
  const Decoded aloneB = Decode(b);
  Handle ha(CL_MPEG_VIDEO, false);
  Handle hb(CL_MPEG_VIDEO, false);
  std::vector<Bytes> gotA;
  std::vector<Bytes> gotB;
  for (const auto& [h, stream, got] : {std::tie(ha, a, gotA), std::tie(hb, b, gotB)}) {
    clReadHeader(h, int(stream.size()), const_cast<uint8_t*>(stream.data()));
    FillRing(h, stream);
  }
  for (size_t f = 0; f < std::max(aloneA.frames.size(), aloneB.frames.size()); ++f) {
    for (const auto& [h, alone, got] : {std::tie(ha, aloneA, gotA), std::tie(hb, aloneB, gotB)}) {
      if (f >= alone.frames.size()) continue;
      Bytes frame(alone.frames[f].size());
      clDecompress(h, 1, 0, nullptr, frame.data());
      got.push_back(std::move(frame));
    }
  }
  EXPECT_TRUE(gotA == aloneA.frames);
  EXPECT_TRUE(gotB == aloneB.frames);
}

// A sequence header: start code, then the fields packed most significant
// bit first, no matrices loaded.
Bytes SequenceHeaderBytes(int width, int height, int rateCode, int bitRate, int constrained) {
  const uint64_t fields = uint64_t(width) << 52 | uint64_t(height) << 40 | uint64_t(1) << 36 |
                          uint64_t(rateCode) << 32 | uint64_t(bitRate) << 14 | uint64_t(1) << 13 |
                          uint64_t(20) << 3 | uint64_t(constrained) << 2;
  Bytes b = {0, 0, 1, 0xB3};
  for (int k = 7; k >= 0; --k) b.push_back(uint8_t(fields >> (8 * k)));
  return b;
}

TEST(MpegVideoHeader, SetsTheSequenceParameters) {
  const struct {
    int width, height, rateCode, bitRate, constrained, format, leadingZeros;
    int expectWidth, expectHeight, expectComponents;
    float expectRate, expectRatio;
  } cases[] = {{352, 240, 3, 2880, 1, CL_RGBX, 0, 352, 240, 4, 25.0f, 58.67f},
               {360, 244, 5, 0x3FFFF, 0, CL_RGB, 2, 352, 240, 3, 30.0f, 1.0f},
               {352, 240, 4, 1000, 0, CL_RGB332, 1, 352, 240, 1, 29.97f, 50.64f},
               {4000, 16, 12, 1, 0, CL_YUV, 0, 4000, 16, 3, 0.0f, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rateCode);
    Handle h(CL_MPEG_VIDEO, false, {CL_ORIGINAL_FORMAT, c.format});
    Bytes bytes(size_t(c.leadingZeros), 0);
    const Bytes header = SequenceHeaderBytes(c.width, c.height, c.rateCode, c.bitRate, c.constrained);
    bytes.insert(bytes.end(), header.begin(), header.end());
    Bytes first16 = header;
    first16.resize(16);  // scheme queries look at 16 bytes
    EXPECT_EQ(clQueryScheme(first16.data()), CL_MPEG_VIDEO);
    EXPECT_EQ(clReadHeader(h, int(bytes.size()), bytes.data()), c.leadingZeros + 4);
    EXPECT_EQ(clGetParam(h, CL_IMAGE_WIDTH), c.expectWidth);
    EXPECT_EQ(clGetParam(h, CL_IMAGE_HEIGHT), c.expectHeight);
    EXPECT_EQ(clGetParam(h, CL_INTERNAL_FORMAT), CL_YUV422DC);
    EXPECT_EQ(std::bit_cast<float>(clGetParam(h, CL_FRAME_RATE)), c.expectRate);
    EXPECT_NEAR(std::bit_cast<float>(clGetParam(h, CL_COMPRESSION_RATIO)), c.expectRatio, 0.01);
    EXPECT_EQ(clGetParam(h, CL_EXACT_COMPRESSION_RATIO), c.constrained);
    // Until the caller sets it, the compressed buffer size is one frame of
    // the components (following the original format) and bits the handle has.
    EXPECT_EQ(clGetParam(h, CL_COMPRESSED_BUFFER_SIZE), c.expectWidth * c.expectHeight * c.expectComponents);
    clSetParam(h, CL_COMPRESSED_BUFFER_SIZE, 1234);
    EXPECT_EQ(clGetParam(h, CL_COMPRESSED_BUFFER_SIZE), 1234);
  }
}

// Streams that do not start with a sequence header are refused.
TEST(MpegVideoErrors, StreamsWithoutAPicture) {
  CapturedErrors errors;
  Bytes gop = {0, 0, 1, 0xB8, 0, 8, 0, 0x40, 0, 0, 1, 0xB7, 0, 0, 0, 0};
  Handle h(CL_MPEG_VIDEO, false, {CL_IMAGE_WIDTH, 16, CL_IMAGE_HEIGHT, 16});
  EXPECT_EQ(clQueryScheme(gop.data()), -1);
  EXPECT_EQ(clReadHeader(h, int(gop.size()), gop.data()), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.only(), "clReadHeader MPEG Video: sequence did not begin with a header.\n");
  Bytes frame(16 * 16 * 4);
  EXPECT_EQ(clDecompress(h, 1, int(gop.size()), gop.data(), frame.data()), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.only(), "clDecompress MPEGVideo: sequence did not begin with a header.\n");

  // A sequence of nothing but its header and end code delivers no picture:
  // the frame stays as it was, "Frame type" reads 0 and "End of sequence" 1.
  Bytes stream = SequenceHeaderBytes(32, 16, 5, 100, 0);
  stream.insert(stream.end(), {0, 0, 1, 0xB7});
  Handle empty(CL_MPEG_VIDEO, false);
  ASSERT_EQ(clReadHeader(empty, int(stream.size()), stream.data()), 4);
  EXPECT_EQ(empty.Decompress(stream, 32 * 16 * 4), Bytes(32 * 16 * 4, 0xEE));
  EXPECT_EQ(clGetParam(empty, CL_FRAME_TYPE), 0);
  EXPECT_EQ(clGetParam(empty, CL_ALGORITHM_PARAMS), 1);
}

// The compressor stores frames as they are, or converted to the internal
// format; -1 takes the original.
TEST(MpegVideoCompressor, StoresFramesUnencoded) {
  Bytes frame(16 * 2 * 4);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7);
  for (const auto& [internal, bytes] : {std::pair{-1, 16 * 2 * 4}, std::pair{int(CL_RGB), 16 * 2 * 3}}) {
    Handle h(CL_MPEG_VIDEO, true, 16, 2, CL_RGBX, {CL_INTERNAL_FORMAT, internal, CL_COMPRESSED_BUFFER_SIZE, 1000});
    const Bytes stored = h.Compress(frame.data(), 1);
    ASSERT_EQ(stored.size(), size_t(bytes));
    if (internal == -1) {
      EXPECT_EQ(stored, frame);
      EXPECT_EQ(clGetParam(h, CL_INTERNAL_FORMAT), CL_RGBX);
    } else {
      EXPECT_EQ(stored[3], frame[6]);  // the second pixel, blue first
      EXPECT_EQ(stored[5], frame[4]);
    }
  }
}

}  // namespace
