#include "window/settings/OptionsDlg.h"

#include "platform/CRuntime.h"
#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"
#include "window/settings/SettingsMessages.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "settings/SettingsStore.h"
#include "window/settings/DialogUnits.h"
#include "window/settings/FolderDialog.h"
#include "window/settings/Translate.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>

COptionsDlg::COptionsDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("optionsDialog"));
    setProperty("controlId", IDD_OPTIONS);
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(MapDialogRect(this, 0, 0, 205, 202).size());

    // The group boxes only frame their rows; the controls are the dialog's own.
    PlaceControl(this, new QGroupBox(QStringLiteral("General Options"), this), IDC_GENERAL_GROUP, "generalGroup", 7, 7, 183,
          34);
    m_btnPlaySounds = PlaceControl(this, new QCheckBox(QStringLiteral("Play Sounds"), this), IDC_PLAY_SOUNDS, "playSounds",
                            12, 23, 130, 10);
    auto* musicDirGroup = PlaceControl(this, new QGroupBox(QStringLiteral("Music Download Directory"), this),
                                       IDC_MUSIC_DIR_GROUP, "musicDirGroup", 7, 51, 183, 42);
    m_edtDir = PlaceControl(this, new QLineEdit(this), IDC_MUSIC_DIR, "musicDir", 11, 66, 146, 13);
    m_btnBrowse = PlaceControl(this, new QPushButton(QStringLiteral("....."), this), IDC_BROWSE, "browse", 165, 66, 20, 13);
    m_btnClearLastSearches = PlaceControl(this, new QPushButton(QStringLiteral("&Clear Last Searches"), this),
                                   IDC_CLEAR_SEARCHES, "clearLastSearches", 7, 98, 76, 16);
    // The label runs up to its edit box (96 units rather than 88): the
    // desktop's fonts are wider than the one the layout was drawn for.
    auto* historyLabel = PlaceControl(this, new QLabel(QStringLiteral("Recent search list contains:"), this),
                                      IDC_HISTORY_LABEL, "historyLabel", 13, 125, 96, 13);
    historyLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_edtHistory = PlaceControl(this, new QLineEdit(this), IDC_HISTORY_COUNT, "historyCount", 111, 125, 46, 13);
    auto* simultaneousLabel = PlaceControl(this, new QLabel(QStringLiteral("Simultaneous downloads"), this),
                                           IDC_SIMULTANEOUS_LABEL, "simultaneousLabel", 13, 143, 124, 13);
    simultaneousLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_edtSimultaneous = PlaceControl(this, new QLineEdit(this), IDC_SIMULTANEOUS, "simultaneousDownloads", 141, 143, 46, 13);
    auto* speedLimitLabel = PlaceControl(this, new QLabel(QStringLiteral("Speed limit (KB/s, 0 for none)"), this),
                                         IDC_SPEED_LIMIT_LABEL, "speedLimitLabel", 13, 161, 124, 13);
    speedLimitLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_edtSpeedLimit = PlaceControl(this, new QLineEdit(this), IDC_SPEED_LIMIT, "speedLimit", 141, 161, 46, 13);
    auto* ok = PlaceControl(this, new QPushButton(QStringLiteral("OK"), this), platform::IDOK, "optionsOk", 7, 181, 50, 14);
    auto* cancel = PlaceControl(this, new QPushButton(QStringLiteral("Cancel"), this), platform::IDCANCEL, "optionsCancel",
                         61, 181, 50, 14);
    ok->setDefault(true);
    // The edit boxes are named after what the user reads beside or around them.
    NameAfterCaption(m_edtDir, musicDirGroup);
    NameAfterCaption(m_edtHistory, historyLabel);
    NameAfterCaption(m_edtSimultaneous, simultaneousLabel);
    NameAfterCaption(m_edtSpeedLimit, speedLimitLabel);
    // The browse button's dots say nothing when read out.
    m_btnBrowse->setAccessibleName(LanguageText(IDS_BROWSE));
    for (QPushButton* button : {m_btnBrowse, m_btnClearLastSearches, cancel})
        button->setAutoDefault(false);

    connect(m_btnPlaySounds, &QCheckBox::clicked, this, &COptionsDlg::OnPlaySounds);
    connect(m_btnBrowse, &QPushButton::clicked, this, &COptionsDlg::OnBrowse);
    connect(m_btnClearLastSearches, &QPushButton::clicked, this, &COptionsDlg::OnClearLastSearches);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool COptionsDlg::OnInitDialog()
{
    TranslateWindow(this, IDD_OPTIONS);
    for (const auto& [name, id] : {std::pair{"simultaneousLabel", IDS_SIMULTANEOUS_DOWNLOADS},
                                   std::pair{"speedLimitLabel", IDS_SPEED_LIMIT}}) {
        if (auto* label = findChild<QLabel*>(QString::fromLatin1(name)))
            label->setText(QString::fromStdString(LoadLanguageString(id)));
    }
    RefreshCaptionNames(this);
    m_edtDir->setText(QString::fromStdString(m_strDir));
    m_edtHistory->setText(QString::number(m_nHistory));
    m_edtSimultaneous->setText(QString::number(m_nSimultaneous));
    m_edtSpeedLimit->setText(QString::number(m_nSpeedLimit));
    m_btnPlaySounds->setChecked(m_bSounds != 0);
    m_btnPlaySounds->setFocus(Qt::TabFocusReason);
    return true;
}

void COptionsDlg::done(int result)
{
    OnDestroy();
    QDialog::done(result);
}

void COptionsDlg::OnDestroy()
{
    m_strDir = m_edtDir->text().toStdString();
    m_nHistory = platform::Atoi(m_edtHistory->text().toStdString());
    // Numbers outside their ranges are taken as the nearest allowed one.
    m_nSimultaneous = std::clamp(platform::Atoi(m_edtSimultaneous->text().toStdString()), 1,
                                 Settings::kMaxSimultaneousDownloads);
    m_nSpeedLimit = std::clamp(platform::Atoi(m_edtSpeedLimit->text().toStdString()), 0, Settings::kMaxSpeedLimitKBps);
}

void COptionsDlg::OnPlaySounds()
{
    m_bSounds = !m_bSounds;
}

void COptionsDlg::OnBrowse()
{
    // The browser belongs to this dialog, as the modal preparation would make it.
    CFolderDialog dlg({}, {}, this, BIF_RETURNONLYFSDIRS);
    if (dlg.DoModal() != 1)
        return;
    m_strDir = dlg.m_szPath;
    m_edtDir->setText(QString::fromStdString(m_strDir));
}

void COptionsDlg::OnClearLastSearches()
{
    platform::Send(ClearHistory{});
}

int COptionsDlg::DoModal()
{
    OnInitDialog();
    const platform::ModalLoopScope modal;
    return exec() == QDialog::Accepted ? platform::IDOK : platform::IDCANCEL;
}
