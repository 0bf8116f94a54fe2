// The algorithm registry and opening handles.
#include <array>

#include "capture.h"
#include "codecs_test_util.h"
#include "core.h"

namespace {

using codectest::BigEndianWords;

TEST(ClRegistry, BuiltinRowsMatch) {
  const struct {
    int scheme;
    const char* name;
    int maxHeader, params, capabilities;
  } rows[] = {{0, "Uncompressed Audio", 168, 20, 3}, {1, "u-law (G.711)", 168, 20, 3},
              {2, "a-law (G.711)", 168, 20, 3},      {3, "MPEG Audio (Aware)", 148, 25, 3},
              {4, "Multirate (Aware)", 148, 23, 3},  {0x8000, "Uncompressed Video", 168, 20, 3},
              {0x8001, "RLE", 168, 20, 3},           {0x8002, "JPEG", 868, 22, 3},
              {0x8003, "MPEG Video", 240, 23, 1},    {0x8004, "MVC1", 168, 20, 3},
              {0x8005, "RTR", 192, 23, 3},           {0x8006, "HDCC", 176, 22, 3},
              {0x8007, "HwJpeg", 868, 33, 3},        {0x8008, "MVC2", 0, 24, 3},
              {0x8009, "RLE24", 168, 20, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const cl::Algorithm* a = cl::FindAlgorithm(row.scheme);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->scheme, row.scheme);
    EXPECT_STREQ(clGetAlgorithmName(row.scheme), row.name);
    EXPECT_EQ(clQueryMaxHeaderSize(row.scheme), row.maxHeader);
    EXPECT_EQ(a->paramCount, row.params);
    EXPECT_EQ(a->capabilities, row.capabilities);
    // Every row names its own scheme as the only legal "Algorithm ID" except
    // the two G.711 rows, which share the value 2.
    const cl::ParamDesc& id = (*a->params)[CL_ALGORITHM_ID];
    const int expectedId = (row.scheme == 1 || row.scheme == 2) ? 2 : row.scheme;
    EXPECT_EQ(std::vector<int>({id.min, id.max, id.def}), std::vector<int>(3, expectedId));
    EXPECT_EQ(clQuerySchemeFromName(row.scheme >> 15, row.name), row.scheme);
  }
}

TEST(ClRegistry, QueryAlgorithmsListsNamesAndCapabilities) {
  // Ten built-in video rows, plus any a test in the same process added.
  const int rows = cl::Table(CL_VIDEO).count;
  ASSERT_GE(rows, 10);
  std::array<intptr_t, 6> buffer;
  buffer.fill(-1);
  EXPECT_EQ(clQueryAlgorithms(CL_VIDEO, buffer.data(), 0), 2 * rows);
  EXPECT_EQ(buffer[0], -1);
  EXPECT_EQ(clQueryAlgorithms(CL_VIDEO, buffer.data(), 4), 2 * rows);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[0]), "Uncompressed Video");
  EXPECT_EQ(buffer[1], 3);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer[2]), "RLE");
  EXPECT_EQ(buffer[4], -1);

  CapturedErrors errors;
  EXPECT_EQ(clQueryAlgorithms(2, buffer.data(), 6), CL_ERR_BAD_ALGORITHM_TYPE);
  EXPECT_EQ(errors.only(), "clQueryAlgorithms: unknown compression scheme 2\n");
}

// Names match by prefix, ignoring case; unknown names, types and schemes
// are reported.
TEST(ClRegistry, NamesMatchByPrefixIgnoringCase) {
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, "mvc"), 0x8004);
  EXPECT_EQ(clQuerySchemeFromName(CL_AUDIO, "a-law"), 2);
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, "rle"), 0x8001);
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, "rle2"), 0x8009);
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, ""), 0x8000);
  EXPECT_EQ(clQuerySchemeFromName(CL_AUDIO, ""), 0);

  CapturedErrors errors;
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, "Apple Video"), CL_ERR_BAD_ALGORITHM_NAME);
  EXPECT_EQ(errors.only(), "clQuerySchemeFromName: unknown compression scheme Apple Video\n");
  // A video name is not found among the audio rows, nor a name longer than
  // every row's.
  EXPECT_EQ(clQuerySchemeFromName(CL_AUDIO, "RLE"), CL_ERR_BAD_ALGORITHM_NAME);
  EXPECT_EQ(clQuerySchemeFromName(CL_VIDEO, "RLE24X"), CL_ERR_BAD_ALGORITHM_NAME);
  errors.clear();
  EXPECT_EQ(clQuerySchemeFromName(3, "RLE"), CL_ERR_BAD_ALGORITHM_TYPE);
  EXPECT_EQ(errors.only(), "clQuerySchemeFromName: unknown algorithm type 3\n");
  EXPECT_EQ(clGetAlgorithmName(0x800F), nullptr);
  EXPECT_EQ(errors.only(), "clGetAlgorithmName: unknown compression scheme 32783\n");
  EXPECT_EQ(clQueryMaxHeaderSize(-1), CL_ERR_BAD_SCHEME);
  EXPECT_EQ(errors.reports().size(), 1u);
}

