#include "platform/PercentEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool KeepsNothing(unsigned char)
{
    return false;
}

bool KeepsLetters(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

}  // namespace

// Every caller's kept set goes through the one encoder: bytes it keeps stand
// as they are, every other byte (NUL and bytes above 0x7F included) becomes
// "%XX" in upper-case hex, and appending leaves what was there.
TEST(PercentEncodingTest, EncodesWhatTheKeptSetLeavesOut)
{
    struct Row {
        std::string text;
        platform::KeepsByte keeps;
        std::string expected;
    };
    const Row rows[] = {
        {"", KeepsLetters, ""},
        {"abcXYZ", KeepsLetters, "abcXYZ"},
        {"a b%c", KeepsLetters, "a%20b%25c"},
        {std::string("\0\x7F\x80\xFF", 4), KeepsNothing, "%00%7F%80%FF"},
        {"\xC3\xA9t\xC3\xA9", KeepsLetters, "%C3%A9t%C3%A9"},
        {"%41", KeepsNothing, "%25%34%31"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::PercentEncode(row.text, row.keeps), row.expected) << row.text;
        std::string out = "x=";
        platform::AppendPercentEncoded(out, row.text, row.keeps);
        EXPECT_EQ(out, "x=" + row.expected) << row.text;
    }
}
