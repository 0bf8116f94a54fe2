// Parameters: the built-in tables, handles' values and registry-level changes.
#include <climits>

#include "capture.h"
#include "codec.h"
#include "codecs_test_util.h"
#include "copy_codec.h"
#include "core.h"

namespace {

using codectest::FloatBits;

const cl::ParamDesc& Param(int scheme, int position) { return (*cl::FindAlgorithm(scheme)->params)[position]; }

// A sample across the tables: the common columns, each row's deviations and
// own parameters, the empty descriptors and the raw float words.
TEST(ClBuiltinParams, DescriptorsMatch) {
  const struct {
    int scheme, position;
    const char* name;
    int type, min, max, def;
  } cases[] = {
      {0x8000, 0, "Image width", 1, 1, 1000000, 320},
      {0x8000, 6, "Frame rate", 3, FloatBits(0.0f), FloatBits(1000000.0f), FloatBits(30.0f)},
      {0, 3, "Internal format", 0, -1, 1, -1},
      {0, 6, "Frame rate", 3, FloatBits(0.0f), FloatBits(44100.0f), FloatBits(44100.0f)},
      {1, 4, "Number of components", 1, 1, 8, 2},
      {3, 7, "Compression ratio", 3, FloatBits(1.14f), FloatBits(48.0f), FloatBits(5.125f)},
      {3, 23, "Bitrate target", 1, 32000, 448000, 256000},
      {4, 7, "Compression ratio", 3, 0x04080000, 0x41400000, 0x042C8000},
      {4, 21, "Noise margin", 3, FloatBits(-124.0f), FloatBits(-20.0f), FloatBits(-90.0f)},
      {0x8001, 3, "Internal format", 1, -1, 3, 3},
      {0x8002, 20, "Quality Factor", 1, 0, 100, 75},
      {0x8002, 21, "Stream headers flag", 1, 0, 1, 1},
      {0x8003, 22, nullptr, 0, 0, 0, 0},
      {0x8004, 7, "Compression ratio", 3, FloatBits(2.6666667f), FloatBits(12.0f), FloatBits(5.3f)},
      {0x8005, 20, "Quality level", 1, 1, 6, 1},
      {0x8006, 21, "Samples per tile", 1, 1, 16, 2},
      {0x8007, 0, "Image width", 1, 104, 10000, 640},
      {0x8007, 25, "Frame Control", 0, 0, 4, 3},
      {0x8008, 10, "Compressed buffer size", 1, 0, INT_MAX, 307200},
      {0x8009, 3, "Internal format", 1, -1, 1, 1},
      {0x8009, 4, "Number of components", 1, 1, 8, 4}};
  for (const auto& e : cases) {
    SCOPED_TRACE(testing::Message() << e.scheme << " " << e.position);
    const cl::ParamDesc& d = Param(e.scheme, e.position);
    EXPECT_STREQ(d.name, e.name);
    EXPECT_EQ(std::vector<int>({d.type, d.min, d.max, d.def}), std::vector<int>({e.type, e.min, e.max, e.def}));
  }
}

class ClHandleParams : public testing::Test {
 protected:
  codectest::Handle h_{CopyCodecScheme(), true};
};

// An open handle has the row's defaults and its own scheme; the number of
// components follows the original format; clSetParam passes on the codec's
// answer of 0 rather than the previous value.
TEST_F(ClHandleParams, DefaultsComponentsAndSingleValues) {
  EXPECT_EQ(clGetParam(h_, CL_IMAGE_WIDTH), 320);
  EXPECT_EQ(clGetParam(h_, CL_ALGORITHM_ID), CopyCodecScheme());
  EXPECT_EQ(clGetParam(h_, CL_NUMBER_OF_FRAMES), 1);
  EXPECT_EQ(clGetParam(h_, CL_FRAME_RATE), 0x41F00000);
  EXPECT_EQ(clQuerySchemeFromHandle(h_), CopyCodecScheme());
  for (const auto& [format, components] : {std::pair{int(CL_RGB332), 1}, {int(CL_RGBA), 4}, {20, 0}}) {
    clSetParam(h_, CL_ORIGINAL_FORMAT, format);
    int pv[] = {CL_NUMBER_OF_COMPONENTS, -1};
    clGetParams(h_, pv, 2);
    EXPECT_EQ(pv[1], components) << format;
  }
  EXPECT_EQ(clSetParam(h_, CL_IMAGE_WIDTH, 640), 0);
  EXPECT_EQ(clGetParam(h_, CL_IMAGE_WIDTH), 640);
  CapturedErrors errors;
  EXPECT_EQ(clSetParam(h_, 99, 1), CL_ERR_BAD_PARAM);
  EXPECT_EQ(errors.only(), "clGetParams: bad param in buffer[0] 99\n");
  EXPECT_EQ(clSetParam(h_, CL_FRAME_TYPE, 7), CL_ERR_VALUE_CLAMPED);
}

// Values outside a descriptor's range are clamped with a message ("" where
// it is not checked, nullptr where the value is kept); the codec sees the
// values as asked for.
TEST_F(ClHandleParams, ClampsWithMessages) {
  const struct {
    int param, value, stored;
    const char* message;
  } cases[] = {
      {CL_IMAGE_WIDTH, -5, 0, "<Image width> to -5, min is 0. Setting to 0.\n"},
      {CL_FRAME_TYPE, 9, 3, "<Frame type> to 9, max is 3. Setting to 3.\n"},
      {CL_ALGORITHM_VERSION, 2, 1, "<Algorithm version> to 2, only legal value is 1. Setting to 1.\n"},
      {CL_SPEED, FloatBits(5.0f), FloatBits(1.0f),
       "<Speed of playback>\n  to 5.000000, only legal value is 1.000000. Setting to 1.000000.\n"},
      {CL_COMPRESSION_RATIO, FloatBits(0.5f), FloatBits(1.0f),
       "<Compression ratio>\n  to 0.500000, min is 1.000000. Setting to 1.000000.\n"},
      {CL_COMPRESSION_RATIO, FloatBits(250.0f), FloatBits(250.0f), nullptr},
      {CL_COMPRESSION_RATIO, 0x7FC00000, FloatBits(1.0f), ""}};  // NaN
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    CapturedErrors errors;
    int pv[] = {c.param, c.value};
    EXPECT_EQ(clSetParams(h_, pv, 2), c.message == nullptr ? 0 : CL_ERR_VALUE_CLAMPED);
    if (c.message == nullptr) {
      EXPECT_TRUE(errors.reports().empty());
    } else if (*c.message != '\0') {
      EXPECT_EQ(errors.only(), std::string("clSetParams: Attempt to set param ") + c.message);
    }
    EXPECT_EQ(clGetParam(h_, c.param), c.stored);
    EXPECT_EQ(CopyLastSetValue(), c.value);
  }
}

