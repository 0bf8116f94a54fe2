// The code lists behind the version 3 name tables: each code read becomes
// its name and is written back as the same code; text outside a list passes
// unchanged both ways.
#include "native/param_tables.h"

#include <cinelark/dmparams.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace cinelark::native;

TEST(CodeLists, CodeReadsAsNameAndWritesBack)
{
    const struct {
        ReadAs read;
        WriteAs write;
        const char *code, *name;
    } cases[] = {{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "1", "MVC1"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "2", "Uncompressed Video"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "6", "Apple Video"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "7", "Apple Animation"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "10", "JPEG"},
                 {ReadAs::AudioCodeToName, WriteAs::NameToAudioCode, "100", "Uncompressed Audio"},
                 {ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "1", "8"},
                 {ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "2", "16"}};
    for (const auto &c : cases) {
        EXPECT_EQ(convertForReading(c.read, c.code), c.name);
        EXPECT_EQ(convertForWriting(c.write, c.name), std::string(c.code));
    }
}

TEST(CodeLists, TextOutsideTheListsPassesUnchanged)
{
    EXPECT_EQ(convertForReading(ReadAs::ImageCodeToName, "9"), "9");
    EXPECT_EQ(convertForReading(ReadAs::ImageCodeToName, "RLE24"), "RLE24");
    EXPECT_EQ(convertForWriting(WriteAs::NameToImageCode, "RLE24"), std::string("RLE24"));
    EXPECT_EQ(convertForWriting(WriteAs::BitsToWidthCode, "24"), std::string("24"));
    EXPECT_EQ(convertForWriting(WriteAs::Text, "anything"), std::string("anything"));
    EXPECT_FALSE(convertForWriting(WriteAs::None, "2").has_value());
}

TEST(NameTables, EveryWrittenNameFitsTheFieldAndIsReadBackByItsOwnTable)
{
    for (auto table : {movieTable(), imageTable(), audioTable()}) {
        for (const ParamRow &row : table) {
            if (row.write == WriteAs::None)
                continue;
            EXPECT_LT(std::strlen(row.fileName), 16u) << row.fileName;
            ASSERT_NE(row.libraryName, nullptr) << row.fileName;
            // The same file name must be readable into the same library name.
            EXPECT_NE(row.read, ReadAs::Drop) << row.fileName;
        }
    }
}

}  // namespace
