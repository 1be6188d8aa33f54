#pragma once
// ERRORCLASS, the error manager: the message table, the substitution of the message texts, the
// current procedure name, and the levels a message returns. It shows nothing itself: showing a
// message is a callback that the window layer installs (a message box of the window engine);
// until then messages go to the standard error stream and questions take their default answer.
//
// ERRORSTATUSCLASS is the per-thread part: the last error (code, text), the file, key and extra
// text that the next message names, and the stack of procedure names. Every logical thread owns
// one; the error manager, shared by the whole program, reaches the current thread's through a
// locator that the thread layer installs (SetStatusLocator), else the one given to Init.
//
// Levels: 0 benign (nothing shown), 1 user (a question, Yes the default: Yes gives 0, No 4),
// 2 program and 3 fatal (shown with "  Press OK to end this application" appended, then the
// program ends through the end-program callback), 4 cancel, 5 notify (shown, the step goes on).
//
// Message texts: "|" starts a new line; these names are replaced by the current values:
//   %File       the file's name for messages, exactly as the file manager passes it (before a
//               file's first use its dictionary name, "forma1"; later the name the keyed file
//               driver reports for it); directory separators are shown the platform's way
//   %ErrorText  the driver's error text; when none was given, the text of the error code
//   %ErrorCode  the error code as a number
//   %Key        the key's display name
//   %Message    the extra text of ThrowMessage (the duplicate key's values and the like)
// Substitution is one pass: a replaced value is shown as it is, even when it holds "|" or "%".

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

namespace vx {

namespace Level {
constexpr int Benign = 0;
constexpr int User = 1;
constexpr int Program = 2;
constexpr int Fatal = 3;
constexpr int Cancel = 4;
constexpr int Notify = 5;
}  // namespace Level

// Message numbers of the table.
namespace Msg {
constexpr int AccessDenied = 2;        // level 5 "Access Denied"
constexpr int CreateFailed = 12;       // level 3 "File Creation Error"
constexpr int DuplicateKey = 15;       // level 5 "Duplicate Key Error"
constexpr int OpenFailed = 26;         // level 3 "File Access Error"
constexpr int RebuildFailed = 29;      // level 3 "Key was not built"
constexpr int RebuildKey = 30;         // level 5 "Invalid Key"
constexpr int RestrictDelete = 33;     // level 5 "Referential Integrity Delete Error"
constexpr int RetryAutoInc = 35;       // level 1 "Auto Increment Error"
constexpr int UseClosedFile = 42;      // level 2 "File Usage Error"
constexpr int ConfirmCancel = 101;     // level 1 "Changes will be lost!"
constexpr int NoRecords = 102;         // level 5 "No Records"
}  // namespace Msg

// Error codes of the keyed file driver that messages name.
namespace FileError {
constexpr int NotFound = 2;        // "File Not Found"
constexpr int AccessDenied = 5;    // "Access Denied"
constexpr int BadKeyFile = 46;     // "Key File Must Be Rebuilt"
}  // namespace FileError

// The driver's text of an error code ("Error 77" for one it has no text for).
QString fileErrorText(int code);

struct ErrorEntry {
    int id = 0;
    int level = Level::Notify;
    QString title;
    QString text;  // with "|" and the %names, as in the table
};

// A message ready to be shown: substituted, "|" turned into line breaks, and for levels 2 and 3
// the closing words appended.
struct ShownMessage {
    int id = 0;
    int level = Level::Notify;
    QString title;
    QString text;
    QString procedure;  // the current procedure's registered name, blank outside any procedure
};

class ErrorStatusClass {
public:
    // The driver's last error. An empty text means: take the text of the code.
    void SetErrors(int code, const QString& text = {});
    int ErrorCode() const { return code_; }
    QString ErrorText() const;
    void SetFile(const QString& file) { file_ = file; }
    const QString& File() const { return file_; }
    void SetKey(const QString& key) { key_ = key; }
    const QString& Key() const { return key_; }
    void SetMessage(const QString& message) { message_ = message; }
    const QString& Message() const { return message_; }
    // The number of the last message thrown on this thread (0: none yet).
    int LastMessage() const { return lastMessage_; }

    // The procedure-name stack: a name is pushed when a procedure starts and popped when it ends.
    void PushProcedure(const QString& name) { procedures_.push_back(name); }
    void PopProcedure() {
        if (!procedures_.empty()) procedures_.pop_back();
    }
    QString Procedure() const { return procedures_.empty() ? QString() : procedures_.back(); }
    int ProcedureDepth() const { return static_cast<int>(procedures_.size()); }

private:
    friend class ErrorClass;
    int code_ = 0;
    QString text_;
    QString file_;
    QString key_;
    QString message_;
    int lastMessage_ = 0;
    QStringList procedures_;
};

class ErrorClass {
public:
    // Shows a message; for a question (level 1) returns true for Yes.
    using Display = std::function<bool(const ShownMessage&)>;
    // Ends the program after a level 2 or 3 message has been shown.
    using EndProgram = std::function<void(const ShownMessage&)>;
    // The current logical thread's status.
    using StatusLocator = std::function<ErrorStatusClass*()>;

    ErrorClass();  // with the standard message table

    void Init(ErrorStatusClass& status);
    void Kill();
    void SetStatusLocator(StatusLocator locator) { locator_ = std::move(locator); }
    ErrorStatusClass& Status();

    void SetDisplay(Display display) { display_ = std::move(display); }
    void SetEndProgram(EndProgram end) { end_ = std::move(end); }

    // A name pushes it as the current procedure name; no name pops back to the previous one.
    void SetProcedureName(const QString& name = {});
    QString GetProcedureName();

    // Adds a message or replaces the one with the same number.
    void AddMessage(const ErrorEntry& entry) { table_[entry.id] = entry; }
    const ErrorEntry* Find(int id) const;

    void SetErrors(int code, const QString& text = {}) { Status().SetErrors(code, text); }
    void SetFile(const QString& file) { Status().SetFile(file); }
    void SetKey(const QString& key) { Status().SetKey(key); }

    // Shows message `id` with the current values and returns its level (for a question: 0 for
    // Yes, 4 for No). Level 2 and 3 end the program through the end-program callback; when that
    // returns (a test), the level is returned.
    int Throw(int id);
    int ThrowFile(int id, const QString& file);
    int ThrowMessage(int id, const QString& message);

    // The message as it would be shown now, without showing it.
    ShownMessage Compose(int id);
    // A table text with the %names replaced from `status` and "|" as line breaks.
    static QString Substitute(const QString& text, const ErrorStatusClass& status);

private:
    std::map<int, ErrorEntry> table_;
    ErrorStatusClass* status_ = nullptr;
    ErrorStatusClass fallback_;
    StatusLocator locator_;
    Display display_;
    EndProgram end_;
};

}  // namespace vx