// Bad identifiers are skipped and reported, the rest applied; the buffer
// checks come in order.
TEST_F(ClHandleParams, BadIdentifiersAndBuffersAreReported) {
  CapturedErrors errors;
  int pv[] = {static_cast<int>(0x80000005u), 1, CL_IMAGE_HEIGHT, 480};
  EXPECT_EQ(clSetParams(h_, pv, 4), CL_ERR_BAD_PARAM);
  EXPECT_EQ(errors.only(), "clSetParams: bad param in buffer[0] -2147483643\n");
  EXPECT_EQ(clGetParam(h_, CL_IMAGE_HEIGHT), 480);
  int get[] = {CL_IMAGE_HEIGHT, 0, 20, 77, INT_MAX, 0};
  EXPECT_EQ(clGetParams(h_, get, 6), CL_ERR_BAD_PARAM);
  EXPECT_EQ(get[1], 480);
  EXPECT_EQ(get[3], 77);
  EXPECT_EQ(clGetParam(h_, 20), CL_ERR_BAD_PARAM);
  EXPECT_EQ(clGetParams(nullptr, pv, 2), CL_ERR_NULL_HANDLE);
  EXPECT_EQ(clGetParams(h_, nullptr, 2), CL_ERR_NULL_PVBUFFER);
  EXPECT_EQ(clGetParams(h_, pv, -2), CL_ERR_BAD_BUFFER_LENGTH);
  EXPECT_EQ(clGetParams(h_, pv, 3), CL_ERR_ODD_BUFFER_LENGTH);
  EXPECT_EQ(clSetParams(h_, nullptr, 0), 0);
  EXPECT_EQ(CopyLastSetValue(), 480);  // an empty batch does not reach the codec
  EXPECT_EQ(clSetParams(h_, nullptr, 2), CL_ERR_NULL_PVBUFFER);
  EXPECT_EQ(clSetParams(h_, pv, 1), CL_ERR_ODD_BUFFER_LENGTH);
  const std::vector<std::string> texts = errors.texts();
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.end()),
            (std::vector<std::string>{"clGetParams: bad param in buffer[4] 2147483647\n",
                                      "clGetParams: bad param in buffer[0] 20\n",
                                      "clGetParams: invalid compressor handle 0\n",
                                      "clGetParams: invalid PVbuffer parameter 0\n",
                                      "clGetParams: negative bufferlength parameter -2\n",
                                      "clGetParams: odd bufferlength parameter 3\n",
                                      "clSetParams: invalid PVbuffer parameter 0\n",
                                      "clSetParams: odd bufferlength parameter 1\n"}));
}

