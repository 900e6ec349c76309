#pragma once

#include <QToolBar>

#include <map>

// Button states as TB_SETSTATE takes them.
inline constexpr int TBSTATE_ENABLED = 0x04;
inline constexpr int TBSTATE_HIDDEN = 0x08;

// The main frame's toolbar: flat 16 x 16 buttons cut from one picture strip,
// each carrying the command id it sends.
class CToolBar final : public QToolBar {
    Q_OBJECT
public:
    explicit CToolBar(QWidget* parent = nullptr);

    // Builds the buttons and separators of toolbar resource `id`.
    bool LoadToolBar(int id);

    // The action of the button that sends `commandId`; null when none.
    QAction* ButtonAction(unsigned commandId) const;
    // TB_SETSTATE: a state with TBSTATE_HIDDEN removes the button from the bar.
    void SetButtonState(unsigned commandId, int state);
    bool IsButtonHidden(unsigned commandId) const;

signals:
    void commandChosen(unsigned commandId);

private:
    std::map<unsigned, QAction*> m_buttons;
};
