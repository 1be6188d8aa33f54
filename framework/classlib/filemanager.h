#pragma once
// FILEMANAGER: one data file as one logical thread uses it. It owns no file itself: the data
// dictionary hands it the thread's driver handle (vx::store::File), the thread's record buffer
// and the error manager. The file is opened lazily: Open() only counts a use, and the first real
// use (a read or write after at least one Open) opens the file physically, creating it when it is
// missing and rebuilding its keys when the driver finds them invalid, with the messages of the
// error manager's table. The last Close() closes it again.
//
// Return values: the plain steps (Insert, Update, Fetch, Next, ...) return a level (0 benign;
// otherwise the level of the message shown, or 5 notify without a message for "not found" and
// "end of file"); the Try... steps return the driver's error code and show nothing, for callers
// that handle errors themselves. Every step first runs UseFile, so the file is ready.
//
// Damaged records. A damaged record (its checksum fails) is a record that cannot be read, never
// the end of the file: every step of a sequence (Next, Previous, TryNext, TryPrevious, ScanNext,
// ScanPrevious) passes over it and gives the next readable record, or the end. What was passed
// over belongs to the read operation in progress (ReadOperation):
//   - an operation that tells (a list's page, a locate): message 93, naming the file and the
//     record's position, at the first damaged record that this thread has not been told of yet;
//     the operation tells nothing more, and a later operation does not tell the same record again;
//   - an operation that counts (reports, export, deletion): nothing is shown while it reads; at
//     its end the caller tells in its own words how many records were left out (TellLeftOut).
// Operations nest: an inner one joins the outermost, up to the nearest counting one. Outside any
// operation every step is one of its own. A Fetch or Reget of a damaged record gives DataFileDamaged (the Try steps) or shows
// message 93 (the plain steps).

#include <QString>
#include <set>
#include <string>
#include <vector>

#include "framework/classlib/errors.h"
#include "framework/store/store.h"
#include "framework/types/fields.h"

namespace vx {

// What UseFile is asked for.
namespace UseType {
constexpr int Use = 1;         // a real read or write: the file must be open
constexpr int Initialise = 5;  // only make sure the manager is initialised for use
}  // namespace UseType

// Messages the file and relation managers add to the error manager's table when it lacks them.
namespace FileMsg {
constexpr int WriteFailed = 90;    // level 5 "File Write Error"
constexpr int RestrictUpdate = 91; // level 5 "Referential Integrity Update Error"
constexpr int ChangedByOther = 92; // level 5: the record changed since it was read; nothing written
constexpr int ReadFailed = 93;     // level 5: a record or the file could not be read
constexpr int JournalSetAside = 94;// level 5: an unreadable cascade journal was set aside
constexpr int LeftOut = 95;        // level 5: records that could not be read were left out
}  // namespace FileMsg

class FileManager {
public:
    // Damaged records a counting operation passed over.
    struct LeftOut {
        std::set<store::Position> positions;
        int Count() const { return static_cast<int>(positions.size()); }
    };

    class ReadOperation {
    public:
        enum Mode { Tell, Count };
        explicit ReadOperation(FileManager& f, Mode mode = Tell);
        ~ReadOperation();
        ReadOperation(const ReadOperation&) = delete;
        ReadOperation& operator=(const ReadOperation&) = delete;
        // The damaged records passed over so far (a joined operation: those of the outermost).
        const LeftOut& Passed() const;
        // A damaged record read by its position, counted with those the steps passed over.
        void Note(store::Position pos);

    private:
        friend class FileManager;
        ReadOperation* scope();
        FileManager& f_;
        Mode mode_;
        ReadOperation* outer_;
        bool told_ = false;
        LeftOut passed_;
    };

    FileManager() = default;
    virtual ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // Registration with the thread's list of file managers; lazy open on. A derived Init sets
    // Buffer, Record, FileName, Errors and File first.
    virtual void Init();
    // Initialisation for use: the file and the error manager; open mode 0x42, create 1, lock
    // recover 10; from now on messages name the file as the driver names it.
    void Init(store::File& file, ErrorClass& errors);
    // Closes the file when it is open and leaves the thread's list.
    virtual void Kill();
    // Fields a new record gets besides the cleared values (run by PrimeRecord).
    virtual void PrimeFields() {}
    // Makes the file ready for a use (see UseType); returns a level.
    virtual int UseFile(int useType = UseType::Use);

    // The key registry: key numbers are the driver's (1-based), in the order of FileDesc::keys.
    void AddKey(int key, const QString& displayName, bool autoNumber = false);
    int KeyCount() const { return static_cast<int>(keys_.size()); }
    QString KeyDisplayName(int key) const;     // blank for an unregistered key
    QString KeyName(int key) const;            // the driver's name ("FRM:K1")
    bool KeyAutoNumber(int key) const;
    // A key by its name or display name, case-insensitive; 0 when unknown.
    int FindKey(const QString& name) const;

