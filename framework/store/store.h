#pragma once
// The keyed file driver: fixed-length data files with one paged B+tree key file per key.
//
// Files of a data file "NAME" (or "NAME.EXT"), all in one directory:
//   NAME.DAT (or NAME.EXT)  header page + fixed-length slots; a slot's number is the record position
//   NAME.K01, NAME.K02 ...  one B+tree per key (two base-36 digits)
//   NAME.JNL                rollback journal of the commit in progress (kept, invalid when idle)
//
// Sharing: every File object is one handle with its own descriptors. Handles of one process
// (threads or fibers) and of several processes share the files: writers are serialised by a
// byte-range lock (open file description locks, so they vanish with a dead process: nothing
// is left to recover, and no "Recover=" setting is needed); readers take no lock: each read
// checks that the data file's change counter is the one its view was taken at, and starts over
// from a fresh view when a commit ran meanwhile, so no reader sees half a record or a
// half-changed key. One handle must not be used by two threads at once.
//
// Crash safety: a commit writes the original bytes of everything it will overwrite into the
// journal (synced), then writes in place with the change counter odd, syncs, makes the counter
// even and invalidates the journal. A commit cut short (kill -9, power loss) is undone by the
// next writer, reader or opener, which finds the counter odd or the journal valid.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/types/fields.h"

namespace vx::store {

// Error codes. Every failing call returns one and keeps it (lastError, errorText).
enum Error : int {
    NoError = 0,
    FileNotFound = 2,        // "File Not Found": the data file does not exist
    AccessDenied = 5,        // "Access Denied": no permission, in use by an exclusive opener, or written through a read-only handle
    FileLocked = 32,         // "File Is Locked": the write lock was not obtained in time
    NoMoreRecords = 33,      // "Record Not Available": next/previous ran past the end or the start
    RecordNotFound = 35,     // "Record Not Found": no record with this key value, or no record at this position
    FileNotOpen = 37,        // "File Not Open"
    DuplicateKey = 40,       // "Creates Duplicate Key": detail names the key
    KeyFileRebuild = 46,     // "Key File Must Be Rebuilt": key file missing, stale, interrupted or damaged; also a
                             // data file header whose counts BUILD can recompute, or a last slot cut short
    BadDeclaration = 47,     // "Invalid Record Declaration": record size, fields or code page differ from the file's
    TransactionError = 48,   // "Transaction Error": begin twice, commit/rollback without begin, or a failed step inside
    AutoNumberFailed = 49,   // "Auto-Number Failed": the next number does not fit the field
    FileSystemError = 90,    // "File System Error": the operating system refused a read or write (detail: its message)
    DataFileDamaged = 91,    // "Data File Damaged": not a data file of this program (or of another format
                             // version), or a damaged record (detail "record <position> damaged")
};
const char* errorText(int code);

// One component of a key: a field of the record, ascending or descending.
struct KeyComponent {
    const FieldDesc* field = nullptr;
    bool ascending = true;
};

// A key as the data dictionary declares it. Keys leave out records whose components are all
// blank (text) or zero (numbers); equal values are kept in record position order.
struct KeyDesc {
    std::string name;                      // "FRM:K1", for messages
    std::vector<KeyComponent> components;
    bool unique = false;
    bool primary = false;
    bool autoNumber = false;               // one numeric component: add() gives a zero value the next after the highest
    bool noCase = true;                    // text compared without case (code page 1251, Ё/ё included)
};

// A data file as the data dictionary declares it.
struct FileDesc {
    std::string name;                      // as given to the driver: "FORMA1", "LAST.DAT"
    const RecordDesc* record = nullptr;
    std::vector<KeyDesc> keys;             // key 1 is keys[0] (file NAME.K01)
    bool oem = false;                      // text fields kept in code page 866 on disk
};

// Open modes: access in the low nibble (0 read, 1 write, 2 read/write), sharing in the high one.
namespace mode {
constexpr int ReadOnly = 0x40;             // read, deny none
constexpr int ReadWrite = 0x42;            // read/write, deny none
constexpr int DenyWrite = 0x22;            // read/write, other openers may only read
constexpr int Exclusive = 0x12;            // read/write, deny all
}  // namespace mode

using Position = std::uint32_t;            // 1-based slot number, stable for a record's life; 0 = none

// Process-wide settings.
void setSync(bool on);                     // fsync at every commit (default on: power-loss safe)
bool syncEnabled();
// Called while waiting for a lock (instead of only sleeping), so a fiber scheduler can run the
// fiber that holds it. Default: none.
void setWaitHook(std::function<void()> hook);
// Test hook: called in a commit over several files after the journals are written (1), after the
// new bytes are in place (2), after the commit point (3) and after the first file is finished (4).
void setGroupHook(std::function<void(int stage)> hook);

class File {
public:
    // directory: where the files live; empty = the working directory.
    explicit File(FileDesc desc, std::string directory = {});
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const FileDesc& desc() const;
    std::string dataPath() const;
    std::string keyPath(int key) const;    // key: 1-based
    std::string journalPath() const;

