#include "registry/nr_file.h"

#include <concepts>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace zov::reg::detail {

// --- bytes ---------------------------------------------------------------------------

void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

namespace {

// Each record's layout in the file, stated once for writing and reading: its fields in file
// order, each as wide as its type, with nothing between them.
template <typename H, typename Fields>
requires std::same_as<std::remove_const_t<H>, Header>
void layout(H& h, Fields fields) {
    fields(h.magic)(h.major)(h.minor)(h.avail)(h.root);
}

template <typename D, typename Fields>
requires std::same_as<std::remove_const_t<D>, Descriptor>
void layout(D& d, Fields fields) {
    fields(d.location)(d.name)(d.nameLength)(d.type)(d.left)(d.down)(d.value)(d.valueLength)(d.parent);
}

class Encode {
  public:
    explicit Encode(unsigned char* out) : at_(out) {}
    Encode& operator()(std::uint16_t v) {
        put16(at_, v);
        at_ += 2;
        return *this;
    }
    Encode& operator()(std::uint32_t v) {
        put32(at_, v);
        at_ += 4;
        return *this;
    }

  private:
    unsigned char* at_;
};

class Decode {
  public:
    explicit Decode(const unsigned char* in) : at_(in) {}
    Decode& operator()(std::uint16_t& v) {
        v = get16(at_);
        at_ += 2;
        return *this;
    }
    Decode& operator()(std::uint32_t& v) {
        v = get32(at_);
        at_ += 4;
        return *this;
    }

  private:
    const unsigned char* at_;
};

template <typename Record> void encode(const Record& record, unsigned char* out) {
    layout(record, Encode{out});
}

template <typename Record> Record decode(const unsigned char* in) {
    Record record;
    layout(record, Decode{in});
    return record;
}

} // namespace

// --- text ----------------------------------------------------------------------------

namespace {

unsigned char lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

} // namespace

bool equalNoCase(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (; *x != 0 && *y != 0; ++x, ++y) {
        if (lower(*x) != lower(*y))
            return false;
    }
    return *x == *y;
}

bool validUtf8(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        unsigned char c = *p;
        int follow = 0;
        unsigned char min = 0x80, max = 0xBF; // bounds of the first continuation byte
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            if (c == 0xE0)
                min = 0xA0; // no overlong forms
            if (c == 0xED)
                max = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            if (c == 0xF0)
                min = 0x90;
            if (c == 0xF4)
                max = 0x8F; // nothing above U+10FFFF
        } else {
            return false;
        }
        ++p;
        for (int i = 0; i < follow; ++i, ++p) {
            unsigned char lo = i == 0 ? min : 0x80, hi = i == 0 ? max : 0xBF;
            if (*p < lo || *p > hi)
                return false;
        }
    }
    return true;
}

REGERR checkNewName(const char* name) {
    if (!validUtf8(name))
        return kBadUtf8;
    std::size_t length = std::strlen(name);
    if (length == 0)
        return kBadParameter;
    if (length + 1 >= kMaxName)
        return kTooLong;
    for (const char* p = name; *p != 0; ++p) {
        if (static_cast<unsigned char>(*p) < 32)
            return kBadName;
    }
    return kOk;
}

std::uint32_t boundedLength(const char* text, std::uint32_t size) {
    std::uint32_t n = 0;
    while (n < size && text[n] != 0)
        ++n;
    return n;
}

// --- file ----------------------------------------------------------------------------

REGERR readBytes(RegFile& f, std::uint32_t offset, void* data, std::uint32_t size) {
    if (size == 0)
        return kOk;
    long got = fileOps().readAt(f.io, offset, data, size);
    if (got < 0)
        return kFail;
    return static_cast<std::uint32_t>(got) < size ? kShortRead : kOk;
}