    // Use counting: Open counts a use (and opens at once when lazy open is off), Close releases
    // one and closes the file with the last.
    int Open();
    int Close();
    int OpenCount() const { return opened_; }
    bool IsOpen() const { return File && File->isOpen(); }

    // Writes of the record buffer.
    int Insert();           // add; duplicate key: message 15; auto-number failure: question 35
    int Update();           // write at the current position
    int Delete();           // remove the record at the current position
    int TryInsert();
    int TryUpdate();
    int TryDelete();

    // Reads into the record buffer.
    int Fetch(int key);     // the first record whose key equals the key fields of the buffer
    int Next();
    int Previous();
    int TryFetch(int key);
    int TryNext();
    int TryPrevious();
    // Sequence steps into `into` (a record image of this file, the buffer or a scratch copy),
    // without taking the record as the one a change is checked against: the driver's code,
    // NoError, NoMoreRecords or a failure of the file itself. Damaged records are passed over.
    int ScanNext(void* into);
    int ScanPrevious(void* into);
    // Message 95: `sentence` (what the operation did without the records left out), then the
    // file and the records' positions. Benign when nothing was left out; else its level.
    int TellLeftOut(const LeftOut& left, const QString& sentence);
    // A sequence that failed for a reason of the file itself (not the end, not a damaged record):
    // message 93 with the driver's error, once per read operation. Returns `code`.
    int TellReadFailure(int code);
    // Sequences: key 0 is file order. SetFrom starts at the key fields of the buffer, SetAt at a
    // record position; Next then reads from there.
    int SetStart(int key);
    int SetEnd(int key);
    int SetFrom(int key);
    int SetAt(int key, store::Position pos);
    // Position save and restore.
    store::Position Position() const { return File ? File->position() : 0; }
    int Reget(store::Position pos);             // level; notify when the record is gone
    int TryReget(store::Position pos);
    std::uint32_t Records();

    // A new record: cleared (numbers 0, texts blank), then PrimeFields, then the auto-numbered
    // key's next number. Returns a level (4 when the user gives up after message 35).
    int PrimeRecord(bool suppressClear = false);
    int PrimeAutoInc();

    // Saving and restoring the record buffer around a step that must not change it.
    std::string SaveBuffer() const;
    void RestoreBuffer(const std::string& saved);

    // Quick scan: sequences read the file ahead in large reads (a report going through many
    // records). Kept across closing and opening; off by default.
    void SetQuickScan(bool on);
    bool QuickScan() const { return quickScan_; }

    // The record as this manager last read or wrote it at Position(): what a change is checked
    // against, so that a change made meanwhile by another program is never overwritten unseen.
    bool Watched(store::Position pos, std::string& image) const;
    void Watch();                               // the buffer as it is, at Position()
    void WatchWritten();                        // the record just written, as the file keeps it

    // A failed driver call kept for reporting later (after the locks are released).
    struct Failure {
        int code = 0;
        QString text;                           // %ErrorText
        std::string detail;
    };
    Failure LastFailure() const;
    int ReportFailure(const Failure& f);        // 15 for a duplicate key, else "File Write Error"

    int LastError() const { return File ? File->lastError() : 0; }
    std::string LastErrorMessage() const { return File ? File->errorMessage() : std::string(); }

    // Shows message id naming this file with the driver's last error; returns its level.
    int ThrowFileError(int id);
    // The message of the driver's last failed write: 15 for a duplicate key (naming the key's
    // display name), else "File Write Error". Returns its level.
    int ReportWriteError();

    // Settings (the dictionary's per-file class sets them).
    void* Buffer = nullptr;
    const RecordDesc* Record = nullptr;
    QString FileName;                 // replaces %File
    ErrorClass* Errors = nullptr;
    store::File* File = nullptr;
    int Create = 0;
    int LockRecover = 0;
    int OpenMode = store::mode::ReadWrite;
    bool LazyOpen = true;
    bool Initialized = false;         // kept by the derived class's UseFile

private:
    struct KeyEntry {
        int key = 0;
        QString display;
        bool autoNumber = false;
    };
    int openFile();
    int duplicateKey();
    int writeFailed();
    int autoNumberKey() const;
    const KeyEntry* keyEntry(int key) const;
    int readLevel(int code);
    int noteRead(int code);
    int readFailed(int code);
    int stepPast(bool forward, void* into);
    void passedDamage(store::Position pos);

    std::vector<KeyEntry> keys_;
    int opened_ = 0;
    bool registered_ = false;
    bool quickScan_ = false;
    store::Position watchPos_ = 0;
    std::string watchImage_;
    ReadOperation* op_ = nullptr;              // the innermost operation in progress
    std::set<store::Position> told_;            // damaged records this thread has been told of
};

// The file managers of the running logical thread, in registration order.
const std::vector<FileManager*>& threadFileManagers();

// While one logical thread waits for a driver lock, the others run: the driver's wait hook
// suspends the waiting fiber for one turn of the scheduler (on the main stack it only sleeps).
void installStoreWaitHook();

}  // namespace vx

using FILEMANAGER = vx::FileManager;
