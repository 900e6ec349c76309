#include "window/ToolBar.h"

#include "window/Pictures.h"
#include "resources/Resource.h"
#include "window/CommandTables.h"

CToolBar::CToolBar(QWidget* parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("toolbar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

bool CToolBar::LoadToolBar(int id)
{
    if (id != IDR_MAINFRAME)
        return false;
    const QPixmap strip = LoadBitmap(IDB_TOOLBAR);
    int cell = 0;
    for (unsigned command : ToolbarButtons()) {
        if (command == 0) {
            addSeparator();
            continue;
        }
        QAction* action = addAction(QString());
        action->setProperty("commandId", command);
        action->setObjectName(QStringLiteral("tb%1").arg(command));
        const QPixmap image = StripCell(strip, cell++, 16, qRgb(0xC0, 0xC0, 0xC0));
        if (!image.isNull())
            action->setIcon(QIcon(image));
        connect(action, &QAction::triggered, this, [this, command] { emit commandChosen(command); });
        m_buttons[command] = action;
    }
    return true;
}

QAction* CToolBar::ButtonAction(unsigned commandId) const
{
    const auto it = m_buttons.find(commandId);
    return it != m_buttons.end() ? it->second : nullptr;
}

void CToolBar::SetButtonState(unsigned commandId, int state)
{
    if (QAction* action = ButtonAction(commandId))
        action->setVisible((state & TBSTATE_HIDDEN) == 0);
}

bool CToolBar::IsButtonHidden(unsigned commandId) const
{
    const QAction* action = ButtonAction(commandId);
    return action == nullptr || !action->isVisible();
}
