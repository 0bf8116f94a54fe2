// The G.711 conversions and the u-law and A-law codecs.
#include <cstdlib>
#include <tuple>

#include "capture.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;

// u-law, from the standard's description of the code rather than the
// encoder's bias arithmetic: segment e of 16 intervals each 8 << e wide
// (in 16-bit units); a code stands for the middle of its interval,
// ((2m + 33) << e) - 33 on the 14-bit scale, times 4.
int UlawMiddle(int e, int m) { return (((2 * m + 33) << e) - 33) * 4; }
int UlawStep(int e) { return 8 << e; }

// The code whose interval holds sample (magnitudes past the last interval
// are clipped to it), found by searching all 128 intervals.
int ExpectedUlaw(int sample) {
  int magnitude = std::abs(sample);
  if (magnitude > 32635) magnitude = 32635;
  for (int e = 0; e < 8; ++e) {
    for (int m = 0; m < 16; ++m) {
      const int lo = UlawMiddle(e, m) - UlawStep(e) / 2;
      if (magnitude >= lo && magnitude < lo + UlawStep(e)) {
        const int code = ~((sample < 0 ? 0x80 : 0) | e << 4 | m) & 0xFF;
        return code == 0 ? 0x02 : code;
      }
    }
  }
  return -1;
}

// A-law on the 13-bit magnitude: segment 0 covers 0-31 in steps of 2,
// segment s covers 16 << s to 32 << s in steps of 1 << s; a code stands for
// the middle of its interval. Negative samples mirror as -v - 1.
int AlawLow(int s, int m) { return s == 0 ? 2 * m : (16 + m) << s; }
int AlawStep(int s) { return s == 0 ? 2 : 1 << s; }

int ExpectedAlaw(int sample) {
  int v = sample >> 3;
  const bool negative = v < 0;
  if (negative) v = -v - 1;
  for (int s = 0; s < 8; ++s) {
    for (int m = 0; m < 16; ++m) {
      if (v >= AlawLow(s, m) && v < AlawLow(s, m) + AlawStep(s)) return ((negative ? 0 : 0x80) | s << 4 | m) ^ 0x55;
    }
  }
  return -1;
}

// For both laws, every sample encodes into its interval and every code
// decodes to its interval's middle.
TEST(G711Tables, CodesMatchTheIntervals) {
  for (int x = -32768; x <= 32767; ++x) {
    ASSERT_EQ(CL_linear2ulaw(int16_t(x)), ExpectedUlaw(x)) << "sample " << x;
    ASSERT_EQ(CL_linear2alaw(int16_t(x)), ExpectedAlaw(x)) << "sample " << x;
  }
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    const int u = ~code & 0xFF;
    const int magnitude = UlawMiddle((u >> 4) & 7, u & 15);
    EXPECT_EQ(CL_ulaw2linear(uint8_t(code)), (u & 0x80) ? -magnitude : magnitude);
    EXPECT_EQ(CL_ulaw2linear_slow(uint8_t(code)), (u & 0x80) ? -magnitude : magnitude);
    const int a = code ^ 0x55;
    const int middle = 8 * (2 * AlawLow((a >> 4) & 7, a & 15) + AlawStep((a >> 4) & 7)) / 2;
    EXPECT_EQ(CL_alaw2linear(uint8_t(code)), (a & 0x80) ? middle : -middle);
  }
}

