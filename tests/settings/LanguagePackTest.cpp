// The lookup rules of the language packs, without any window.
#include "settings/LanguagePack.h"

#include "platform/Files.h"
#include "resources/Resource.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testing_support::TempDir;

namespace {

class LanguagePack : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetProgramDirForTesting(m_dir.Str());
        SetLanguage("Test");
    }
    void TearDown() override
    {
        SetLanguage("");
        platform::SetProgramDirForTesting("");
    }
    void WriteLanguage(const std::string& content) { m_dir.Write("Language/Test.ini", content); }

    TempDir m_dir;
};

TEST_F(LanguagePack, StringsFallBackToTheBuiltInEnglishText)
{
    const std::string english = "The specified file was not found.";
    struct Case {
        const char* file;  // nullptr: no file at all
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, english.c_str()},
        {"[Other]\n61210=Elsewhere\n", english.c_str()},           // no section "Tunorva"
        {"[Tunorva]\n61211=Another key\n", english.c_str()},       // no key
        {"[Tunorva]\n61210=\n", english.c_str()},                  // empty value
        {"[Tunorva]\n61210=\"\"\n", english.c_str()},              // quotes around nothing
        {"[tunorva]\n  61210  =  Introuvable.  \n", "Introuvable."},  // section case, blanks
        {"[Tunorva]\n61210='Quoted '\n", "Quoted "},
        {"[Tunorva]\n61210=\"Quoted\"\n61210=Second\n", "Quoted"},  // the first key counts
        {"[Tunorva]\n61210=غير موجود\n", "غير موجود"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(m_dir.File("Language/Test.ini"));
        if (c.file != nullptr)
            WriteLanguage(c.file);
        EXPECT_EQ(LoadLanguageString(IDS_SHELL_FILE_NOT_FOUND), c.expected) << (c.file ? c.file : "(no file)");
    }
    // An id the built-in table does not know gives nothing, whatever the file says.
    WriteLanguage("[Tunorva]\n4242=Unknown id\n");
    EXPECT_EQ(LoadLanguageString(4242), "");
}

TEST_F(LanguagePack, LongValuesAreCutTo259BytesWithoutSplittingACharacter)
{
    WriteLanguage("[Tunorva]\n61227=" + std::string(300, 'x') + "\n61208=" + std::string(258, 'y') + "\xD8\xA8tail\n");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), std::string(259, 'x'));
    // The two-byte letter straddles the cut: it goes whole.
    EXPECT_EQ(LoadLanguageString(IDS_NO_FILE_TO_PLAY), std::string(258, 'y'));
}

TEST_F(LanguagePack, TheFileIsReadAgainWhenTheLanguageIsChosenAndFollowsIt)
{
    m_dir.Write("Language/A.ini", "[Tunorva]\n61227=From A\n");
    m_dir.Write("Language/B.ini", "[Tunorva]\n61227=From B\n");
    SetLanguage("A");
    EXPECT_EQ(GetLanguageFile(), m_dir.Str() + "/Language/A.ini");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "From A");
    SetLanguage("B");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "From B");
    m_dir.Write("Language/B.ini", "[Tunorva]\n61227=Edited\n");
    SetLanguage("B");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "Edited");
}

TEST(MenuKeys, TheGeneratorGivesTheFixedTopLevelKeys)
{
    CMenuKeyGenerator generator;
    const char* texts[] = {"&File", "&Page", "&Search", "&Extra", "&Help"};
    const char* keys[] = {"&File340", "&Page271", "&Search482", "&Extra123", "&Help64"};
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(MenuKey(texts[p], generator.Next(), p), keys[p]);
}

TEST_F(LanguagePack, WorkersReadTheLanguageWhileTheWindowChangesIt)
{
    m_dir.Write("Language/A.ini", "[Tunorva]\n61227=From A\n");
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done.load()) {
            const std::string text = LoadLanguageString(IDS_NO_ITEM_SELECTED);
            ASSERT_TRUE(text == "From A" || text == "No Item Selected.") << text;
        }
    });
    for (int i = 0; i < 200; ++i)
        SetLanguage(i % 2 == 0 ? "A" : "Missing");
    done = true;
    worker.join();
}

}  // namespace
