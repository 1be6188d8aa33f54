#pragma once
// One key file: a B+tree of fixed-length entries in 4 KiB pages, with a per-handle page cache.
// Pages changed inside a transaction stay in the cache, marked dirty, until the commit writes them.
// Every fault found in a page (checksum, type, count, a reference out of range) is error 46.

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/store/format.h"

namespace vx::store {

struct Fail {
    int code;
    std::string detail;
};
[[noreturn]] void fail(int code, std::string detail = {});
[[noreturn]] void failErrno(const std::string& what);

std::size_t preadFull(int fd, void* buf, std::size_t n, std::uint64_t off);
void pwriteFull(int fd, const void* buf, std::size_t n, std::uint64_t off);

struct Page {
    unsigned char b[fmt::kPage];
};

class KeyTree {
public:
    KeyTree(const KeyDesc& key, std::uint32_t recordSize);

    const KeyDesc& desc() const { return *key_; }
    const fmt::KeyCodec& codec() const { return codec_; }
    std::uint32_t entryLen() const { return E_; }
    std::uint32_t keyLen() const { return codec_.keyLen(); }
    std::uint32_t signature() const { return sig_; }

    int fd = -1;
    fmt::KeyHeader h{};                         // the header as this handle sees it
    fmt::KeyHeader orig{};                      // at the start of the transaction

    void dropCache() { cache_.clear(); dirty_.clear(); originals_.clear(); }
    void trimCache() { if (dirty_.empty() && cache_.size() > 4096) cache_.clear(); }
    bool changed() const { return !dirty_.empty() || std::memcmp(&h, &orig, sizeof h) != 0; }
    const std::unordered_set<std::uint32_t>& dirtyPages() const { return dirty_; }
    Page& cached(std::uint32_t no) { return *cache_.at(no); }
    void markClean() { dirty_.clear(); originals_.clear(); }
    // Pages as they were before this transaction changed them (pages it added are not here).
    const std::map<std::uint32_t, std::unique_ptr<Page>>& originals() const { return originals_; }
    void sealPage(Page& p);                     // sets the checksum before writing

    // Validates a header read from disk; empty when sound.
    std::string checkHeader(const fmt::KeyHeader& kh, std::uint64_t fileSize) const;
    fmt::KeyHeader emptyHeader(std::uint64_t counter, std::uint64_t keyGen) const;

    // Searches. `x` is a full entry (key + position).
    bool firstAtLeast(const unsigned char* x, bool strict, unsigned char* out);
    bool lastBelow(const unsigned char* x, unsigned char* out);
    bool lastEntry(unsigned char* out);
    // Is there an entry with this key (keyLen bytes) at another position than `except`?
    bool hasKey(const unsigned char* key, std::uint32_t except);
    bool findKey(const unsigned char* key, unsigned char* out);

    void checkRoot() { load(h.root); }
    // Checks every page of the file (checksum, type, entry count): a damaged page is found at open,
    // not half-way through a list.
    void checkAll();
    void insert(const unsigned char* entry);
    void erase(const unsigned char* entry);

    // A whole key file for sorted entries (BUILD): header page, then full leaves, then inner levels.
    std::vector<unsigned char> bulkImage(const std::vector<const unsigned char*>& sorted, std::uint64_t counter,
                                         std::uint64_t keyGen);

    static void putPos(unsigned char* p, std::uint32_t pos);
    static std::uint32_t getPos(const unsigned char* p);
    std::uint32_t posOf(const unsigned char* entry) const { return getPos(entry + keyLen()); }

private:
    const Page& load(std::uint32_t no);
    Page& modify(std::uint32_t no);
    std::uint32_t alloc(std::uint32_t type);
    std::uint32_t descend(const unsigned char* x, std::vector<std::pair<std::uint32_t, int>>* path);
    int lowerBound(const Page& p, const unsigned char* x) const;
    int upperBound(const Page& p, const unsigned char* x) const;
    void insertInner(std::vector<std::pair<std::uint32_t, int>>& path, std::vector<unsigned char> sep, std::uint32_t right);

    std::uint32_t leafCap() const { return (fmt::kPage - fmt::kNodeHeader) / E_; }
    std::uint32_t innerCap() const { return (fmt::kPage - fmt::kNodeHeader) / (E_ + 4); }

    const KeyDesc* key_;
    fmt::KeyCodec codec_;
    std::uint32_t E_;
    std::uint32_t sig_;
    std::unordered_map<std::uint32_t, std::unique_ptr<Page>> cache_;
    std::unordered_set<std::uint32_t> dirty_;
    std::map<std::uint32_t, std::unique_ptr<Page>> originals_;
};

}  // namespace vx::store