// For each law: a stereo stream is the header, then one code per sample; a
// second call writes no header. Four channels decode to the table values.
TEST(G711Codec, StreamsAndDecodes) {
  const struct {
    int scheme;
    uint8_t (*encode)(int16_t);
    int16_t (*decode)(uint8_t);
  } laws[] = {{CL_G711_ULAW, CL_linear2ulaw, CL_ulaw2linear}, {CL_G711_ALAW, CL_linear2alaw, CL_alaw2linear}};
  std::vector<int16_t> samples(200);
  for (int i = 0; i < 200; ++i) samples[size_t(i)] = int16_t((i * 7919) % 65536 - 32768);
  for (const auto& c : laws) {
    SCOPED_TRACE(c.scheme);
    Handle enc(c.scheme, true, {CL_ORIGINAL_FORMAT, 1, CL_COMPRESSED_BUFFER_SIZE, 248});
    const Bytes data = enc.Compress(samples.data(), 100);
    ASSERT_EQ(data.size(), 248u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 48), StreamHeader(c.scheme, 1, 44100.0f, {}));
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(data[48 + i], c.encode(samples[i])) << i;
    EXPECT_EQ(clQueryScheme(data.data()), c.scheme);
    const Bytes more = enc.Compress(samples.data(), 3);
    ASSERT_EQ(more.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(more[i], c.encode(samples[i]));

    Handle enc4(c.scheme, true, {CL_ORIGINAL_FORMAT, 2, CL_COMPRESSED_BUFFER_SIZE, 48 + 120});
    Bytes four = enc4.Compress(samples.data(), 30);
    ASSERT_EQ(four.size(), 168u);
    Handle dec(c.scheme, false, {CL_ORIGINAL_FORMAT, 2});
    std::vector<int16_t> out(120 + 4, 0x5A5A);
    CapturedErrors errors;
    // In two calls: only the first reads a header, so the second's 20 bytes are enough.
    ASSERT_EQ(clDecompress(dec, 25, 48 + 100, four.data(), out.data()), 0);
    ASSERT_EQ(clDecompress(dec, 5, int(four.size()) - 148, four.data() + 148, out.data() + 100), 0);
    for (size_t i = 0; i < 120; ++i) ASSERT_EQ(out[i], c.decode(c.encode(samples[i]))) << i;
    EXPECT_EQ(out[120], 0x5A5A);  // nothing past the frames asked for
    // Four channels lie outside the audio "Internal format" range, which is
    // left alone rather than clamped with a complaint.
    EXPECT_TRUE(errors.reports().empty());
  }
}

// The default "Compressed buffer size" covers the header and one block.
TEST(G711Params, BufferSizeAndMessages) {
  {
    Handle enc(CL_G711_ULAW, true, {CL_ORIGINAL_FORMAT, 3});
    EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 48 + 5);
    clSetParam(enc, CL_BLOCK_SIZE, 100);
    EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 48 + 500);
    clSetParam(enc, CL_COMPRESSED_BUFFER_SIZE, 4000);
    EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 4000);
  }
  CapturedErrors errors;
  std::vector<int16_t> samples(4, 0);
  for (const auto& [scheme, param, value, text] :
       {std::tuple{CL_G711_ALAW, CL_COMPRESSED_BUFFER_SIZE, 40,
                   "clCompress G711: insufficient space to write header (48 bytes needed, 40 free).\n"},
        {CL_G711_ULAW, CL_BITS_PER_COMPONENT, 8, "clCompress G711: samples must be 16 bits wide, not 8.\n"}}) {
    Handle enc(scheme, true, {CL_ORIGINAL_FORMAT, 0, param, value});
    int result = 0;
    enc.Compress(samples.data(), 4, &result);
    EXPECT_EQ(result, CL_ERR_NO_DATA);
    EXPECT_EQ(errors.last(), text);
  }
  Handle dec(CL_G711_ULAW, false, {CL_ORIGINAL_FORMAT, 0});
  Bytes shortStream(20, 0xFF);
  EXPECT_EQ(clDecompress(dec, 4, int(shortStream.size()), shortStream.data(), samples.data()), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clDecompress G711: insufficient data for header (48 bytes needed, 20 free).\n");
}

// Frames that do not fit plain memory fail the call: success would lose them.
TEST(AudioIntoPlainMemory, FramesThatDoNotFitAreAnError) {
  const struct {
    int scheme, header, codedBytes;
    const char* text;
  } cases[] = {{CL_G711_ULAW, 48, 2, "clCompress G711: unable to update data (wanted 4, got 0).\n"},
               {CL_UNCOMPRESSED_AUDIO, 64, 4, "clCompress Uncompressed: unable to update data (wanted 8, got 0).\n"}};
  const std::vector<int16_t> samples = {1, -2, 300, -400, 5000, -6000};  // three stereo frames
  for (const auto& c : cases) {
    CapturedErrors errors;
    Handle enc(c.scheme, true, {CL_ORIGINAL_FORMAT, 1, CL_BITS_PER_COMPONENT, 16});
    int result = 0;
    const Bytes one = enc.Compress(samples.data(), 3, &result);
    EXPECT_EQ(result, CL_ERR_NO_DATA) << c.scheme;
    EXPECT_EQ(one.size(), size_t(c.header + c.codedBytes)) << c.scheme;
    EXPECT_EQ(errors.only(), c.text);
    Handle roomy(c.scheme, true, {CL_ORIGINAL_FORMAT, 1, CL_BITS_PER_COMPONENT, 16, CL_COMPRESSED_BUFFER_SIZE,
                                  c.header + 3 * c.codedBytes});
    EXPECT_EQ(roomy.Compress(samples.data(), 3).size(), size_t(c.header + 3 * c.codedBytes)) << c.scheme;
  }
}

}  // namespace
