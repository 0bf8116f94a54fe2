// Parameter lists: element order, replacement, typed getters and their
// "missing" answers, copying, and the frame-size and default helpers.
#include <cinelark/dmparams.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct ListDeleter {
    void operator()(DMparams *p) const { dmParamsDestroy(p); }
};
using List = std::unique_ptr<DMparams, ListDeleter>;

List makeList()
{
    DMparams *p = nullptr;
    EXPECT_EQ(dmParamsCreate(&p), 0);
    EXPECT_NE(p, nullptr);
    return List(p);
}

TEST(DMparams, IndexWalksElementsInFirstSetOrderAndReplaceAndRemoveKeepPlaces)
{
    List l = makeList();
    ASSERT_EQ(dmParamsSetInt(l.get(), "B", 1), 0);
    ASSERT_EQ(dmParamsSetString(l.get(), "A", "text"), 0);
    ASSERT_EQ(dmParamsSetFloat(l.get(), "C", 2.5), 0);
    // Replacing B with another type keeps its slot.
    ASSERT_EQ(dmParamsSetString(l.get(), "B", "now text"), 0);

    ASSERT_EQ(dmParamsGetNumElems(l.get()), 3);
    EXPECT_STREQ(dmParamsGetElem(l.get(), 0), "B");
    EXPECT_STREQ(dmParamsGetElem(l.get(), 1), "A");
    EXPECT_STREQ(dmParamsGetElem(l.get(), 2), "C");
    EXPECT_EQ(dmParamsGetElemType(l.get(), 0), DM_TYPE_STRING);
    EXPECT_EQ(dmParamsGetElemType(l.get(), 2), DM_TYPE_FLOAT);
    EXPECT_EQ(dmParamsGetElemType(l.get(), 3), 0);
    EXPECT_EQ(dmParamsGetElemType(l.get(), -1), 0);
    EXPECT_EQ(dmParamsGetElem(l.get(), -1), nullptr);
    EXPECT_STREQ(dmParamsGetString(l.get(), "B"), "now text");
    // Removing drops one element and keeps the order of the rest.
    EXPECT_EQ(dmParamsRemove(l.get(), "A"), 0);
    EXPECT_EQ(dmParamsRemove(l.get(), "A"), -1);
    ASSERT_EQ(dmParamsGetNumElems(l.get()), 2);
    EXPECT_STREQ(dmParamsGetElem(l.get(), 0), "B");
    EXPECT_STREQ(dmParamsGetElem(l.get(), 1), "C");
}

TEST(DMparams, GettersAnswerMissingAndMismatchedElementsAsDocumented)
{
    List l = makeList();
    dmParamsSetInt(l.get(), "I", 7);
    dmParamsSetEnum(l.get(), "E", 201);
    dmParamsSetFloat(l.get(), "F", 29.97);
    std::string text = "RLE";
    dmParamsSetString(l.get(), "S", text.c_str());
    text[0] = 'X';  // the list keeps its own copy

    // Enum and int are both integers and read across; every other
    // mismatch, and a missing name, reads as zero or null.
    const struct {
        const char *name;
        int type, integer;
        double real;
        const char *string;
    } rows[] = {
        {"I", DM_TYPE_INT, 7, 0.0, nullptr},      {"E", DM_TYPE_ENUM, 201, 0.0, nullptr},
        {"F", DM_TYPE_FLOAT, 0, 29.97, nullptr},  {"S", DM_TYPE_STRING, 0, 0.0, "RLE"},
        {"missing", 0, 0, 0.0, nullptr},          {"s", 0, 0, 0.0, nullptr},  // case-sensitive
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(dmParamsGetTypeByName(l.get(), r.name), r.type);
        EXPECT_EQ(dmParamsGetInt(l.get(), r.name), r.integer);
        EXPECT_EQ(dmParamsGetEnum(l.get(), r.name), r.integer);
        EXPECT_DOUBLE_EQ(dmParamsGetFloat(l.get(), r.name), r.real);
        EXPECT_STREQ(dmParamsGetString(l.get(), r.name), r.string);
    }
}

