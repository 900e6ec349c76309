#pragma once

#include "platform/IniFile.h"

#include <QComboBox>

#include <string>

// A drop-down keyword box that remembers earlier searches: newest first,
// without duplicates (whatever their capitals), at most m_nLimit of them,
// kept with the box's last text in the application profile under
// m_strSection. The list is never sorted: its order is that of insertion.
class CHistoryCombo final : public QComboBox {
    Q_OBJECT

public:
    explicit CHistoryCombo(bool bAllowSort = false, QWidget* parent = nullptr);

    // Binds the box to its storage and fills the list from it; with
    // `bRememberCurrent` the stored box text comes back too. An empty section
    // stores nothing.
    void ReadHistory(const std::string& section, const std::string& keyPrefix, bool bRememberCurrent = true,
                     const std::string& currentKey = {});
    // Puts `text` at the top of the list and returns its index.
    int PushHistoryItem(const std::string& text);
    // Stores the list, after pushing the box text when `bAddCurrent` is set.
    void WriteHistory(bool bAddCurrent);
    // Empties the list and the box; with `bDeleteStored` the storage too.
    void EraseHistory(bool bDeleteStored);
    void SetHistoryLimit(int nLimit);

    int m_nLimit = 10;
    std::string m_strSection;
    std::string m_strKeyPrefix;
    std::string m_strCurrentKey;
    bool m_bRememberCurrent = true;
    // Kept for the callers that ask for it; the box is never sorted either way.
    bool m_bAllowSort = false;

private:
    std::string ItemKey(int index) const;
    std::string CurrentTextKey() const;
    // CB_FINDSTRINGEXACT: the first item after `start` that equals `text`
    // without regard to case, wrapping round to the top; -1 when none does.
    int FindStringExact(int start, const QString& text) const;
    // The list operations of a Windows combo box leave the edit part alone;
    // QComboBox sometimes changes it, so these put it back.
    int AddString(const QString& text);
    int InsertString(int index, const QString& text);
    void DeleteString(int index);
    void SetCurSel(int index);
    // Adds the deletion of the stored items from key `first` on to `changes`.
    void DeleteStoredItemsFrom(int first, platform::ProfileChanges& changes) const;
};
