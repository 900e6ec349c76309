// The language dialog: its list, flags, preselection and live switching.
#include "ShellFixture.h"
#include "window/search/EnginesModel.h"

#include "window/download/ListCtrlEx.h"
#include "resources/Messages.h"
#include "window/Pictures.h"
#include "resources/Resource.h"
#include "platform/IniFile.h"
#include "window/settings/LanguageDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using testing_support::ShellTest;

// The built-in flag is one of the compiled-in pictures.
static void InitPictures()
{
#ifdef TUNORVA_HAVE_PICTURES
    Q_INIT_RESOURCE(pictures);
#endif
}

namespace {

QImage FlagImage(const std::string& path)
{
    return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
}

QImage ItemFlag(const CLanguageDlg& dialog, int item)
{
    return dialog.m_cbLanguages->itemIcon(item).pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
}

class LanguageDialog : public ShellTest {
protected:
    void BeforeStart() override
    {
        InitPictures();
        const std::string shipped = TUNORVA_SHIPPED_DIR;
        m_dir.Write("Language/arabic.ini", "[Tunorva]\n&File340=&ملف\n140=إعدادات\n1491=اللغة\n40001=المحرك\n");
        m_dir.Write("Language/English.ini", "[Tunorva]\n&File340=&File\n140=Setting\n1491=Language\n40001=Engine\n");
        m_dir.Write("Language/zulu.INI", "[Tunorva]\n");
        m_dir.Write("Language/notes.txt", "not a language");
        std::filesystem::create_directories(m_dir.Path() / "Language" / "Folder.ini");
        std::filesystem::create_directories(m_dir.Path() / "Flags");
        std::filesystem::copy_file(shipped + "/Flags/Arabic.bmp", m_dir.Path() / "Flags" / "arabic.bmp");
        std::filesystem::copy_file(shipped + "/Flags/English.bmp", m_dir.Path() / "Flags" / "English.bmp");
        m_dir.Write("Flags/zulu.bmp", "not a picture");
    }
    QString TopMenu() const { return m_frame->menuBar()->actions().at(0)->text(); }
};

TEST_F(LanguageDialog, ListsEveryLanguageFileInCapitalsWithItsFlag)
{
    m_frame->m_strLanguage = "ARABIC";
    CLanguageDlg dialog;
    dialog.OnInitDialog();
    ASSERT_EQ(dialog.m_cbLanguages->count(), 3);
    EXPECT_EQ(dialog.m_arrLanguages, (std::vector<std::string>{"arabic", "English", "zulu"}));
    EXPECT_EQ(dialog.m_cbLanguages->itemText(0), "ARABIC");
    EXPECT_EQ(dialog.m_cbLanguages->itemText(1), "ENGLISH");
    EXPECT_EQ(dialog.m_cbLanguages->itemText(2), "ZULU");
    EXPECT_EQ(ItemFlag(dialog, 0), FlagImage(m_dir.File("Flags/arabic.bmp")));
    EXPECT_EQ(ItemFlag(dialog, 1), FlagImage(m_dir.File("Flags/English.bmp")));
    // An unreadable flag shows the built-in one.
    const QImage builtIn = LoadBitmap(IDB_FLAG).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(builtIn.isNull());
    EXPECT_EQ(ItemFlag(dialog, 2), builtIn);
    EXPECT_NE(ItemFlag(dialog, 0), builtIn);
    // Preselected without regard to case, and the dialog speaks that language.
    EXPECT_EQ(dialog.m_cbLanguages->currentIndex(), 0);
    EXPECT_EQ(dialog.windowTitle(), "S e t t i n g");  // no ARABIC.ini: the built-in title stays
}

TEST_F(LanguageDialog, ALanguageWithoutAFileSelectsNothing)
{
    m_frame->m_strLanguage = "Klingon";
    CLanguageDlg dialog;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.m_cbLanguages->currentIndex(), -1);
    dialog.reject();
    EXPECT_EQ(m_frame->m_strLanguage, "Klingon");
}

TEST_F(LanguageDialog, EachSelectionAppliesAtOnceAndCancelReturnsToTheOldLanguage)
{
    CLanguageDlg dialog;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.m_cbLanguages->currentIndex(), 1);
    dialog.m_cbLanguages->setCurrentIndex(0);
    EXPECT_EQ(m_frame->m_strLanguage, "arabic");
    EXPECT_EQ(dialog.windowTitle(), "إعدادات");
    EXPECT_EQ(dialog.m_grpLanguage->title(), "اللغة");
    EXPECT_EQ(TopMenu(), "&ملف");
    EXPECT_EQ(QString::fromStdString(m_view->m_lstEngines->GetColumnHeader(CEnginesModel::Name)), "المحرك");
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTab[1]), IDB_TAB_AR_SEARCH);
    dialog.m_btnCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(m_frame->m_strLanguage, "English");
    EXPECT_EQ(TopMenu(), "&File");
    EXPECT_EQ(QString::fromStdString(m_view->m_lstEngines->GetColumnHeader(CEnginesModel::Name)), "Engine");
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTab[1]), IDB_TAB_SEARCH);
}

TEST_F(LanguageDialog, OkFromTheSettingsMenuKeepsTheChoiceAndItIsStoredAtShutDown)
{
    bool chosen = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CLanguageDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr || chosen)
            return;
        chosen = true;
        dialog->m_cbLanguages->setCurrentIndex(0);
        dialog->m_btnOk->click();
    });
    driver.start(20);
    m_frame->MenuAction(ID_MENU_SETTINGS)->trigger();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(m_frame->m_strLanguage, "arabic");
    EXPECT_EQ(TopMenu(), "&ملف");
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "Language", "", m_dir.File("Tunorva.ini")), "arabic");
}

}  // namespace
