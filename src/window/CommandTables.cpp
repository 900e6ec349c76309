#include "window/CommandTables.h"

#include "resources/Resource.h"

#include <QKeyEvent>

const std::vector<DropDown>& MainMenu()
{
    static const std::vector<DropDown> menu = {
        {"&File", {{"E&xit", ID_APP_EXIT}}},
        {"&Page",
         {{"Search &Engine Page", ID_MENU_ENGINES_PAGE},
          {"&Search Page", ID_MENU_SEARCH_PAGE},
          {"&Download Page", ID_MENU_DOWNLOAD_PAGE},
          {"&Play List Page", ID_MENU_PLAYLIST_PAGE}}},
        {"&Search", {{"&Find It !", ID_MENU_FIND}}},
        {"&Extra", {{"&Options", ID_MENU_OPTIONS}, {"Settings", ID_MENU_SETTINGS}}},
        {"&Help",
         {{"Contents...", ID_MENU_HELP_CONTENTS},
          {nullptr, 0},
          {"Tell a friend", ID_MENU_TELL_FRIEND},
          {"H&ome Page", ID_HOME_PAGE},
          {nullptr, 0},
          {"&About Tunorva...", ID_APP_ABOUT}}},
    };
    return menu;
}

const std::vector<unsigned>& ToolbarButtons()
{
    static const std::vector<unsigned> buttons = {
        ID_TB_FIND, ID_TB_COPY_URL, 0,
        ID_TB_OPTIONS, 0,
        ID_TB_ENGINES_PAGE, ID_TB_SEARCH_PAGE, ID_TB_DOWNLOAD_PAGE, ID_TB_PLAYLIST_PAGE, 0,
        ID_TB_DOWNLOAD_FILE, ID_TB_CANCEL_DOWNLOAD, ID_TB_CLEAR_DOWNLOAD, ID_TB_CANCEL_ALL, ID_TB_CLEAR_ALL, 0,
        ID_TB_PLAY, ID_TB_RENAME, ID_TB_DELETE, ID_TB_REFRESH, 0,
        ID_TB_HELP, ID_TB_TELL_FRIEND, ID_HOME_PAGE,
    };
    return buttons;
}

const std::vector<Accelerator>& Accelerators()
{
    static const std::vector<Accelerator> table = {
        {Qt::Key_Delete, Qt::NoModifier, ID_ACCEL_DELETE},
        {Qt::Key_F2, Qt::NoModifier, ID_ACCEL_RENAME},
        {Qt::Key_F5, Qt::NoModifier, ID_ACCEL_REFRESH},
        {Qt::Key_Return, Qt::NoModifier, ID_ACCEL_FIND},
        {Qt::Key_Enter, Qt::KeypadModifier, ID_ACCEL_FIND},
        {Qt::Key_Tab, Qt::ControlModifier, ID_ACCEL_NEXT_PAGE},
        {Qt::Key_Space, Qt::NoModifier, ID_ACCEL_PREVIEW},
    };
    return table;
}

unsigned FindAccelerator(const QKeyEvent& event)
{
    // The table's entries name their modifiers exactly: Shift+Delete or
    // Ctrl+Enter are no accelerators.
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier |
                             Qt::KeypadModifier);
    for (const Accelerator& accel : Accelerators()) {
        if (event.key() != accel.key)
            continue;
        // The keypad's Delete and Enter count as the main keys.
        if ((mods & ~Qt::KeypadModifier) == (accel.modifiers & ~Qt::KeypadModifier))
            return accel.id;
    }
    return 0;
}