    // Creates the data file and its key files when the data file is missing; an existing data
    // file is left alone (returns 0). Safe against concurrent creators.
    int create();
    int open(int openMode = mode::ReadWrite);
    void close();                          // rolls back an unfinished transaction
    bool isOpen() const;
    // Rebuilds every key file from the data file. On a closed handle it opens the file for
    // itself denying other writers (AccessDenied while another handle writes) and closes it
    // again; on an open handle it needs DenyWrite or Exclusive. Also recounts the records and
    // the list of free slots, makes a damaged header again from the slots, and copies a last
    // slot that was cut short aside into NAME.BAD. A slot that is neither live nor free stays as
    // it is, in no key (file order reports it as a damaged record).
    int build();

    // Writes. Outside a transaction each is its own atomic commit; inside, it joins it.
    int add(void* record);                 // position() is the new record's; auto-number written into `record`
    int put(const void* record);           // at position()
    int put(Position pos, const void* record);
    int remove();                          // at position()
    int remove(Position pos);

    // Reads into `record` (recordSize bytes, code page 1251).
    int get(Position pos, void* record);   // re-get by position
    int get(int key, void* record);        // first record in key order whose key equals the key fields of `record`;
                                           // also positions the key sequence on it
    // Sequences: key 0 is file (position) order.
    int setStart(int key);                 // next() gives the first record
    int setEnd(int key);                   // previous() gives the last record
    int set(int key, const void* record);  // next() gives the first record with key >= the key fields of `record`
    int set(int key, Position pos);        // next() gives the record at pos, then those after it in key order
    int next(void* record);
    int previous(void* record);
    // Quick scan: forward sequences read the records ahead in large reads (about 1 MiB at a
    // time) instead of one by one. Readers still see only whole, current records: what was read
    // ahead is dropped when another writer commits.
    void setQuickScan(bool on);
    bool quickScan() const;

    std::uint32_t records();               // live records, 0 when not open
    // The data file's change counter as it is on disk now: it moves at every commit of any handle,
    // in this process or another, so a reader can tell cheaply whether what it read is still what
    // the file holds. 0 when not open.
    std::uint64_t changeCount();
    Position position() const;             // of the last record read, added or written

    // Transactions: the write lock is held from begin to commit or rollback.
    int begin(int timeoutMs = 2000);
    int commit();
    int rollback();
    bool inTransaction() const;
    // Commits the transactions of several files of one directory as one: either all of them
    // take effect or none does, also across a crash or a failed write (a full disk). On failure
    // every transaction is rolled back, the error is returned and `failed` names the file whose
    // step failed (its lastError and errorDetail say why).
    static int commitAll(const std::vector<File*>& files, File** failed = nullptr);

    int lastError() const;
    std::string errorDetail() const;       // key name, OS message, what is damaged
    std::string errorMessage() const;      // errorText(lastError()) plus the detail

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

}  // namespace vx::store