REGERR writeBytes(RegFile& f, std::uint32_t offset, const void* data, std::uint32_t size) {
    if (f.readOnly)
        return kReadOnly;
    if (size == 0)
        return kOk;
    if (!fileOps().writeAt(f.io, offset, data, size))
        return kFail;
    if (offset + size > f.length)
        f.length = offset + size;
    return kOk;
}

REGERR readHeader(RegFile& f) {
    unsigned char bytes[kHeaderSize];
    REGERR err = readBytes(f, 0, bytes, kHeaderSize);
    if (err != kOk)
        return err;
    Header h = decode<Header>(bytes);
    if (h.magic != kMagic)
        return kBadMagic;
    if (h.major > kMajorVersion)
        return kBadVersion;
    std::uint32_t length = 0;
    if (!fileOps().length(f.io, &length))
        return kFail;
    f.length = length;
    // Space is taken at the real end of the file: an avail that points past it would leave
    // a gap, one that points inside it would overwrite what another writer appended.
    std::uint32_t end = length < kReserved ? kReserved : length;
    if (!f.readOnly && h.avail != end) {
        h.avail = end;
        f.dirty = true;
    }
    f.header = h;
    return kOk;
}

REGERR writeHeader(RegFile& f) {
    unsigned char bytes[kHeaderSize];
    encode(f.header, bytes);
    REGERR err = writeBytes(f, 0, bytes, kHeaderSize);
    if (err == kOk)
        f.dirty = false;
    return err;
}

REGERR readDescriptor(RegFile& f, std::uint32_t offset, Descriptor& d) {
    if (offset < kReserved)
        return kBadLocation;
    unsigned char bytes[kDescriptorSize];
    REGERR err = readBytes(f, offset, bytes, kDescriptorSize);
    if (err != kOk)
        return err;
    d = decode<Descriptor>(bytes);
    if (d.location != offset)
        return kBadLocation;
    if (d.type & kTypeDeleted)
        return kDeleted;
    return kOk;
}

REGERR writeDescriptor(RegFile& f, const Descriptor& d) {
    unsigned char bytes[kDescriptorSize];
    encode(d, bytes);
    return writeBytes(f, d.location, bytes, kDescriptorSize);
}

REGERR readName(RegFile& f, const Descriptor& d, char* buffer, std::uint32_t size) {
    if (size == 0)
        return kBufferTooSmall;
    if (d.nameLength > size)
        return kBufferTooSmall;
    buffer[0] = '\0';
    if (d.nameLength == 0)
        return kOk;
    REGERR err = readBytes(f, d.name, buffer, d.nameLength);
    if (err != kOk) {
        buffer[0] = '\0';
        return err;
    }
    buffer[d.nameLength - 1] = '\0';
    return kOk;
}

REGERR append(RegFile& f, const void* data, std::uint32_t size, std::uint32_t* offset) {
    if (f.readOnly)
        return kReadOnly;
    std::uint32_t at = f.header.avail;
    if (size > 0x7FFFFFFFu - at)
        return kFail; // the file cannot grow past what every offset can reach
    REGERR err = writeBytes(f, at, data, size);
    if (err != kOk)
        return err;
    f.header.avail = at + size;
    f.dirty = true;
    err = writeHeader(f);
    if (err != kOk)
        return err;
    if (offset != nullptr)
        *offset = at;
    return kOk;
}

REGERR appendDescriptor(RegFile& f, Descriptor& d) {
    d.location = f.header.avail;
    unsigned char bytes[kDescriptorSize];
    encode(d, bytes);
    return append(f, bytes, kDescriptorSize, nullptr);
}

// --- keys and entries ----------------------------------------------------------------

REGERR translateKey(const RegFile& f, RKEY key, std::uint32_t& offset) {
    switch (key) {
    case kKeyUsers:
        offset = f.users;
        break;
    case kKeyCommon:
        offset = f.common;
        break;
    case kKeyPrivateArenas:
        offset = f.privateArenas;
        break;
    case kKeyRoot:
        offset = f.root;
        break;
    case kKeyVersions:
        offset = f.versions;
        break;
    default:
        if (key < kReserved)
            return kBadParameter;
        offset = key;
        return kOk;
    }
    return offset == 0 ? kNotFound : kOk;
}