TEST(DMparams, NullArgumentsFailWithoutCrashing)
{
    List l = makeList();
    EXPECT_EQ(dmParamsCreate(nullptr), -1);
    EXPECT_EQ(dmParamsSetInt(nullptr, "X", 1), -1);
    EXPECT_EQ(dmParamsSetInt(l.get(), nullptr, 1), -1);
    EXPECT_EQ(dmParamsSetString(l.get(), "X", nullptr), -1);
    EXPECT_EQ(dmParamsGetNumElems(l.get()), 0);
    EXPECT_EQ(dmParamsGetInt(nullptr, "X"), 0);
    EXPECT_EQ(dmParamsIsPresent(nullptr, "X"), 0);
    EXPECT_EQ(dmParamsCopyAllElems(nullptr, l.get()), -1);
    dmParamsDestroy(nullptr);
}

TEST(DMparams, CopiesKeepTypesReplaceSameNamedAndAppendNew)
{
    List from = makeList();
    List to = makeList();
    dmParamsSetEnum(from.get(), "E", 1090);
    dmParamsSetString(from.get(), "both", "replaced");
    dmParamsSetFloat(from.get(), "new", 0.5);
    dmParamsSetInt(to.get(), "keep", 1);
    dmParamsSetInt(to.get(), "both", 2);
    dmParamsSetInt(to.get(), "E", 5);

    EXPECT_EQ(dmParamsCopyElem(from.get(), "E", to.get()), 0);
    EXPECT_EQ(dmParamsGetTypeByName(to.get(), "E"), DM_TYPE_ENUM);
    EXPECT_EQ(dmParamsGetEnum(to.get(), "E"), 1090);
    EXPECT_NE(dmParamsCopyElem(from.get(), "none", to.get()), 0);
    EXPECT_EQ(dmParamsIsPresent(to.get(), "none"), 0);
    EXPECT_EQ(dmParamsCopyElem(from.get(), "E", from.get()), 0);
    EXPECT_EQ(dmParamsGetNumElems(from.get()), 3);

    ASSERT_EQ(dmParamsCopyAllElems(from.get(), to.get()), 0);
    ASSERT_EQ(dmParamsGetNumElems(to.get()), 4);
    EXPECT_STREQ(dmParamsGetElem(to.get(), 1), "both");
    EXPECT_STREQ(dmParamsGetString(to.get(), "both"), "replaced");
    EXPECT_EQ(dmParamsGetInt(to.get(), "keep"), 1);
    EXPECT_DOUBLE_EQ(dmParamsGetFloat(to.get(), "new"), 0.5);
    // Copying a list onto itself changes nothing.
    EXPECT_EQ(dmParamsCopyAllElems(to.get(), to.get()), 0);
    EXPECT_EQ(dmParamsGetNumElems(to.get()), 4);
}

TEST(DMparams, FrameSizesComeFromTheSettingsAndAreZeroWhenUnusable)
{
    List l = makeList();
    EXPECT_EQ(dmImageFrameSize(l.get()), 0u);
    const std::pair<int, size_t> packings[] = {
        {DM_PACKING_RGBX, 4}, {DM_PACKING_XBGR, 4}, {DM_PACKING_RGB555, 2}, {DM_PACKING_GRAY, 1}};
    for (auto [packing, bytesPerPixel] : packings) {
        ASSERT_EQ(dmSetImageDefaults(l.get(), 320, 240, packing), 0);
        EXPECT_EQ(dmImageFrameSize(l.get()), 320u * 240u * bytesPerPixel) << packing;
    }
    dmParamsSetEnum(l.get(), DM_IMAGE_PACKING, 1002);
    EXPECT_EQ(dmImageFrameSize(l.get()), 0u);
    dmParamsSetEnum(l.get(), DM_IMAGE_PACKING, DM_PACKING_RGBX);
    dmParamsSetInt(l.get(), DM_IMAGE_HEIGHT, -10);
    EXPECT_EQ(dmImageFrameSize(l.get()), 0u);
    // Sizes past 31 bits are refused rather than wrapped.
    dmParamsSetInt(l.get(), DM_IMAGE_WIDTH, 65536);
    dmParamsSetInt(l.get(), DM_IMAGE_HEIGHT, 65536);
    EXPECT_EQ(dmImageFrameSize(l.get()), 0u);

    const int audio[][3] = {{16, 2, 4}, {8, 1, 1}, {24, 2, 6}};  // bits, channels, bytes
    for (const auto& a : audio) {
        ASSERT_EQ(dmSetAudioDefaults(l.get(), a[0], 8000.0, a[1]), 0);
        EXPECT_EQ(dmAudioFrameSize(l.get()), a[2]) << a[0] << " bits";
    }
    dmParamsSetInt(l.get(), DM_AUDIO_CHANNELS, 0);
    EXPECT_EQ(dmAudioFrameSize(l.get()), 0);
}

