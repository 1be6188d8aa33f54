#include "errors.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vx {

namespace {

// Built on first use, so an error manager constructed during static initialisation elsewhere
// still gets the whole table.
const std::vector<ErrorEntry>& standardMessages() {
    static const std::vector<ErrorEntry> table = {
    {Msg::AccessDenied, Level::Notify, "Access Denied", "Could not get write access to %File so trying read-only."},
    {Msg::CreateFailed, Level::Fatal, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {Msg::DuplicateKey, Level::Notify, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    {Msg::OpenFailed, Level::Fatal, "File Access Error", "File %File could not be opened.  Error: %ErrorText."},
    {Msg::RebuildFailed, Level::Fatal, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {Msg::RebuildKey, Level::Notify, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {Msg::RestrictDelete, Level::Notify, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these references exist."},
    {Msg::RetryAutoInc, Level::User, "Auto Increment Error",
     "Attempts to automatically number this record have failed.|File: %File|Key: %Key|Error: %ErrorText.|Try Again?"},
    {Msg::UseClosedFile, Level::Program, "File Usage Error", "Attempt to use file (%File) before it was opened"},
    {Msg::ConfirmCancel, Level::User, "Changes will be lost!", "Are you sure you want to cancel?"},
    {Msg::NoRecords, Level::Notify, "No Records", "There are no records available to process."},
    };
    return table;
}

const char kEndWords[] = "  Press OK to end this application";

}  // namespace

QString fileErrorText(int code) {
    switch (code) {
    case FileError::NotFound: return QStringLiteral("File Not Found");
    case FileError::AccessDenied: return QStringLiteral("Access Denied");
    case FileError::BadKeyFile: return QStringLiteral("Key File Must Be Rebuilt");
    default: return QStringLiteral("Error %1").arg(code);
    }
}

// ---- ErrorStatusClass ----

void ErrorStatusClass::SetErrors(int code, const QString& text) {
    code_ = code;
    text_ = text;
}

QString ErrorStatusClass::ErrorText() const {
    if (!text_.isEmpty()) return text_;
    return code_ == 0 ? QString() : fileErrorText(code_);
}

// ---- ErrorClass ----

ErrorClass::ErrorClass() {
    for (const ErrorEntry& e : standardMessages()) table_[e.id] = e;
}

void ErrorClass::Init(ErrorStatusClass& status) { status_ = &status; }

void ErrorClass::Kill() {
    status_ = nullptr;
    locator_ = nullptr;
}

ErrorStatusClass& ErrorClass::Status() {
    if (locator_)
        if (ErrorStatusClass* s = locator_()) return *s;
    return status_ ? *status_ : fallback_;
}

void ErrorClass::SetProcedureName(const QString& name) {
    if (name.isEmpty()) Status().PopProcedure();
    else Status().PushProcedure(name);
}

QString ErrorClass::GetProcedureName() { return Status().Procedure(); }

const ErrorEntry* ErrorClass::Find(int id) const {
    auto it = table_.find(id);
    return it == table_.end() ? nullptr : &it->second;
}

QString ErrorClass::Substitute(const QString& text, const ErrorStatusClass& status) {
    struct Name {
        QLatin1StringView token;
        QString value;
    };
    const Name names[] = {
        {QLatin1StringView("%File"), QDir::toNativeSeparators(status.File())},
        {QLatin1StringView("%ErrorText"), status.ErrorText()},
        {QLatin1StringView("%ErrorCode"), QString::number(status.ErrorCode())},
        {QLatin1StringView("%Key"), status.Key()},
        {QLatin1StringView("%Message"), status.Message()},
    };
    QString out;
    out.reserve(text.size() + 64);
    for (qsizetype i = 0; i < text.size();) {
        QChar c = text[i];
        if (c == u'|') {
            out += u'\n';
            ++i;
            continue;
        }
        if (c == u'%') {
            const Name* hit = nullptr;
            for (const Name& n : names)
                if (QStringView(text).mid(i).startsWith(n.token) && (!hit || n.token.size() > hit->token.size()))
                    hit = &n;
            if (hit) {
                out += hit->value;
                i += hit->token.size();
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

ShownMessage ErrorClass::Compose(int id) {
    ErrorStatusClass& st = Status();
    ShownMessage m;
    m.id = id;
    m.procedure = st.Procedure();
    if (const ErrorEntry* e = Find(id)) {
        m.level = e->level;
        m.title = e->title;
        m.text = Substitute(e->text, st);
    } else {
        // A number the table lacks still tells the user something, and the program goes on.
        m.level = Level::Notify;
        m.title = QStringLiteral("Error");
        m.text = QStringLiteral("Message %1 is not in the message table.").arg(id);
    }
    if (m.level == Level::Program || m.level == Level::Fatal) m.text += QLatin1StringView(kEndWords);
    return m;
}

int ErrorClass::Throw(int id) {
    ShownMessage m = Compose(id);
    Status().lastMessage_ = id;
    if (m.level == Level::Benign || m.level == Level::Cancel) return m.level;
    bool yes = true;
    if (display_) {
        yes = display_(m);
    } else {
        // No window layer yet: the message goes to stderr and a question takes its default, Yes.
        std::fprintf(stderr, "%s: %s\n", m.title.toLocal8Bit().constData(), m.text.toLocal8Bit().constData());
    }
    switch (m.level) {
    case Level::User: return yes ? Level::Benign : Level::Cancel;
    case Level::Program:
    case Level::Fatal:
        if (end_) end_(m);
        else std::exit(EXIT_FAILURE);
        return m.level;
    default: return m.level;
    }
}

int ErrorClass::ThrowFile(int id, const QString& file) {
    Status().SetFile(file);
    return Throw(id);
}

int ErrorClass::ThrowMessage(int id, const QString& message) {
    Status().SetMessage(message);
    return Throw(id);
}

}  // namespace vx
