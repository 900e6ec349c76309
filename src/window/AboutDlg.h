#pragma once

#include <QDialog>

// "About Tunorva": the icon, the version line, one line about the program and OK.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
};