TEST(DMparams, DefaultsRefuseImpossibleArgumentsAndSetEverySettingValidly)
{
    List l = makeList();
    EXPECT_EQ(dmSetImageDefaults(l.get(), 0, 48, DM_PACKING_RGBX), -1);
    EXPECT_EQ(dmSetImageDefaults(l.get(), 64, 48, 1002), -1);
    EXPECT_EQ(dmSetAudioDefaults(l.get(), 0, 8000.0, 1), -1);
    EXPECT_EQ(dmSetAudioDefaults(l.get(), 16, 0.0, 1), -1);
    EXPECT_EQ(dmSetAudioDefaults(l.get(), 16, 8000.0, 0), -1);
    EXPECT_EQ(dmParamsGetNumElems(l.get()), 0);

    ASSERT_EQ(dmSetImageDefaults(l.get(), 64, 48, DM_PACKING_RGBX), 0);
    EXPECT_EQ(dmParamsGetNumElems(l.get()), 7);
    EXPECT_EQ(dmParamsGetInt(l.get(), DM_IMAGE_WIDTH), 64);
    EXPECT_EQ(dmParamsGetInt(l.get(), DM_IMAGE_HEIGHT), 48);
    const double rate = dmParamsGetFloat(l.get(), DM_IMAGE_RATE);
    EXPECT_GE(rate, 1.0);
    EXPECT_LE(rate, 100.0);
    EXPECT_STREQ(dmParamsGetString(l.get(), DM_IMAGE_COMPRESSION), "Uncompressed Video");
    EXPECT_EQ(dmParamsGetTypeByName(l.get(), DM_IMAGE_INTERLACING), DM_TYPE_ENUM);
    EXPECT_EQ(dmParamsGetEnum(l.get(), DM_IMAGE_INTERLACING), 0);
    EXPECT_EQ(dmParamsGetTypeByName(l.get(), DM_IMAGE_PACKING), DM_TYPE_ENUM);
    EXPECT_EQ(dmParamsGetEnum(l.get(), DM_IMAGE_PACKING), DM_PACKING_RGBX);
    const int orientation = dmParamsGetEnum(l.get(), DM_IMAGE_ORIENTATION);
    EXPECT_TRUE(orientation == 1100 || orientation == 1101);

    List a = makeList();
    ASSERT_EQ(dmSetAudioDefaults(a.get(), 16, 22050.0, 1), 0);
    EXPECT_EQ(dmParamsGetNumElems(a.get()), 5);
    EXPECT_EQ(dmParamsGetInt(a.get(), DM_AUDIO_WIDTH), 16);
    EXPECT_EQ(dmParamsGetInt(a.get(), DM_AUDIO_CHANNELS), 1);
    EXPECT_DOUBLE_EQ(dmParamsGetFloat(a.get(), DM_AUDIO_RATE), 22050.0);
    EXPECT_EQ(dmParamsGetEnum(a.get(), DM_AUDIO_FORMAT), AUDIO_FORMAT_TWOS);
    EXPECT_STREQ(dmParamsGetString(a.get(), DM_AUDIO_COMPRESSION), "Uncompressed Audio");
}

}  // namespace