TEST_F(ClHandleParams, QueryParamsDescribesTheTable) {
  std::vector<intptr_t> buffer(40, -1);
  EXPECT_EQ(clQueryParams(h_, buffer.data(), 0), 40);
  EXPECT_EQ(buffer[0], -1);
  EXPECT_EQ(clQueryParams(h_, buffer.data(), 4), 40);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[2]), "Image height");
  EXPECT_EQ(buffer[3], 1);
  EXPECT_EQ(buffer[4], -1);
  EXPECT_EQ(clQueryParams(h_, buffer.data(), 40), 40);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[22]), "Block size (in frames)");
  EXPECT_EQ(buffer[39], 1);
  // A type in place of the handle lists that type's algorithms instead.
  EXPECT_EQ(clQueryParams(reinterpret_cast<CL_Handle>(1), buffer.data(), 4), clQueryAlgorithms(CL_VIDEO, nullptr, 0));
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[2]), "RLE");
  EXPECT_EQ(clQueryParams(nullptr, buffer.data(), 2), clQueryAlgorithms(CL_AUDIO, nullptr, 0));
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[0]), "Uncompressed Audio");

  CapturedErrors errors;
  EXPECT_EQ(clQueryParams(h_, buffer.data(), 3), CL_ERR_ODD_BUFFER_LENGTH);
  EXPECT_EQ(clQueryParams(h_, nullptr, 2), CL_ERR_NULL_PVBUFFER);
  EXPECT_EQ(clQueryParams(h_, buffer.data(), -1), CL_ERR_BAD_BUFFER_LENGTH);
  EXPECT_EQ(errors.texts(), (std::vector<std::string>{"clQueryParams: odd bufferlength parameter 3\n",
                                                       "clQueryParams: invalid buffer pointer 0\n",
                                                       "clQueryParams: invalid buffer length -1\n"}));
}

