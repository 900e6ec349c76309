#pragma once

#include <Qt>

#include <vector>

class QKeyEvent;

// The built-in main menu (resource 128): drop-downs with their entries; an
// entry with id 0 is a separator.
struct MenuEntry {
    const char* text;
    unsigned id;
};
struct DropDown {
    const char* text;
    std::vector<MenuEntry> entries;
};
const std::vector<DropDown>& MainMenu();

// Toolbar resource 128: command ids in order, 0 for a separator.
const std::vector<unsigned>& ToolbarButtons();

// Accelerator table 128.
struct Accelerator {
    int key;
    Qt::KeyboardModifiers modifiers;
    unsigned id;
};
const std::vector<Accelerator>& Accelerators();

// The command of the accelerator a key press stands for, 0 when none.
unsigned FindAccelerator(const QKeyEvent& event);
