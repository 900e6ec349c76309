#pragma once

#include <QString>

#include <initializer_list>

class QMenuBar;
class QWidget;

// The text a window shows as its own, as the window system's window text:
// a label's or button's caption, an edit's or combo box's text, a group
// box's title, and for any other control (a list, a picture) its title,
// which is kept but not drawn.
QString WindowText(const QWidget* window);
void SetWindowText(QWidget* window, const QString& text);

// The text of string id `id` in the language in force (the built-in English
// one when the language file has none), with %1, %2... replaced by `args`.
QString LanguageText(unsigned id, std::initializer_list<QString> args = {});

// The control id a widget carries ("controlId"); -1 when it carries none.
int ControlId(const QWidget* widget);

// The name a screen reader announces for a control captioned `caption`: the
// caption as shown, without mnemonics, surrounding blanks or a closing colon.
QString AccessibleCaption(const QString& caption);

// The short name of command `id` as its tool tip gives it, in the language in
// force ("Find It.", "Search Page"); the built-in English one when the
// language file has none.
QString CommandName(unsigned id);

// Names `control` for screen readers after `caption`, a label beside it or a
// group box that frames it, and keeps the name in step with the caption at
// every language pass. A label also becomes the control's buddy, which is how
// the desktop's accessibility bus relates the two.
void NameAfterCaption(QWidget* control, QWidget* caption);

// Names the direct children of `window` that were given a caption after the
// caption's current text; TranslateWindow does this after its captions.
void RefreshCaptionNames(QWidget* window);

// Translates a window's title (when `dialogId` is not 0) and the captions of
// its direct children by their control ids. An empty or missing value leaves
// the text on screen as it is; children without a control id are Qt's own
// parts and are not visited.
void TranslateWindow(QWidget* window, int dialogId);

// Translates the main menu bar: the top-level entries under their generated
// keys (falling back to the built-in English text), the drop-down entries by
// command id (falling back to the text on screen). Null does nothing.
void TranslateMenu(QMenuBar* menu);

// A tip as a tool tip shows it: mnemonic '&'s are dropped, "&&" shows one '&'.
QString TipDisplayText(const QString& tip);

// A tool tip that shows `text` as typed, however much it looks like rich text.
QString PlainToolTip(const QString& text);