TEST(ClParams, AddParamAndRegistryChanges) {
  int scheme = -1;
  ASSERT_EQ(AddCopyAlgorithm("Params Probe", CL_AUDIO, &scheme), 0);
  const cl::Algorithm* row = cl::FindAlgorithm(scheme);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->paramCount, 20);
  EXPECT_EQ(Param(scheme, CL_NUMBER_OF_COMPONENTS).def, 2);
  EXPECT_EQ(Param(scheme, CL_ALGORITHM_ID).min, scheme);

  int id = 0;
  EXPECT_EQ(clAddParam(scheme, "first own", 1, 0, 10, 5, &id), 0);
  EXPECT_EQ(static_cast<uint32_t>(id), 0x80000000u);
  EXPECT_EQ(clAddParam(scheme, "second own", 3, FloatBits(1.0f), FloatBits(2.0f), FloatBits(1.5f), &id), 0);
  EXPECT_EQ(static_cast<uint32_t>(id), 0x80000001u);

  CapturedErrors errors;
  EXPECT_EQ(clAddParam(scheme, nullptr, 9, 0, 0, 0, nullptr), CL_ERR_BAD_PARAM_NAME);
  EXPECT_EQ(clAddParam(scheme, "p", 4, 0, 0, 0, nullptr), CL_ERR_BAD_PARAM_TYPE);
  EXPECT_EQ(clAddParam(scheme, "p", 1, 5, 4, 0, nullptr), CL_ERR_BAD_PARAM_NAME);
  EXPECT_EQ(clAddParam(scheme, "p", 1, 0, 4, 7, nullptr), CL_ERR_BAD_DEFAULT);
  EXPECT_EQ(clAddParam(scheme, "p", 1, 0, 4, 2, nullptr), CL_ERR_NULL_ID_POINTER);
  EXPECT_EQ(clAddParam(0x801F, "p", 1, 0, 4, 2, &id), CL_ERR_BAD_SCHEME);
  EXPECT_EQ(errors.texts(), (std::vector<std::string>{
                                "clAddParam: invalid name pointer 0\n", "clAddParam: invalid type 4 for parameter p\n",
                                "clAddParam: invalid min value greater than max value 5 > 4 for parameter p\n",
                                "clAddParam: invalid initial value - not between min and max  7 < 0  or 7 > 4\n",
                                "clAddParam: invalid name pointer 0 for parameter p\n",
                                "clAddParam: unknown compression scheme 31\n"}));

  // The table takes 256 descriptors; more are ignored without an error.
  for (int i = row->paramCount; i < cl::kMaxParams; ++i) ASSERT_EQ(clAddParam(scheme, "filler", 1, 0, 1, 0, &id), 0);
  id = 12345;
  EXPECT_EQ(clAddParam(scheme, "one too many", 1, 0, 1, 0, &id), 0);
  EXPECT_EQ(id, 12345);
  EXPECT_EQ(row->paramCount, cl::kMaxParams);

  // Registry-level changes return the previous value and affect handles
  // opened later.
  const int copy = CopyCodecScheme();
  EXPECT_EQ(clSetDefault(copy, CL_IMAGE_WIDTH, 64), 320);
  EXPECT_EQ(clSetMax(copy, CL_IMAGE_WIDTH, 100), 1000000);
  EXPECT_EQ(clSetMin(copy, CL_IMAGE_WIDTH, 2), 0);
  CL_Handle h = nullptr;
  ASSERT_EQ(clOpenDecompressor(copy, &h), 0);
  EXPECT_EQ(clGetParam(h, CL_IMAGE_WIDTH), 64);
  EXPECT_EQ(clSetParam(h, CL_IMAGE_WIDTH, 200), CL_ERR_VALUE_CLAMPED);
  EXPECT_EQ(clGetParam(h, CL_IMAGE_WIDTH), 100);
  EXPECT_EQ(clCloseDecompressor(h), 0);
  EXPECT_EQ(clSetDefault(copy, CL_IMAGE_WIDTH, 320), 64);
  EXPECT_EQ(clSetMax(copy, CL_IMAGE_WIDTH, 1000000), 100);
  EXPECT_EQ(clSetMin(copy, CL_IMAGE_WIDTH, 0), 2);
  errors.clear();
  EXPECT_EQ(clSetDefault(copy, static_cast<int>(0x80000000u), 1), CL_ERR_BAD_PARAM);
  EXPECT_EQ(errors.only(), "clSetDefault: unknown parameter -2147483648\n");
}

TEST(ClParams, FrameSizeRule) {
  EXPECT_EQ(cl::FrameSize(CL_VIDEO, CL_RGBX, 320, 240, 8), 307200);
  EXPECT_EQ(cl::FrameSize(CL_VIDEO, CL_YUV422, 320, 240, 8), 230400);
  EXPECT_EQ(cl::FrameSize(CL_VIDEO, CL_RGB332, 3, 3, 1), 1);  // 9 bits truncate to one byte
  EXPECT_EQ(cl::FrameSize(CL_VIDEO, 9, 320, 240, 8), 0);
  EXPECT_EQ(cl::FrameSize(CL_AUDIO, 3, 1, 1, 16), 10);
  EXPECT_EQ(cl::FrameSize(CL_VIDEO, CL_RGBX, 1000000, 1000000, 16), -1);
  EXPECT_STREQ(cl::FormatName(CL_YUV422DC), "YUV422DC");
  EXPECT_STREQ(cl::FormatName(-1), "Not a valid format");
  EXPECT_EQ(cl::Components(CL_AUDIO, 4), 0);
}

}  // namespace
