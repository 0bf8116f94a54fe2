// "MVC1" colour frames against ffmpeg's "msvideo1" decoder: with every word
// byte-swapped, masks with bit 15 clear and sides a multiple of 4, a frame is
// one of that code, and both must give the same 5-bit levels.
#include <utility>

#include "codecs_test_util.h"
#include "qt_tools.h"

namespace {

using codectest::FloatBits;
using codectest::Handle;
using qt_tools::Bytes;
using qt_tools::Picture;

class Mvc1AgainstFfmpeg : public testing::TestWithParam<float> {};

TEST_P(Mvc1AgainstFfmpeg, DecodesTheSameFiveBitLevels) {
  constexpr int kW = 64, kH = 48, kFrames = 3;
  const std::vector<Picture> clip = qt_tools::movingClip(kW, kH, kFrames);
  std::vector<int> pv = {CL_IMAGE_WIDTH, kW, CL_IMAGE_HEIGHT, kH, CL_ORIENTATION, 1,
                         CL_COMPRESSION_RATIO, FloatBits(GetParam())};
  Handle enc(CL_MVC1, true);
  Handle dec(CL_MVC1, false);
  ASSERT_GE(clSetParams(enc, pv.data(), int(pv.size())), 0);
  ASSERT_GE(clSetParams(dec, pv.data(), 6), 0);
  std::vector<Bytes> swapped;
  std::vector<Picture> ours;
  int eightColourBlocks = 0;
  for (const Picture& p : clip) {
    Bytes stream = enc.Compress(p.data(), 1);
    Picture out(p.size());
    ASSERT_EQ(clDecompress(dec, 1, int(stream.size()), stream.data(), out.data()), 0);
    ours.push_back(out);
    Bytes frame(stream.begin() + (swapped.empty() ? 80 : 0), stream.end());
    for (size_t i = 0; i + 1 < frame.size(); i += 2) std::swap(frame[i], frame[i + 1]);
    eightColourBlocks += int(frame.size() - 6 * (kW / 4) * (kH / 4)) / 12;
    swapped.push_back(std::move(frame));
  }
  if (GetParam() < 3.0f) {
    EXPECT_GT(eightColourBlocks, 0) << "both block forms are compared";
  }

  const std::vector<Picture> theirs =
      qt_tools::ffmpegDecode(qt_tools::quickTimeFile("MSVC", kW, kH, 16, swapped), kW, kH);
  ASSERT_EQ(theirs.size(), size_t(kFrames)) << "ffmpeg decodes every frame";
  for (int f = 0; f < kFrames; ++f) {
    int differing = 0;
    for (size_t i = 0; i < ours[f].size(); ++i) differing += (ours[f][i] & 0xF8F8F8) != (theirs[f][i] & 0xF8F8F8);
    EXPECT_EQ(differing, 0) << "frame " << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Ratios, Mvc1AgainstFfmpeg, testing::Values(8.0f, 2.6666667f));

}  // namespace
