#pragma once
// On-disk structures of the keyed file driver (little-endian host layout) and the key encoding.
// Internal to framework/store; tests and the fuzz target include it to build damaged files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/store/store.h"

namespace vx::store::fmt {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the file format is written in host order");

constexpr std::uint32_t kPage = 4096;
constexpr std::uint32_t kVersion = 1;

// Data file: page 0 holds the header, then slot n (1-based) at kPage + (n-1)*slotSize:
// SlotPrefix followed by the record bytes (text in 866 for OEM files).
struct DataHeader {
    char magic[8];
    std::uint32_t version;
    std::uint32_t headerSize;
    std::uint32_t recordSize;
    std::uint32_t fieldSig;      // crc of the field table (types, offsets, sizes, places)
    std::uint32_t flags;         // bit 0: OEM text; bit 1: live slots carry their record's checksum
    std::uint32_t keyCount;
    std::uint32_t slotCount;     // slots in use or free (high-water mark)
    std::uint32_t recordCount;   // live records
    std::uint32_t freeHead;      // first free slot, 0 = none
    std::uint32_t pad;
    std::uint64_t counter;       // change counter: even when idle, odd while a commit writes in place
    std::uint64_t keyGen;        // bumped by every BUILD (key files replaced)
    std::uint32_t crc;
    std::uint32_t pad2;
};
constexpr char kDataMagic[8] = {'V', 'X', 'D', 'A', 'T', 'A', '\r', '\n'};

struct SlotPrefix {
    std::uint32_t state;
    std::uint32_t next;          // free slots: the next free slot; live slots: crc32 of the record bytes
};
constexpr std::uint32_t kSlotChecksums = 2;  // DataHeader::flags: every live slot's checksum is checked on reading
constexpr std::uint32_t kLive = 0x4556494C;  // "LIVE"
constexpr std::uint32_t kFree = 0x45455246;  // "FREE"

// Key file: page 0 holds the header; pages 1.. are B+tree nodes:
//   [0] crc of bytes 4..4095  [4] type  [6] entry count  [8] next leaf / first child  [12] previous leaf
//   [16] leaf: entries; inner: (separator entry, child after it) pairs.
// An entry is the encoded key (memcmp order) followed by the record position, big-endian.
struct KeyHeader {
    char magic[8];
    std::uint32_t version;
    std::uint32_t pageSize;
    std::uint32_t keySig;
    std::uint32_t entryLen;
    std::uint32_t root;
    std::uint32_t pageCount;
    std::uint32_t entries;
    std::uint32_t dirty;         // 1 while a commit writes the pages in place
    std::uint32_t height;
    std::uint32_t pad;
    std::uint64_t counter;       // the data file's change counter this key file matches
    std::uint64_t keyGen;
    std::uint32_t crc;
    std::uint32_t pad2;
};
constexpr char kKeyMagic[8] = {'V', 'X', 'K', 'E', 'Y', 'S', '\r', '\n'};
constexpr std::uint32_t kLeaf = 1;
constexpr std::uint32_t kInner = 2;
constexpr std::uint32_t kNodeHeader = 16;

// Journal: JournalHeader, [version 2: u32 length and the name of the group marker, "" for a
// commit of this file alone], fileCount original sizes (u64), crc (u32) over all before it, then entries
// [u32 file][u32 len][u64 offset][len original bytes][u32 crc of the 16-byte prefix and bytes],
// ended by file = 0xFFFFFFFF. File 0 is the data file, k the key file k.
struct JournalHeader {
    char magic[8];
    std::uint32_t version;
    std::uint32_t fileCount;
    std::uint64_t counter;
};
constexpr char kJournalMagic[8] = {'V', 'X', 'J', 'R', 'N', 'L', '\r', '\n'};
constexpr std::uint32_t kJournalVersion = 2;  // version 1 journals (no group name) are still read

// Group marker: the commit point of a commit over several files of one directory. Written (synced,
// renamed into place) once every file of the group has its journal and its new bytes in place with
// its change counter still odd; while it exists, recovery completes those files instead of undoing
// them. kGroupMagic, u32 count, per file: u16 name length, data file name (no directory), u64 the
// odd counter; u32 crc of all before it.
constexpr char kGroupMagic[8] = {'V', 'X', 'G', 'R', 'O', 'U', 'P', '1'};

std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t fieldSignature(const RecordDesc& rec);

// Encodes a record's key as bytes whose memcmp order is the key order.
class KeyCodec {
public:
    explicit KeyCodec(const KeyDesc& key);
    std::uint32_t keyLen() const { return keyLen_; }
    std::uint32_t signature(std::uint32_t recordSize) const;
    // Writes keyLen() bytes; returns false when every component is blank or zero (record left out).
    bool encode(const unsigned char* record, unsigned char* out) const;
    // Auto-number support: the value of the first component, and storing one (false: does not fit).
    long long number(const unsigned char* record) const;
    bool setNumber(unsigned char* record, long long value) const;

    struct Part {
        FieldType type;
        std::uint16_t offset, size;
        std::uint8_t places;
        bool ascending;
        std::uint32_t len;
    };
    const std::vector<Part>& parts() const { return parts_; }

private:
    std::vector<Part> parts_;
    std::uint32_t keyLen_ = 0;
    bool noCase_ = true;
    unsigned char weight_[256];             // sort weight of each byte of text
};

// Checks a file descriptor; empty when usable, else what is wrong.
std::string checkDesc(const FileDesc& desc);

}  // namespace vx::store::fmt
