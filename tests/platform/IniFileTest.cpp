#include "platform/IniFile.h"
#include "platform/Files.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::TempDir;

namespace {

TEST(IniFile, ReadsWithTheProfileRules)
{
    TempDir dir;
    const std::string longValue(300, 'x');
    dir.Write("a.ini",
              "; comment\r\n"
              "[Other]\r\n"
              "61210=wrong section\r\n"
              "[ tunorva ]\r\n"
              "  61210  =   The file is gone   \r\n"
              "Quoted=\"  kept blanks  \"\r\n"
              "Single='x'\r\n"
              "Half=\"open\r\n"
              "Empty=\r\n"
              "dup=first\r\n"
              "DUP=second\r\n"
              "Long=" + longValue + "\r\n"
              "no equals sign\r\n"
              "[Tunorva]\r\n"
              "Later=ignored, only the first section counts\r\n");
    const std::string path = dir.File("a.ini");
    EXPECT_EQ(GetPrivateProfileString("TUNORVA", "61210", "d", path), "The file is gone");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "quoted", "d", path), "  kept blanks  ");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Single", "d", path), "x");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Half", "d", path), "\"open");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Empty", "d", path), "");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Dup", "d", path), "first");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Long", "d", path), longValue.substr(0, 259));
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "Later", "d", path), "d");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "missing", "Artist: ", path), "Artist: ");
    EXPECT_EQ(GetPrivateProfileString("Nope", "61210", "d", path), "d");
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "61210", "d", dir.File("missing.ini")), "d");
    EXPECT_FALSE(ReadProfileValue("Tunorva", "missing", path));
}

TEST(IniFile, WritesAndDeletesKeysKeepingTheRest)
{
    TempDir dir;
    const std::string path = dir.File("p.ini");
    dir.Write("p.ini", "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    const std::string three = "3";
    ASSERT_TRUE(WritePrivateProfileString("a", "X", &three, path));
    ASSERT_TRUE(WritePrivateProfileString("A", "z", &three, path));
    ASSERT_TRUE(WritePrivateProfileString("New", "k", &three, path));
    ASSERT_TRUE(WritePrivateProfileString("B", "y", nullptr, path));
    ASSERT_TRUE(WritePrivateProfileString("B", "absent", nullptr, path));
    EXPECT_EQ(GetPrivateProfileString("A", "x", "", path), "3");
    EXPECT_EQ(GetPrivateProfileString("A", "z", "", path), "3");
    EXPECT_EQ(GetPrivateProfileString("New", "k", "", path), "3");
    EXPECT_FALSE(ReadProfileValue("B", "y", path));
    EXPECT_EQ(ReadWholeFile(path).value_or("").find("; keep me"), 0u);
}

TEST(IniFile, ReplacesAWholeSection)
{
    TempDir dir;
    const std::string path = dir.File("s.ini");
    dir.Write("s.ini", "[Tunorva]\nForeign=1\nPlaySound=0\n[Other]\nk=v\n");
    ASSERT_TRUE(ReplaceProfileSection("Tunorva", "PlaySound=1\nLanguage=English", path));
    EXPECT_FALSE(ReadProfileValue("Tunorva", "Foreign", path));
    EXPECT_EQ(GetPrivateProfileString("Tunorva", "PlaySound", "", path), "1");
    EXPECT_EQ(GetPrivateProfileString("Other", "k", "", path), "v");
    EXPECT_FALSE(WritePrivateProfileString("A", "k", nullptr, dir.File("no/such/dir/x.ini")) &&
                 WritePrivateProfileString("A", "k", &path, dir.File("no/such/dir/x.ini")));
}

}  // namespace