namespace {

// Walks the chain that starts at `first` (a key's first child or first entry, linked from
// `holder`) until `match` accepts a node; `previous` is then the node before it (location 0
// when it is the first). 3 when no node matches.
template <typename Match>
REGERR walkChain(RegFile& f, std::uint32_t holder, std::uint32_t first, Match match, Descriptor& found,
                 Descriptor& previous) {
    previous = Descriptor{};
    std::uint32_t at = first;
    if (at != 0 && !newerLink(holder, at))
        return kFail;
    while (at != 0) {
        Descriptor d;
        REGERR err = readDescriptor(f, at, d);
        if (err != kOk)
            return err;
        bool matched = false;
        if ((err = match(d, matched)) != kOk)
            return err;
        if (matched) {
            found = d;
            return kOk;
        }
        if (d.left != 0 && !olderLink(at, d.left))
            return kFail;
        previous = d;
        at = d.left;
    }
    return kNotFound;
}

REGERR findNamed(RegFile& f, std::uint32_t holder, std::uint32_t first, const char* name, Descriptor& found) {
    char text[kMaxName];
    Descriptor previous;
    auto named = [&](const Descriptor& d, bool& matched) {
        REGERR err = readName(f, d, text, sizeof text);
        matched = err == kOk && equalNoCase(text, name);
        return err;
    };
    return walkChain(f, holder, first, named, found, previous);
}

} // namespace

REGERR findChild(RegFile& f, const Descriptor& parent, const char* name, Descriptor& child) {
    return findNamed(f, parent.location, parent.firstChild(), name, child);
}

REGERR findEntry(RegFile& f, const Descriptor& key, const char* name, Descriptor& entry) {
    return findNamed(f, key.location, key.firstEntry(), name, entry);
}

REGERR findOrCreateChild(RegFile& f, Descriptor& parent, const char* name, Descriptor& child) {
    REGERR err = findChild(f, parent, name, child);
    return err == kNotFound ? createKey(f, parent, name, child) : err;
}

REGERR nextSegment(PathCursor& cursor, char (&segment)[kMaxName + 1]) {
    const char* p = cursor.at;
    if (!cursor.started) {
        cursor.started = true;
        if (*p == '/')
            ++p;
    }
    if (*p == '\0') {
        cursor.at = p;
        return kNoMore;
    }
    if (*p == '/' || *p == ' ')
        return kBadName;
    std::uint32_t n = 0;
    while (*p != '\0' && *p != '/') {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32)
            return kBadName;
        if (n >= kMaxName)
            return kTooLong;
        segment[n++] = static_cast<char>(c);
        ++p;
    }
    segment[n] = '\0';
    if (segment[n - 1] == ' ')
        return kBadName;
    if (*p == '/')
        ++p;
    cursor.at = p;
    return kOk;
}

REGERR walkPath(RegFile& f, const Descriptor& start, const char* path, bool create, Descriptor& found) {
    Descriptor current = start;
    PathCursor cursor{path};
    char segment[kMaxName + 1];
    for (;;) {
        REGERR err = nextSegment(cursor, segment);
        if (err == kNoMore)
            break;
        if (err != kOk)
            return err;
        Descriptor child;
        err = create ? findOrCreateChild(f, current, segment, child) : findChild(f, current, segment, child);
        if (err != kOk)
            return err;
        current = child;
    }
    found = current;
    return kOk;
}

