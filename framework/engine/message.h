#pragma once
// Blocking calls of a logical thread: message boxes and the common dialogs. None of them spins a
// nested Qt event loop: the dialog is shown without Qt modality, the calling thread's windows are
// disabled, and the calling fiber waits for the answer while every other thread goes on.

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "events.h"

class QAbstractButton;
class QComboBox;
class QFontDialog;
class QWidget;

namespace vx::eng {

// MESSAGE: shows text ('|' breaks a line) under a title with an icon and buttons (btn:: bits);
// returns the button pressed. Esc or the close box answer Cancel, else No, else the default.
int MESSAGE(const QString& text, const QString& title = {}, Icon icon = Icon::None,
            int buttons = btn::Ok, int defaultButton = 0);

// Shows a dialog for the running thread and waits for it to finish; returns QDialog::result().
// The dialog is owned by the caller. On the main stack it returns QDialog::Rejected at once.
int runDialog(QDialog* dialog);

// The common dialogs. Each is a hook that later layers (or tests) may replace.
struct FontChoice {
    QString typeface;
    int size = 0;
    int color = 0;   // 0x00BBGGRR
    int style = 400; // weight + 0x1000 italic + 0x2000 underline + 0x4000 strike-out
    int charset = 0;
};
struct DialogHooks {
    // Open-file dialog: path in/out (1251 text); filter as "Name|*.ext|Name|*.*".
    std::function<bool(const QString& title, std::string& path, const QString& filter, int flags)> file;
    std::function<bool(const QString& title)> printerSetup;
    std::function<bool(const QString& title, FontChoice& font)> font;
    // Calendar: a day number (0 = none) to start from; the chosen day or nothing.
    std::function<std::optional<std::int32_t>(const QString& title, std::int32_t date)> calendar;
};
DialogHooks& dialogHooks();

// The font dialog the font hook shows: the typeface, size and style, the colour and the character
// set, each starting from the choice given. A typeface the layouts name ("Times New Roman CYR")
// opens on the installed face that stands in for it, shown under the name given. take() gives
// what the user chose; what he left as it opened comes back exactly as given (the typeface's own
// name, its style and size numbers), not as the installed face's.
class FontDialog : public QDialog {
public:
    FontDialog(QWidget* parent, const QString& title, const FontChoice& start);
    void take(FontChoice& f) const;
    QFontDialog* fontPart() const { return font_; }
    QComboBox* colourPart() const { return colour_; }
    QComboBox* charsetPart() const { return charset_; }

private:
    void nameTheStandIn();

    QFontDialog* font_ = nullptr;
    QComboBox* colour_ = nullptr;
    QComboBox* charset_ = nullptr;
    FontChoice start_;
    // What the font part showed when it opened.
    QString shownFamily_;
    int shownStyle_ = 0;
    int shownSize_ = 0;
};

bool FILEDIALOG(const QString& title, std::string& path, const QString& filter = {}, int flags = 0);
bool PRINTERDIALOG(const QString& title);
bool FONTDIALOG(const QString& title, FontChoice& font);
std::optional<std::int32_t> CALENDAR(const QString& title, std::int32_t date);

// Blocking dialogs now open, for the test harness.
struct OpenDialog {
    int thread = 0;
    QWidget* widget = nullptr;
    QString title, text;
    int buttons = 0;                  // message boxes: the btn:: bits offered
    std::function<void(int)> answer;  // message boxes: press a button; dialogs: done(result)
    // Message boxes: the button widget for a btn:: bit (nullptr when not offered).
    std::function<QAbstractButton*(int)> button;
};
std::vector<OpenDialog> openDialogs();

}  // namespace vx::eng