// Headers no row claims: MVC2 and the audio coders have no recogniser.
TEST(ClRegistry, OpeningAndSchemeChecks) {
  EXPECT_EQ(clQueryScheme(BigEndianWords({0x0C1C0DEC, 64, 14, 0x8008}).data()), -1);
  EXPECT_EQ(clQueryScheme(BigEndianWords({0x0C1C0DEC, 64, 14, 3}).data()), -1);
  EXPECT_EQ(clQueryScheme(BigEndianWords({0x0C1C0DED, 64, 14, 0x8001}).data()), -1);
  EXPECT_EQ(clQueryScheme(nullptr), -1);

  CapturedErrors errors;
  CL_Handle h = reinterpret_cast<CL_Handle>(0x1);
  // The first row past the table's count: 0x800A with the ten built-in rows.
  const int firstFree = 0x8000 | cl::Table(CL_VIDEO).count;
  EXPECT_EQ(clOpenCompressor(firstFree, &h), CL_ERR_BAD_SCHEME);
  EXPECT_EQ(errors.only(), "clOpenCompressor: invalid compression scheme (" + std::to_string(firstFree) + ")\n");
  EXPECT_EQ(clOpenCompressor(0x10000, &h), CL_ERR_BAD_SCHEME);
  EXPECT_EQ(clOpenCompressor(-5, nullptr), CL_ERR_BAD_SCHEME);
  errors.clear();
  EXPECT_EQ(clOpenCompressor(0x8000, nullptr), CL_ERR_NULL_HANDLE_POINTER);
  EXPECT_EQ(errors.only(), "clOpenCompressor: invalid compressor handle pointer 0\n");
  // The decompressor checks the pointer before the scheme.
  EXPECT_EQ(clOpenDecompressor(0x800A, nullptr), CL_ERR_NULL_HANDLE_POINTER);
  EXPECT_EQ(errors.only(), "clOpenDecompressor: invalid decompressor handle pointer 0\n");
  // Rows without a codec refuse to open and leave no handle.
  for (int scheme : {0, 1, 2, 3, 4, 0x8000, 0x8001, 0x8002, 0x8003, 0x8004, 0x8005, 0x8006, 0x8007, 0x8008, 0x8009}) {
    const cl::Algorithm* row = cl::FindAlgorithm(scheme);
    if (row->routines.openCompressor != cl::FindAlgorithm(0x8008)->routines.openCompressor) continue;
    h = reinterpret_cast<CL_Handle>(0x1);
    EXPECT_EQ(clOpenCompressor(scheme, &h), CL_ERR_BAD_SCHEME) << scheme;
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(clOpenDecompressor(scheme, &h), CL_ERR_BAD_SCHEME) << scheme;
    EXPECT_EQ(h, nullptr);
  }
  ASSERT_FALSE(errors.reports().empty());
  EXPECT_EQ(errors.reports().front().code, CL_ERR_BAD_SCHEME);
  errors.clear();
  EXPECT_EQ(clCloseCompressor(nullptr), CL_ERR_NULL_HANDLE);
  EXPECT_EQ(clCloseDecompressor(nullptr), CL_ERR_NULL_HANDLE);
  EXPECT_EQ(clQuerySchemeFromHandle(nullptr), 0);
  EXPECT_EQ(clGetUnique(nullptr), nullptr);
  EXPECT_EQ(clSetUnique(nullptr, &errors), nullptr);
  ASSERT_EQ(errors.reports().size(), 5u);
  EXPECT_EQ(errors.texts(), (std::vector<std::string>{"clCloseCompressor: invalid compressionHdl parameter 0\n",
                                                       "clCloseDecompressor: invalid decompressionHdl parameter 0\n",
                                                       "clQuerySchemeFromHandle: invalid compressor handle 0\n",
                                                       "clGetUnique: invalid compressor handle 0\n",
                                                       "clSetUnique: invalid compressor handle 0\n"}));
  EXPECT_EQ(errors.reports()[2].code, CL_ERR_NULL_HANDLE_POINTER);
}

}  // namespace