namespace {

// A new node at the head of its chain below `holder`: a key among its children, or an entry
// with its value among its entries. Name, value and descriptor are complete in the file before
// the holder links to them.
REGERR createNode(RegFile& f, Descriptor& holder, const char* name, std::uint16_t type, const void* value,
                  std::uint32_t size, Descriptor& created) {
    REGERR err = checkNewName(name);
    if (err != kOk)
        return err;
    if (f.readOnly)
        return kReadOnly;
    Descriptor d;
    d.type = type;
    const std::uint32_t length = static_cast<std::uint32_t>(std::strlen(name)) + 1;
    d.nameLength = static_cast<std::uint16_t>(length);
    if ((err = append(f, name, length, &d.name)) != kOk)
        return err;
    if (!d.isKey()) {
        if ((err = append(f, value, size, &d.value)) != kOk)
            return err;
        d.down = d.valueLength = size;
    }
    d.left = d.isKey() ? holder.firstChild() : holder.firstEntry();
    d.parent = holder.location;
    if ((err = appendDescriptor(f, d)) != kOk)
        return err;
    Descriptor linked = holder;
    (d.isKey() ? linked.down : linked.value) = d.location;
    if ((err = writeDescriptor(f, linked)) != kOk)
        return err;
    holder = linked;
    created = d;
    return kOk;
}

} // namespace

REGERR createKey(RegFile& f, Descriptor& parent, const char* name, Descriptor& created) {
    return createNode(f, parent, name, kTypeKey, nullptr, 0, created);
}

namespace {

// A value may be overwritten in place only where its space lies wholly inside the used
// part of the file: a damaged capacity or offset must not aim a write at the header or
// past the end.
bool fitsInPlace(const RegFile& f, const Descriptor& e, std::uint32_t size) {
    if (e.capacity() < size || e.value < kReserved)
        return false;
    return e.value <= f.length && e.capacity() <= f.length - e.value;
}

} // namespace

REGERR storeEntry(RegFile& f, Descriptor& key, const char* name, std::uint16_t type, const void* data,
                  std::uint32_t size) {
    if (size == 0)
        return kBadParameter;
    if (size > kMaxValue)
        return kTooLong;
    if (f.readOnly)
        return kReadOnly;
    Descriptor entry;
    REGERR err = findEntry(f, key, name, entry);
    if (err == kOk) {
        if (fitsInPlace(f, entry, size)) {
            err = writeBytes(f, entry.value, data, size);
            if (err != kOk)
                return err;
        } else {
            std::uint32_t at = 0;
            err = append(f, data, size, &at);
            if (err != kOk)
                return err;
            entry.value = at;
            entry.down = size;
        }
        entry.valueLength = size;
        entry.type = type;
        return writeDescriptor(f, entry);
    }
    if (err != kNotFound)
        return err;
    return createNode(f, key, name, type, data, size, entry);
}

REGERR unlinkNode(RegFile& f, const Descriptor& node, bool isEntry) {
    if (f.readOnly)
        return kReadOnly;
    if (node.parent == 0 || !olderLink(node.location, node.parent))
        return kFail;
    if (node.left != 0 && !olderLink(node.location, node.left))
        return kFail;
    Descriptor parent;
    REGERR err = readDescriptor(f, node.parent, parent);
    if (err != kOk)
        return err;
    // Find the node in its chain: the link to rewrite is the one that reaches it.
    Descriptor found, before;
    auto itself = [&node](const Descriptor& d, bool& matched) {
        matched = d.location == node.location;
        return kOk;
    };
    err = walkChain(f, parent.location, isEntry ? parent.firstEntry() : parent.firstChild(), itself, found,
                    before);
    if (err == kNotFound)
        return kFail; // not in its parent's chain: damaged
    if (err != kOk)
        return err;
    if (before.location == 0) {
        if (isEntry)
            parent.value = node.left;
        else
            parent.down = node.left;
        err = writeDescriptor(f, parent);
    } else {
        before.left = node.left;
        err = writeDescriptor(f, before);
    }
    if (err != kOk)
        return err;
    Descriptor gone = node;
    gone.type = static_cast<std::uint16_t>(gone.type | kTypeDeleted);
    return writeDescriptor(f, gone);
}

} // namespace zov::reg::detail
