#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QPushButton;

// "S e t t i n g": every language file of the language folder with its flag.
// Each selection is applied at once; OK keeps it, Cancel returns to the
// language that was in force when the dialog opened.
class CLanguageDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CLanguageDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    void FillLanguages();
    void AddFlag(const std::string& fileName);
    void OnSelChangeLanguage();
    void OnOK();
    void OnCancel();

    // The language names (file titles) in list order; item n shows flag n.
    std::vector<std::string> m_arrLanguages;
    std::string m_strOldLanguage;
    QComboBox* m_cbLanguages = nullptr;
    QGroupBox* m_grpLanguage = nullptr;
    QPushButton* m_btnOk = nullptr;
    QPushButton* m_btnCancel = nullptr;

    // OK and Cancel, also through Enter, Escape and the close box.
    void accept() override;
    void reject() override;

private:
    std::vector<QPixmap> m_imageList;
};
