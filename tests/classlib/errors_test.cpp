#include "framework/classlib/errors.h"

#include <gtest/gtest.h>

#include <vector>

#include "classlib_testutil.h"

using namespace vx;

namespace {

class ErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        errors.Init(status);
        errors.SetDisplay([this](const ShownMessage& m) {
            shown.push_back(m);
            return answerYes;
        });
        errors.SetEndProgram([this](const ShownMessage& m) { ended.push_back(m.id); });
    }
    ErrorStatusClass status;
    ErrorClass errors;
    std::vector<ShownMessage> shown;
    std::vector<int> ended;
    bool answerYes = true;
};

TEST_F(ErrorsTest, MessageTable) {
    struct Row {
        int id;
        int level;
        const char* title;
        const char* text;
    };
    const Row rows[] = {
        {2, 5, "Access Denied", "Could not get write access to %File so trying read-only."},
        {12, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
        {15, 5, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key: %Message"},
        {26, 3, "File Access Error", "File %File could not be opened.  Error: %ErrorText."},
        {29, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
        {30, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
        {33, 5, "Referential Integrity Delete Error",
         "This record is referenced from the file %File. This record cannot be deleted while these references exist."},
        {35, 1, "Auto Increment Error",
         "Attempts to automatically number this record have failed.|File: %File|Key: %Key|Error: %ErrorText.|Try Again?"},
        {42, 2, "File Usage Error", "Attempt to use file (%File) before it was opened"},
        {Msg::ConfirmCancel, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
        {Msg::NoRecords, 5, "No Records", "There are no records available to process."},
    };
    for (const Row& r : rows) {
        const ErrorEntry* e = errors.Find(r.id);
        ASSERT_NE(e, nullptr) << r.id;
        EXPECT_EQ(e->level, r.level) << r.id;
        EXPECT_EQ(e->title, QString::fromUtf8(r.title)) << r.id;
        EXPECT_EQ(e->text, QString::fromUtf8(r.text)) << r.id;
    }
}

TEST_F(ErrorsTest, Substitution) {
    struct Row {
        const char* text;
        const char* file;
        int code;
        const char* errorText;
        const char* key;
        const char* message;
        const char* want;
    };
    const Row rows[] = {
        {"File %File could not be opened.  Error: %ErrorText.", "forma1", 5, "", "", "",
         "File forma1 could not be opened.  Error: Access Denied."},
        {"Error: (%ErrorText) creating %File.", "LAST.DAT", 2, "", "", "", "Error: (File Not Found) creating LAST.DAT."},
        {"%File key file is invalid.", "kagent", 46, "", "", "", "kagent key file is invalid."},
        {"(%ErrorText)", "", 77, "", "", "", "(Error 77)"},
        {"(%ErrorText) %ErrorCode", "", 5, "Нет доступа", "", "", "(Нет доступа) 5"},
        {"a|b||c", "", 0, "", "", "", "a\nb\n\nc"},
        {"File: %File|Key: %Key", "kagent", 0, "", "По наименованию", "", "File: kagent\nKey: По наименованию"},
        {"key: %Message", "", 0, "", "", "Иванов|%File 100%", "key: Иванов|%File 100%"},
        {"%Unknown %Fil %File%File", "x", 0, "", "", "", "%Unknown %Fil xx"},
        {"100% sure", "", 0, "", "", "", "100% sure"},
        {"", "x", 0, "", "", "", ""},
    };
    for (const Row& r : rows) {
        ErrorStatusClass st;
        st.SetFile(QString::fromUtf8(r.file));
        st.SetErrors(r.code, QString::fromUtf8(r.errorText));
        st.SetKey(QString::fromUtf8(r.key));
        st.SetMessage(QString::fromUtf8(r.message));
        EXPECT_EQ(ErrorClass::Substitute(QString::fromUtf8(r.text), st), QString::fromUtf8(r.want)) << r.text;
    }
}

TEST_F(ErrorsTest, LevelsAndWhatTheyReturn) {
    errors.SetErrors(5);
    EXPECT_EQ(errors.ThrowFile(Msg::AccessDenied, "forma1"), Level::Notify);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Access Denied");
    EXPECT_EQ(shown[0].text, "Could not get write access to forma1 so trying read-only.");
    EXPECT_TRUE(ended.empty());

    // A question: Yes goes on (0), No cancels (4).
    EXPECT_EQ(errors.Throw(Msg::ConfirmCancel), Level::Benign);
    answerYes = false;
    EXPECT_EQ(errors.Throw(Msg::ConfirmCancel), Level::Cancel);
    EXPECT_EQ(errors.ThrowFile(Msg::RetryAutoInc, "kagent"), Level::Cancel);
    EXPECT_EQ(shown.back().text,
              "Attempts to automatically number this record have failed.\nFile: kagent\nKey: \nError: Access Denied.\nTry Again?");
    EXPECT_TRUE(ended.empty());

    // Fatal and program messages carry the closing words and end the program.
    EXPECT_EQ(errors.ThrowFile(Msg::OpenFailed, "FORMA1"), Level::Fatal);
    EXPECT_EQ(shown.back().text,
              "File FORMA1 could not be opened.  Error: Access Denied.  Press OK to end this application");
    EXPECT_EQ(errors.ThrowFile(Msg::UseClosedFile, "anim"), Level::Program);
    EXPECT_EQ(shown.back().text, "Attempt to use file (anim) before it was opened  Press OK to end this application");
    EXPECT_EQ(ended, (std::vector<int>{Msg::OpenFailed, Msg::UseClosedFile}));

    // A message with a key value; the status remembers the last message.
    EXPECT_EQ(errors.ThrowMessage(Msg::DuplicateKey, "По номеру свидетельства"), Level::Notify);
    EXPECT_EQ(shown.back().text, "Adding this record creates a duplicate entry for the key: По номеру свидетельства");
    EXPECT_EQ(status.LastMessage(), Msg::DuplicateKey);

    // A number the table lacks informs and goes on.
    EXPECT_EQ(errors.Throw(9999), Level::Notify);
    EXPECT_EQ(shown.back().text, "Message 9999 is not in the message table.");
}

TEST_F(ErrorsTest, AddedMessagesAndNoDisplay) {
    errors.AddMessage({500, Level::Benign, "Quiet", "never shown"});
    std::size_t before = shown.size();
    EXPECT_EQ(errors.Throw(500), Level::Benign);
    EXPECT_EQ(shown.size(), before);
    errors.AddMessage({Msg::NoRecords, Level::Notify, "Нет записей", "Пусто"});
    errors.Throw(Msg::NoRecords);
    EXPECT_EQ(shown.back().title, QString::fromUtf8("Нет записей"));

    // Without a display a question takes its default answer, Yes.
    ErrorClass bare;
    ErrorStatusClass st;
    bare.Init(st);
    EXPECT_EQ(bare.Throw(Msg::ConfirmCancel), Level::Benign);
}

TEST_F(ErrorsTest, ProcedureNameStackPerThread) {
    errors.SetProcedureName("BrowseForma_1");
    errors.SetProcedureName("UpdateAgent");
    EXPECT_EQ(errors.GetProcedureName(), "UpdateAgent");
    errors.Throw(Msg::NoRecords);
    EXPECT_EQ(shown.back().procedure, "UpdateAgent");
    errors.SetProcedureName();
    EXPECT_EQ(errors.GetProcedureName(), "BrowseForma_1");

    // Another logical thread has its own status, stack and last error.
    ErrorStatusClass other;
    ErrorStatusClass* current = &other;
    errors.SetStatusLocator([&current] { return current; });
    EXPECT_EQ(errors.GetProcedureName(), "");
    errors.SetProcedureName("Print_F1_1");
    errors.SetErrors(2);
    EXPECT_EQ(errors.GetProcedureName(), "Print_F1_1");
    current = &status;
    EXPECT_EQ(errors.GetProcedureName(), "BrowseForma_1");
    EXPECT_EQ(status.ErrorCode(), 0);
    EXPECT_EQ(other.ErrorCode(), 2);

    // Popping more than was pushed leaves the stack empty and does no harm.
    errors.SetProcedureName();
    errors.SetProcedureName();
    EXPECT_EQ(errors.GetProcedureName(), "");
    EXPECT_EQ(status.ProcedureDepth(), 0);
}

}  // namespace
