#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

// "Rename": one edit box holding the new name of a play-list file, without
// its ".mp3". The caller decides what the name may be; the dialog only
// carries the text.
class CRenameDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CRenameDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    void OnOK();

    std::string m_strNewName;
    QLineEdit* m_edtNewName = nullptr;
};
