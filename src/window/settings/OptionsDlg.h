#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

// "Options": the found-file sound, the music folder, the length of the
// keyword histories, the number of simultaneous downloads and the shared
// speed limit, edited on working copies that the caller takes back
// only after OK; "&Clear Last Searches" acts at once.
class COptionsDlg final : public QDialog {
    Q_OBJECT
public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    // WM_DESTROY: reads the boxes back, for OK and Cancel alike.
    void OnDestroy();
    void OnPlaySounds();
    void OnBrowse();
    void OnClearLastSearches();

    std::string m_strDir;
    int m_bSounds = 1;
    int m_nHistory = 10;
    int m_nSimultaneous = 4;
    int m_nSpeedLimit = 0;  // KB/s, 0: none
    QCheckBox* m_btnPlaySounds = nullptr;
    QLineEdit* m_edtDir = nullptr;
    QLineEdit* m_edtHistory = nullptr;
    QLineEdit* m_edtSimultaneous = nullptr;
    QLineEdit* m_edtSpeedLimit = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnClearLastSearches = nullptr;

    void done(int result) override;
};
