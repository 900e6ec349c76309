#include "window/library/RenameDlg.h"

#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"
#include "resources/Resource.h"
#include "window/settings/DialogUnits.h"
#include "window/settings/Translate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CRenameDlg::CRenameDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("renameDialog"));
    setProperty("controlId", IDD_RENAME);
    setWindowTitle(QStringLiteral("Rename"));
    setFixedSize(MapDialogRect(this, 0, 0, 183, 65).size());

    auto* label = PlaceControl(this, new QLabel(QStringLiteral("Rename :"), this), IDC_RENAME_LABEL, "renameLabel", 7, 5,
                               64, 9);
    m_edtNewName = PlaceControl(this, new QLineEdit(this), IDC_RENAME_EDIT, "renameEdit", 7, 19, 153, 14);
    NameAfterCaption(m_edtNewName, label);
    auto* ok = PlaceControl(this, new QPushButton(QStringLiteral("OK"), this), platform::IDOK, "renameOk", 7, 44, 50, 14);
    auto* cancel =
        PlaceControl(this, new QPushButton(QStringLiteral("Cancel"), this), platform::IDCANCEL, "renameCancel", 64, 44, 50, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CRenameDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CRenameDlg::OnInitDialog()
{
    TranslateWindow(this, IDD_RENAME);
    m_edtNewName->setText(QString::fromStdString(m_strNewName));
    // The edit box is the first control, so it has the focus with its text selected.
    m_edtNewName->setFocus(Qt::TabFocusReason);
    m_edtNewName->selectAll();
    return true;
}

void CRenameDlg::OnOK()
{
    m_strNewName = m_edtNewName->text().toStdString();
    accept();
}

int CRenameDlg::DoModal()
{
    OnInitDialog();
    const platform::ModalLoopScope modal;
    return exec() == QDialog::Accepted ? platform::IDOK : platform::IDCANCEL;
}
