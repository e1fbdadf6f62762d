// The registry file format underneath the NR_ functions: header, node descriptors, names
// and values, each encoded little-endian byte by byte, and space taken only at the end.
//
// Damaged files are expected: every offset read from the file is checked before use, a
// descriptor must sit where it says it sits, and links must point the way the file grows
// (see linkAllowed), so that no walk can go round in a circle.
#pragma once

#include "registry/reg_io.h"
#include "registry/registry.h"

#include <cstdint>

namespace zov::reg::detail {

constexpr std::uint32_t kMagic = 0x76644441;
constexpr std::uint16_t kMajorVersion = 1;
constexpr std::uint16_t kMinorVersion = 2;
constexpr std::uint32_t kHeaderSize = 16;
constexpr std::uint32_t kReserved = 128; // nothing but the header below this offset
constexpr std::uint32_t kDescriptorSize = 32;
constexpr std::uint32_t kMaxName = 512; // bytes with the NUL
constexpr std::uint32_t kMaxValue = 32767;

struct Header {
    std::uint32_t magic = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t avail = 0;
    std::uint32_t root = 0;
};

struct Descriptor {
    std::uint32_t location = 0;
    std::uint32_t name = 0;
    std::uint16_t nameLength = 0; // with the NUL
    std::uint16_t type = 0;
    std::uint32_t left = 0;  // next sibling
    std::uint32_t down = 0;  // keys: first child; entries: capacity of the value space
    std::uint32_t value = 0; // keys: first entry; entries: offset of the value
    std::uint32_t valueLength = 0;
    std::uint32_t parent = 0;

    bool isKey() const { return (type & kTypeEntry) == 0; }
    std::uint32_t firstChild() const { return down; }
    std::uint32_t firstEntry() const { return value; }
    std::uint32_t capacity() const { return down; }
};

// One open file, shared by every handle on the same name.
struct RegFile {
    IoFile* io = nullptr;
    Header header;
    std::uint32_t length = 0; // the file's real length, as of the last header read
    int refCount = 0;
    bool dirty = false;
    bool readOnly = false;
    char* name = nullptr;
    std::uint32_t root = 0, users = 0, common = 0, versions = 0, privateArenas = 0;
    std::uint32_t currentUser = 0; // no key code reaches it in this build
    RegFile* next = nullptr;
    RegFile* prev = nullptr;
};

// --- bytes ---------------------------------------------------------------------------
void put16(unsigned char* p, std::uint16_t v);
void put32(unsigned char* p, std::uint32_t v);
std::uint16_t get16(const unsigned char* p);
std::uint32_t get32(const unsigned char* p);

// --- text ----------------------------------------------------------------------------
bool equalNoCase(const char* a, const char* b);
bool validUtf8(const char* text);
// The checks a new key or entry name must pass.
REGERR checkNewName(const char* name);
// strlen bounded by the buffer; `size` when there is no NUL in it.
std::uint32_t boundedLength(const char* text, std::uint32_t size);

// --- file ----------------------------------------------------------------------------
// Reads the header, checks it and takes the real length; space is then allocated at the
// end of the file whatever avail said (the repair an open makes, kept up on every call).
REGERR readHeader(RegFile& f);
REGERR writeHeader(RegFile& f);
// A descriptor at `offset`: 5 when it is not where it says, 14 (with `d` filled) when deleted.
REGERR readDescriptor(RegFile& f, std::uint32_t offset, Descriptor& d);
REGERR writeDescriptor(RegFile& f, const Descriptor& d);
// The node's name into a buffer of `size` bytes (11 when it does not fit), NUL-terminated.
REGERR readName(RegFile& f, const Descriptor& d, char* buffer, std::uint32_t size);
REGERR readBytes(RegFile& f, std::uint32_t offset, void* data, std::uint32_t size);
REGERR writeBytes(RegFile& f, std::uint32_t offset, const void* data, std::uint32_t size);
// Writes the bytes at avail, moves avail past them and rewrites the header.
REGERR append(RegFile& f, const void* data, std::uint32_t size, std::uint32_t* offset);
// Appends a descriptor, filling in its location.
REGERR appendDescriptor(RegFile& f, Descriptor& d);

// Links in a sound file always point the way the file grew: a sibling or a parent is
// older (lower), a first child or first entry newer (higher) than the node holding the
// link. A link that does not is damage; refusing it keeps every walk finite.
inline bool olderLink(std::uint32_t from, std::uint32_t to) {
    return to < from;
}
inline bool newerLink(std::uint32_t from, std::uint32_t to) {
    return to > from;
}

// --- keys and entries ----------------------------------------------------------------
// Key handle or code to a descriptor offset (6 for an invalid handle, 3 when the file
// lacks that standard key).
REGERR translateKey(const RegFile& f, RKEY key, std::uint32_t& offset);
// The child key of `parent`, or the entry of `key`, with that name (letter case ignored).
REGERR findChild(RegFile& f, const Descriptor& parent, const char* name, Descriptor& child);
REGERR findEntry(RegFile& f, const Descriptor& key, const char* name, Descriptor& entry);
// Creates a key under `parent` (which is rewritten with its new first child).
REGERR createKey(RegFile& f, Descriptor& parent, const char* name, Descriptor& created);
REGERR findOrCreateChild(RegFile& f, Descriptor& parent, const char* name, Descriptor& child);
// Walks a path from `start`; "/" and "" give the start key. With `create`, missing keys are
// made on the way.
REGERR walkPath(RegFile& f, const Descriptor& start, const char* path, bool create, Descriptor& found);
// Creates or replaces an entry's value.
REGERR storeEntry(RegFile& f, Descriptor& key, const char* name, std::uint16_t type, const void* data,
                  std::uint32_t size);
// Takes a node out of its chain (children of its parent, or entries of its key) and marks
// it deleted.
REGERR unlinkNode(RegFile& f, const Descriptor& node, bool isEntry);

// Next segment of a path (at most 512 characters, checked as a name); kNoMore at the end.
struct PathCursor {
    const char* at;
    bool started = false;
};
REGERR nextSegment(PathCursor& cursor, char (&segment)[kMaxName + 1]);

} // namespace zov::reg::detail
