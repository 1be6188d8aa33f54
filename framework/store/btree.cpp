#include "framework/store/btree.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vx::store {

void fail(int code, std::string detail) { throw Fail{code, std::move(detail)}; }
void failErrno(const std::string& what) {
    int e = errno;
    fail(FileSystemError, what + ": " + std::strerror(e));
}

std::size_t preadFull(int fd, void* buf, std::size_t n, std::uint64_t off) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(off + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            failErrno("read");
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

void pwriteFull(int fd, const void* buf, std::size_t n, std::uint64_t off) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pwrite(fd, static_cast<const char*>(buf) + done, n - done, static_cast<off_t>(off + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            failErrno("write");
        }
        done += static_cast<std::size_t>(r);
    }
}

namespace {
using fmt::kPage;
constexpr std::uint32_t H = fmt::kNodeHeader;

std::uint32_t rd32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void wr32(unsigned char* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
std::uint32_t type(const Page& p) { return p.b[4]; }
int count(const Page& p) { return p.b[6] | p.b[7] << 8; }
void setCount(Page& p, int c) {
    p.b[6] = static_cast<unsigned char>(c);
    p.b[7] = static_cast<unsigned char>(c >> 8);
}
std::uint32_t link1(const Page& p) { return rd32(p.b + 8); }  // next leaf / first child
std::uint32_t link2(const Page& p) { return rd32(p.b + 12); }  // previous leaf
}  // namespace

void KeyTree::putPos(unsigned char* p, std::uint32_t pos) {
    p[0] = static_cast<unsigned char>(pos >> 24);
    p[1] = static_cast<unsigned char>(pos >> 16);
    p[2] = static_cast<unsigned char>(pos >> 8);
    p[3] = static_cast<unsigned char>(pos);
}
std::uint32_t KeyTree::getPos(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

KeyTree::KeyTree(const KeyDesc& key, std::uint32_t recordSize)
    : key_(&key), codec_(key), E_(codec_.keyLen() + 4), sig_(codec_.signature(recordSize)) {}

void KeyTree::sealPage(Page& p) { wr32(p.b, fmt::crc32(p.b + 4, kPage - 4)); }

std::string KeyTree::checkHeader(const fmt::KeyHeader& kh, std::uint64_t fileSize) const {
    if (std::memcmp(kh.magic, fmt::kKeyMagic, 8) != 0) return "not a key file";
    if (kh.crc != fmt::crc32(&kh, offsetof(fmt::KeyHeader, crc))) return "key file header damaged";
    if (kh.version != fmt::kVersion || kh.pageSize != kPage) return "key file of another format version";
    if (kh.keySig != sig_ || kh.entryLen != E_) return "key file of another key declaration";
    if (kh.dirty) return "key file was being changed when its writer stopped";
    if (kh.pageCount < 2 || kh.root == 0 || kh.root >= kh.pageCount || kh.height > 40) return "key file header damaged";
    if (std::uint64_t(kh.pageCount) * kPage > fileSize) return "key file truncated";
    return {};
}

fmt::KeyHeader KeyTree::emptyHeader(std::uint64_t counter, std::uint64_t keyGen) const {
    fmt::KeyHeader kh{};
    std::memcpy(kh.magic, fmt::kKeyMagic, 8);
    kh.version = fmt::kVersion;
    kh.pageSize = kPage;
    kh.keySig = sig_;
    kh.entryLen = E_;
    kh.root = 1;
    kh.pageCount = 2;
    kh.height = 1;
    kh.counter = counter;
    kh.keyGen = keyGen;
    return kh;
}

const Page& KeyTree::load(std::uint32_t no) {
    if (no == 0 || no >= h.pageCount) fail(KeyFileRebuild, "key page reference out of range");
    auto it = cache_.find(no);
    if (it != cache_.end()) return *it->second;
    auto p = std::make_unique<Page>();
    if (preadFull(fd, p->b, kPage, std::uint64_t(no) * kPage) != kPage) fail(KeyFileRebuild, "key file truncated");
    if (rd32(p->b) != fmt::crc32(p->b + 4, kPage - 4)) fail(KeyFileRebuild, "key page checksum wrong");
    std::uint32_t t = type(*p);
    if ((t != fmt::kLeaf && t != fmt::kInner) || std::uint32_t(count(*p)) > (t == fmt::kLeaf ? leafCap() : innerCap()))
        fail(KeyFileRebuild, "key page damaged");
    return *cache_.emplace(no, std::move(p)).first->second;
}

void KeyTree::checkAll() {
    std::vector<unsigned char> buf;
    const std::uint32_t chunk = 256;
    for (std::uint32_t first = 1; first < h.pageCount; first += chunk) {
        std::uint32_t n = std::min(chunk, h.pageCount - first);
        buf.resize(std::size_t(n) * kPage);
        if (preadFull(fd, buf.data(), buf.size(), std::uint64_t(first) * kPage) != buf.size()) fail(KeyFileRebuild, "key file truncated");
        for (std::uint32_t i = 0; i < n; ++i) {
            const unsigned char* b = buf.data() + std::size_t(i) * kPage;
            Page p;
            std::memcpy(p.b, b, kPage);
            if (rd32(p.b) != fmt::crc32(p.b + 4, kPage - 4)) fail(KeyFileRebuild, "key page " + std::to_string(first + i) + " damaged");
            std::uint32_t t = type(p);
            if ((t != fmt::kLeaf && t != fmt::kInner) || std::uint32_t(count(p)) > (t == fmt::kLeaf ? leafCap() : innerCap()))
                fail(KeyFileRebuild, "key page " + std::to_string(first + i) + " damaged");
        }
    }
}

Page& KeyTree::modify(std::uint32_t no) {
    Page& p = const_cast<Page&>(load(no));
    if (dirty_.insert(no).second && no < orig.pageCount) originals_.emplace(no, std::make_unique<Page>(p));
    return p;
}

std::uint32_t KeyTree::alloc(std::uint32_t t) {
    std::uint32_t no = h.pageCount++;
    auto p = std::make_unique<Page>();
    std::memset(p->b, 0, kPage);
    p->b[4] = static_cast<unsigned char>(t);
    cache_[no] = std::move(p);
    dirty_.insert(no);
    return no;
}

int KeyTree::lowerBound(const Page& p, const unsigned char* x) const {
    int lo = 0, hi = count(p);
    while (lo < hi) {
        int m = (lo + hi) / 2;
        if (std::memcmp(p.b + H + std::size_t(m) * E_, x, E_) < 0) lo = m + 1;
        else hi = m;
    }
    return lo;
}
int KeyTree::upperBound(const Page& p, const unsigned char* x) const {
    int lo = 0, hi = count(p);
    while (lo < hi) {
        int m = (lo + hi) / 2;
        if (std::memcmp(p.b + H + std::size_t(m) * E_, x, E_) <= 0) lo = m + 1;
        else hi = m;
    }
    return lo;
}

// Leaf where x belongs; path gets (inner page, child index) from the root down.
std::uint32_t KeyTree::descend(const unsigned char* x, std::vector<std::pair<std::uint32_t, int>>* path) {
    std::uint32_t no = h.root;
    for (int depth = 0;; ++depth) {
        if (depth > 40) fail(KeyFileRebuild, "key tree too deep");
        const Page& p = load(no);
        if (type(p) == fmt::kLeaf) return no;
        const std::size_t step = E_ + 4;
        int lo = 0, hi = count(p);
        while (lo < hi) {  // separators <= x
            int m = (lo + hi) / 2;
            if (std::memcmp(p.b + H + std::size_t(m) * step, x, E_) <= 0) lo = m + 1;
            else hi = m;
        }
        std::uint32_t child = lo == 0 ? link1(p) : rd32(p.b + H + std::size_t(lo - 1) * step + E_);
        if (path) path->emplace_back(no, lo);
        no = child;
    }
}

bool KeyTree::firstAtLeast(const unsigned char* x, bool strict, unsigned char* out) {
    std::uint32_t no = descend(x, nullptr);
    const Page* p = &load(no);
    int i = strict ? upperBound(*p, x) : lowerBound(*p, x);
    for (std::uint32_t guard = 0; i >= count(*p); ++guard) {
        std::uint32_t nx = link1(*p);
        if (nx == 0) return false;
        if (guard > h.pageCount) fail(KeyFileRebuild, "key leaf chain loops");
        p = &load(nx);
        if (type(*p) != fmt::kLeaf) fail(KeyFileRebuild, "key leaf chain damaged");
        i = 0;
    }
    std::memcpy(out, p->b + H + std::size_t(i) * E_, E_);
    return true;
}

bool KeyTree::lastBelow(const unsigned char* x, unsigned char* out) {
    std::uint32_t no = descend(x, nullptr);
    const Page* p = &load(no);
    int i = lowerBound(*p, x) - 1;
    for (std::uint32_t guard = 0; i < 0; ++guard) {
        std::uint32_t pv = link2(*p);
        if (pv == 0) return false;
        if (guard > h.pageCount) fail(KeyFileRebuild, "key leaf chain loops");
        p = &load(pv);
        if (type(*p) != fmt::kLeaf) fail(KeyFileRebuild, "key leaf chain damaged");
        i = count(*p) - 1;
    }
    std::memcpy(out, p->b + H + std::size_t(i) * E_, E_);
    return true;
}

bool KeyTree::lastEntry(unsigned char* out) {
    std::vector<unsigned char> top(E_, 0xFF);
    return lastBelow(top.data(), out);
}

bool KeyTree::findKey(const unsigned char* key, unsigned char* out) {
    std::vector<unsigned char> x(E_, 0);
    std::memcpy(x.data(), key, keyLen());
    return firstAtLeast(x.data(), false, out) && std::memcmp(out, key, keyLen()) == 0;
}

bool KeyTree::hasKey(const unsigned char* key, std::uint32_t except) {
    std::vector<unsigned char> x(E_, 0), e(E_);
    std::memcpy(x.data(), key, keyLen());
    bool strict = false;
    for (int i = 0; i < 2; ++i) {  // at most one entry can be `except`
        if (!firstAtLeast(x.data(), strict, e.data()) || std::memcmp(e.data(), key, keyLen()) != 0) return false;
        if (posOf(e.data()) != except) return true;
        x = e;
        strict = true;
    }
    return false;
}

void KeyTree::insert(const unsigned char* entry) {
    std::vector<std::pair<std::uint32_t, int>> path;
    std::uint32_t no = descend(entry, &path);
    Page* leaf = &modify(no);
    int c = count(*leaf);
    int i = lowerBound(*leaf, entry);
    if (i < c && std::memcmp(leaf->b + H + std::size_t(i) * E_, entry, E_) == 0) return;  // already there
    ++h.entries;
    if (std::uint32_t(c) < leafCap()) {
        unsigned char* at = leaf->b + H + std::size_t(i) * E_;
        std::memmove(at + E_, at, std::size_t(c - i) * E_);
        std::memcpy(at, entry, E_);
        setCount(*leaf, c + 1);
        return;
    }
    // Split. An entry appended at the right end of the tree leaves the left page full, so keys
    // added in order (auto-numbers, BUILD then inserts) pack their pages.
    std::vector<unsigned char> all(std::size_t(c + 1) * E_);
    std::memcpy(all.data(), leaf->b + H, std::size_t(i) * E_);
    std::memcpy(all.data() + std::size_t(i) * E_, entry, E_);
    std::memcpy(all.data() + std::size_t(i + 1) * E_, leaf->b + H + std::size_t(i) * E_, std::size_t(c - i) * E_);
    int split = (i == c && link1(*leaf) == 0) ? c : (c + 1) / 2;
    std::uint32_t rno = alloc(fmt::kLeaf);
    Page& right = cached(rno);
    leaf = &cached(no);
    std::memcpy(leaf->b + H, all.data(), std::size_t(split) * E_);
    setCount(*leaf, split);
    std::memcpy(right.b + H, all.data() + std::size_t(split) * E_, std::size_t(c + 1 - split) * E_);
    setCount(right, c + 1 - split);
    std::uint32_t nx = link1(*leaf);
    wr32(right.b + 8, nx);
    wr32(right.b + 12, no);
    wr32(leaf->b + 8, rno);
    if (nx) {
        Page& n = modify(nx);
        if (type(n) != fmt::kLeaf) fail(KeyFileRebuild, "key leaf chain damaged");
        wr32(n.b + 12, rno);
    }
    insertInner(path, std::vector<unsigned char>(right.b + H, right.b + H + E_), rno);
}

void KeyTree::insertInner(std::vector<std::pair<std::uint32_t, int>>& path, std::vector<unsigned char> sep,
                          std::uint32_t right) {
    const std::size_t step = E_ + 4;
    while (!path.empty()) {
        auto [no, idx] = path.back();
        path.pop_back();
        Page* p = &modify(no);
        int c = count(*p);
        if (std::uint32_t(c) < innerCap()) {
            unsigned char* at = p->b + H + std::size_t(idx) * step;
            std::memmove(at + step, at, std::size_t(c - idx) * step);
            std::memcpy(at, sep.data(), E_);
            wr32(at + E_, right);
            setCount(*p, c + 1);
            return;
        }
        std::vector<unsigned char> all(std::size_t(c + 1) * step);
        std::memcpy(all.data(), p->b + H, std::size_t(idx) * step);
        std::memcpy(all.data() + std::size_t(idx) * step, sep.data(), E_);
        wr32(all.data() + std::size_t(idx) * step + E_, right);
        std::memcpy(all.data() + std::size_t(idx + 1) * step, p->b + H + std::size_t(idx) * step, std::size_t(c - idx) * step);
        // Pair m moves up: its separator goes to the parent, its child becomes the new page's first.
        int m = idx == c ? c - 1 : (c + 1) / 2;
        std::uint32_t rno = alloc(fmt::kInner);
        Page& r = cached(rno);
        p = &cached(no);
        std::memcpy(p->b + H, all.data(), std::size_t(m) * step);
        setCount(*p, m);
        wr32(r.b + 8, rd32(all.data() + std::size_t(m) * step + E_));
        std::memcpy(r.b + H, all.data() + std::size_t(m + 1) * step, std::size_t(c - m) * step);
        setCount(r, c - m);
        sep.assign(all.data() + std::size_t(m) * step, all.data() + std::size_t(m) * step + E_);
        right = rno;
    }
    std::uint32_t old = h.root;
    std::uint32_t rootNo = alloc(fmt::kInner);
    Page& root = cached(rootNo);
    wr32(root.b + 8, old);
    std::memcpy(root.b + H, sep.data(), E_);
    wr32(root.b + H + E_, right);
    setCount(root, 1);
    h.root = rootNo;
    ++h.height;
}

void KeyTree::erase(const unsigned char* entry) {
    std::uint32_t no = descend(entry, nullptr);
    const Page& p = load(no);
    int i = lowerBound(p, entry);
    int c = count(p);
    if (i >= c || std::memcmp(p.b + H + std::size_t(i) * E_, entry, E_) != 0)
        fail(KeyFileRebuild, "key entry missing for record " + std::to_string(posOf(entry)));
    Page& w = modify(no);
    unsigned char* at = w.b + H + std::size_t(i) * E_;
    std::memmove(at, at + E_, std::size_t(c - i - 1) * E_);
    setCount(w, c - 1);
    --h.entries;
}

std::vector<unsigned char> KeyTree::bulkImage(const std::vector<const unsigned char*>& sorted, std::uint64_t counter,
                                              std::uint64_t keyGen) {
    const std::size_t n = sorted.size();
    const std::size_t lc = leafCap(), ic = innerCap(), step = E_ + 4;
    std::size_t leaves = n == 0 ? 1 : (n + lc - 1) / lc;
    std::vector<unsigned char> img(kPage * (1 + leaves));
    struct Node {
        std::uint32_t page;
        const unsigned char* first;
    };
    std::vector<Node> level;
    for (std::size_t l = 0; l < leaves; ++l) {
        unsigned char* b = img.data() + kPage * (1 + l);
        std::size_t from = l * lc, cnt = std::min(lc, n - std::min(n, from));
        b[4] = fmt::kLeaf;
        b[6] = static_cast<unsigned char>(cnt);
        b[7] = static_cast<unsigned char>(cnt >> 8);
        wr32(b + 8, l + 1 < leaves ? std::uint32_t(l + 2) : 0);
        wr32(b + 12, l > 0 ? std::uint32_t(l) : 0);
        for (std::size_t i = 0; i < cnt; ++i) std::memcpy(b + H + i * E_, sorted[from + i], E_);
        level.push_back({std::uint32_t(l + 1), cnt ? sorted[from] : nullptr});
    }
    std::uint32_t height = 1;
    while (level.size() > 1) {
        std::vector<Node> up;
        for (std::size_t at = 0; at < level.size(); at += ic + 1) {
            std::size_t kids = std::min(ic + 1, level.size() - at);
            auto no = std::uint32_t(img.size() / kPage);
            img.resize(img.size() + kPage);
            unsigned char* b = img.data() + std::size_t(no) * kPage;
            b[4] = fmt::kInner;
            b[6] = static_cast<unsigned char>(kids - 1);
            b[7] = static_cast<unsigned char>((kids - 1) >> 8);
            wr32(b + 8, level[at].page);
            for (std::size_t k = 1; k < kids; ++k) {
                std::memcpy(b + H + (k - 1) * step, level[at + k].first, E_);
                wr32(b + H + (k - 1) * step + E_, level[at + k].page);
            }
            up.push_back({no, level[at].first});
        }
        level.swap(up);
        ++height;
    }
    for (std::size_t no = 1; no < img.size() / kPage; ++no) sealPage(*reinterpret_cast<Page*>(img.data() + no * kPage));
    fmt::KeyHeader kh = emptyHeader(counter, keyGen);
    kh.root = level.front().page;
    kh.pageCount = std::uint32_t(img.size() / kPage);
    kh.entries = std::uint32_t(n);
    kh.height = height;
    kh.crc = fmt::crc32(&kh, offsetof(fmt::KeyHeader, crc));
    std::memcpy(img.data(), &kh, sizeof kh);
    return img;
}

}  // namespace vx::store
