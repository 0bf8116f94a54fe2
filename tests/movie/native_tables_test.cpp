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

struct CodeCase {
    ReadAs read;
    WriteAs write;
    const char *code;
    const char *name;
};

class CodeLists : public testing::TestWithParam<CodeCase> {};

TEST_P(CodeLists, CodeReadsAsNameAndWritesBack)
{
    const CodeCase &c = GetParam();
    EXPECT_EQ(convertForReading(c.read, c.code), c.name);
    EXPECT_EQ(convertForWriting(c.write, c.name), std::string(c.code));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CodeLists,
    testing::Values(CodeCase{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "1", "MVC1"},
                    CodeCase{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "2", "Uncompressed Video"},
                    CodeCase{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "6", "Apple Video"},
                    CodeCase{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "7", "Apple Animation"},
                    CodeCase{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "10", "JPEG"},
                    CodeCase{ReadAs::AudioCodeToName, WriteAs::NameToAudioCode, "100", "Uncompressed Audio"},
                    CodeCase{ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "1", "8"},
                    CodeCase{ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "2", "16"}));

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
