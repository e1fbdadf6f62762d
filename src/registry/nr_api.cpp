// The NR_ functions: opening and sharing registry files, keys, entries and walks.
#include "registry/nr_file.h"
#include "registry/registry.h"

#include <cstdlib>
#include <cstring>

namespace zov::reg {

using namespace detail;

namespace {

// A registry handle. Live handles are listed, so that a closed or made-up handle is
// refused (7) before anything behind it is touched.
struct Handle {
    std::uint32_t magic;
    RegFile* file;
    Handle* next;
};

// Library state: plain data, ready before any start-up code runs.
int gStartups = 0;
char* gDefaultName = nullptr;
RegFile* gFiles = nullptr;
Handle* gHandles = nullptr;
char* gUserName = nullptr; // null: "default"

char* copyText(const char* text) {
    std::size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy != nullptr)
        std::memcpy(copy, text, n);
    return copy;
}

Handle* liveHandle(HREG hReg) {
    for (Handle* h = gHandles; h != nullptr; h = h->next) {
        if (h == hReg)
            return h->magic == kMagic ? h : nullptr;
    }
    return nullptr;
}

// The checks every call makes first, in this order: a live handle (7), then the caller's
// arguments (6).
REGERR checkCall(HREG hReg, bool argumentsGiven) {
    if (liveHandle(hReg) == nullptr)
        return kBadMagic;
    return argumentsGiven ? kOk : kBadParameter;
}

// Then, for every call that reads or changes keys or entries: the header as it is in the
// file now, and the start key.
REGERR enterKey(HREG hReg, RKEY key, RegFile*& file, Descriptor& start) {
    Handle* h = liveHandle(hReg);
    if (h == nullptr)
        return kBadMagic;
    file = h->file;
    REGERR err = readHeader(*file);
    std::uint32_t offset = 0;
    if (err == kOk)
        err = translateKey(*file, key, offset);
    return err != kOk ? err : readDescriptor(*file, offset, start);
}

// Both steps, for the calls that check nothing more in between.
REGERR enterKey(HREG hReg, bool argumentsGiven, RKEY key, RegFile*& file, Descriptor& start) {
    REGERR err = checkCall(hReg, argumentsGiven);
    return err != kOk ? err : enterKey(hReg, key, file, start);
}

void closeFile(RegFile* f) {
    if (f->dirty && !f->readOnly)
        writeHeader(*f);
    if (f->io != nullptr)
        fileOps().close(f->io);
    if (f->prev != nullptr)
        f->prev->next = f->next;
    else if (gFiles == f)
        gFiles = f->next;
    if (f->next != nullptr)
        f->next->prev = f->prev;
    std::free(f->name);
    std::free(f);
}

RegFile* openedFile(const char* name) {
    for (RegFile* f = gFiles; f != nullptr; f = f->next) {
        if (equalNoCase(f->name, name))
            return f;
    }
    return nullptr;
}

// A new, empty file: header, the root "/" and its descriptor.
REGERR initialise(RegFile& f) {
    f.header = Header{kMagic, kMajorVersion, kMinorVersion, kReserved, 0};
    REGERR err = writeHeader(f);
    if (err != kOk)
        return err;
    std::uint32_t nameAt = 0;
    if ((err = append(f, "/", 2, &nameAt)) != kOk)
        return err;
    Descriptor root;
    root.name = nameAt;
    root.nameLength = 2;
    root.type = kTypeKey;
    if ((err = appendDescriptor(f, root)) != kOk)
        return err;
    f.header.root = root.location;
    return writeHeader(f);
}

REGERR standardKey(RegFile& f, Descriptor& root, const char* name, std::uint32_t& slot) {
    Descriptor key;
    REGERR err = findChild(f, root, name, key);
    // A read-only file cannot gain the key; its other keys stay readable.
    if (err == kNotFound && f.readOnly) {
        slot = 0;
        return kOk;
    }
    if (err == kNotFound)
        err = createKey(f, root, name, key);
    if (err == kOk)
        slot = key.location;
    return err;
}

REGERR openFile(const char* name, RegFile*& out) {
    auto* f = static_cast<RegFile*>(std::calloc(1, sizeof(RegFile)));
    if (f == nullptr)
        return kNoMemory;
    f->name = copyText(name);
    if (f->name == nullptr) {
        std::free(f);
        return kNoMemory;
    }
    IoStatus status = IoStatus::Failed;
    f->io = fileOps().openReadWrite(name, &status);
    if (f->io == nullptr) {
        REGERR err = status == IoStatus::NotFound ? kNoFile : kFail;
        if (status == IoStatus::AccessDenied) {
            f->io = fileOps().openReadOnly(name, &status);
            f->readOnly = true;
        }
        if (f->io == nullptr) {
            closeFile(f);
            return err;
        }
    }
    unsigned char bytes[kHeaderSize];
    long got = fileOps().readAt(f->io, 0, bytes, kHeaderSize);
    REGERR err = kOk;
    if (got < 0) {
        err = kFail;
    } else if (static_cast<std::uint32_t>(got) < kHeaderSize) {
        err = f->readOnly ? kReadOnly : initialise(*f);
    } else {
        err = readHeader(*f);
        if (err == kOk && f->dirty)
            err = writeHeader(*f);
    }
    Descriptor root;
    if (err == kOk) {
        f->root = f->header.root;
        err = readDescriptor(*f, f->root, root);
    }
    if (err == kOk)
        err = standardKey(*f, root, "Users", f->users);
    if (err == kOk)
        err = standardKey(*f, root, "Common", f->common);
    if (err == kOk)
        err = standardKey(*f, root, "Version Registry", f->versions);
    if (err == kOk)
        err = standardKey(*f, root, "Private Arenas", f->privateArenas);
    if (err != kOk) {
        f->dirty = false;
        closeFile(f);
        return err;
    }
    f->next = gFiles;
    if (gFiles != nullptr)
        gFiles->prev = f;
    gFiles = f;
    out = f;
    return kOk;
}

// --- walk paths in the caller's buffer -------------------------------------------------

REGERR appendName(char* path, std::uint32_t size, const char* name) {
    std::size_t n = std::strlen(path), m = std::strlen(name);
    std::size_t need = n + (n != 0 ? 1 : 0) + m + 1;
    if (need > size)
        return kBufferTooSmall;
    if (n != 0)
        path[n++] = '/';
    std::memcpy(path + n, name, m + 1);
    return kOk;
}

void removeLast(char* path) {
    char* slash = std::strrchr(path, '/');
    if (slash != nullptr)
        *slash = '\0';
    else
        path[0] = '\0';
}

REGERR appendNodeName(RegFile& f, const Descriptor& d, char* path, std::uint32_t size) {
    char name[kMaxName];
    REGERR err = readName(f, d, name, sizeof name);
    return err != kOk ? err : appendName(path, size, name);
}

REGERR replaceLast(RegFile& f, const Descriptor& d, char* path, std::uint32_t size) {
    removeLast(path);
    return appendNodeName(f, d, path, size);
}

// A node named by an enumeration state; it may have been deleted since.
REGERR stateNode(RegFile& f, std::uint32_t state, Descriptor& d) {
    REGERR err = readDescriptor(f, state, d);
    return err == kDeleted ? kOk : err;
}

REGERR linked(RegFile& f, std::uint32_t from, std::uint32_t to, bool older, Descriptor& d) {
    if (older ? !olderLink(from, to) : !newerLink(from, to))
        return kFail;
    return readDescriptor(f, to, d);
}

// Down through first children to a leaf, naming each on the way.
REGERR descend(RegFile& f, Descriptor& node, char* path, std::uint32_t size) {
    while (node.firstChild() != 0) {
        Descriptor child;
        REGERR err = linked(f, node.location, node.firstChild(), false, child);
        if (err == kOk)
            err = appendNodeName(f, child, path, size);
        if (err != kOk)
            return err;
        node = child;
    }
    return kOk;
}

// The next node of a chain (a key's children or its entries) for an enumeration: with state 0
// the first one, linked from `holder`; else the one after the node at `state`. 2 at the end.
REGERR nextInChain(RegFile& f, std::uint32_t holder, std::uint32_t first, std::uint32_t state,
                   Descriptor& next) {
    if (state == 0)
        return first == 0 ? kNoMore : linked(f, holder, first, false, next);
    Descriptor s;
    REGERR err = stateNode(f, state, s);
    if (err != kOk)
        return err;
    return s.left == 0 ? kNoMore : linked(f, s.location, s.left, true, next);
}

REGERR walkChildren(RegFile& f, const Descriptor& start, std::uint32_t state, char* path, std::uint32_t size,
                    Descriptor& result) {
    REGERR err = nextInChain(f, start.location, start.firstChild(), state, result);
    if (err != kOk)
        return err;
    path[0] = '\0';
    return appendNodeName(f, result, path, size);
}

REGERR walkDescend(RegFile& f, const Descriptor& start, std::uint32_t state, char* path, std::uint32_t size,
                   Descriptor& result) {
    REGERR err;
    if (state == 0) {
        path[0] = '\0';
        err = linked(f, start.location, start.firstChild(), false, result);
        return err != kOk ? err : appendNodeName(f, result, path, size);
    }
    Descriptor node;
    if ((err = stateNode(f, state, node)) != kOk)
        return err;
    if (node.firstChild() != 0) {
        err = linked(f, node.location, node.firstChild(), false, result);
        return err != kOk ? err : appendNodeName(f, result, path, size);
    }
    if (node.left != 0) {
        err = linked(f, node.location, node.left, true, result);
        return err != kOk ? err : replaceLast(f, result, path, size);
    }
    for (;;) {
        removeLast(path);
        std::uint32_t parent = node.parent;
        if (parent == start.location || parent == 0)
            return kNoMore;
        if (!olderLink(node.location, parent))
            return kFail;
        if ((err = stateNode(f, parent, node)) != kOk)
            return err;
        if (node.left != 0) {
            err = linked(f, node.location, node.left, true, result);
            return err != kOk ? err : replaceLast(f, result, path, size);
        }
    }
}

REGERR walkDepthFirst(RegFile& f, const Descriptor& start, std::uint32_t state, char* path,
                      std::uint32_t size, Descriptor& result) {
    REGERR err;
    if (state == 0) {
        path[0] = '\0';
        err = linked(f, start.location, start.firstChild(), false, result);
        if (err == kOk)
            err = appendNodeName(f, result, path, size);
        return err != kOk ? err : descend(f, result, path, size);
    }
    Descriptor node;
    if ((err = stateNode(f, state, node)) != kOk)
        return err;
    if (node.left != 0) {
        err = linked(f, node.location, node.left, true, result);
        if (err == kOk)
            err = replaceLast(f, result, path, size);
        return err != kOk ? err : descend(f, result, path, size);
    }
    if (node.parent == start.location || node.parent == 0)
        return kNoMore;
    if (!olderLink(node.location, node.parent))
        return kFail;
    if ((err = stateNode(f, node.parent, result)) != kOk)
        return err;
    removeLast(path);
    return kOk;
}

} // namespace

// --- start-up, files, user name ---------------------------------------------------------

REGERR NR_StartupRegistry() {
    if (gStartups == 0 && gDefaultName == nullptr) {
        char folder[260];
        if (windowsFolder(folder, sizeof folder)) {
            static const char kName[] = "\\mozregistry.dat";
            std::size_t n = std::strlen(folder);
            gDefaultName = static_cast<char*>(std::malloc(n + sizeof kName));
            if (gDefaultName != nullptr) {
                std::memcpy(gDefaultName, folder, n);
                std::memcpy(gDefaultName + n, kName, sizeof kName);
            }
        }
    }
    ++gStartups;
    return kOk;
}

REGERR NR_ShutdownRegistry() {
    if (gStartups > 0 && --gStartups > 0)
        return kOk;
    gStartups = 0;
    VR_Close();
    while (gHandles != nullptr) {
        Handle* h = gHandles;
        gHandles = h->next;
        h->magic = 0;
        std::free(h);
    }
    while (gFiles != nullptr)
        closeFile(gFiles);
    std::free(gDefaultName);
    gDefaultName = nullptr;
    std::free(gUserName);
    gUserName = nullptr;
    return kOk;
}

REGERR NR_RegOpen(const char* filename, HREG* hReg) {
    if (hReg == nullptr)
        return kBadParameter;
    const char* name = (filename != nullptr && filename[0] != '\0') ? filename : gDefaultName;
    if (name == nullptr || name[0] == '\0')
        return kBadParameter; // no name given and no default known yet
    RegFile* f = openedFile(name);
    bool opened = false;
    if (f == nullptr) {
        REGERR err = openFile(name, f);
        if (err != kOk)
            return err;
        opened = true;
    }
    auto* h = static_cast<Handle*>(std::malloc(sizeof(Handle)));
    if (h == nullptr) {
        if (opened)
            closeFile(f);
        return kNoMemory;
    }
    h->magic = kMagic;
    h->file = f;
    h->next = gHandles;
    gHandles = h;
    ++f->refCount;
    *hReg = h;
    return kOk;
}

REGERR NR_RegClose(HREG hReg) {
    Handle* h = liveHandle(hReg);
    if (h == nullptr)
        return kBadMagic;
    for (Handle** link = &gHandles; *link != nullptr; link = &(*link)->next) {
        if (*link == h) {
            *link = h->next;
            break;
        }
    }
    RegFile* f = h->file;
    h->magic = 0;
    std::free(h);
    if (--f->refCount <= 0)
        closeFile(f);
    return kOk;
}

REGERR NR_RegGetUsername(char** name) {
    if (name == nullptr)
        return kBadParameter;
    *name = copyText(gUserName != nullptr ? gUserName : "default");
    return *name != nullptr ? kOk : kNoMemory;
}

REGERR NR_RegSetUsername(const char* name) {
    if (name == nullptr || name[0] == '\0')
        return kBadParameter;
    char* copy = copyText(name);
    if (copy == nullptr)
        return kNoMemory;
    std::free(gUserName);
    gUserName = copy;
    return kOk;
}

REGERR NR_RegIsWritable(HREG hReg) {
    Handle* h = liveHandle(hReg);
    if (h == nullptr)
        return kBadMagic;
    return h->file->readOnly ? kReadOnly : kOk;
}

// --- keys -----------------------------------------------------------------------------

REGERR NR_RegAddKey(HREG hReg, RKEY key, const char* path, RKEY* newKey) {
    RegFile* f = nullptr;
    Descriptor start, added;
    REGERR err = enterKey(hReg, path != nullptr && path[0] != '\0', key, f, start);
    if (err != kOk)
        return err;
    if (start.location == f->root)
        return kBadParameter;
    if ((err = walkPath(*f, start, path, true, added)) == kOk && newKey != nullptr)
        *newKey = added.location;
    return err;
}

REGERR NR_RegAddKeyRaw(HREG hReg, RKEY key, const char* name, RKEY* newKey) {
    RegFile* f = nullptr;
    Descriptor parent, child;
    REGERR err = enterKey(hReg, name != nullptr, key, f, parent);
    if (err == kOk)
        err = findOrCreateChild(*f, parent, name, child);
    if (err == kOk && newKey != nullptr)
        *newKey = child.location;
    return err;
}

namespace {

// How a key call finds its key from the start key: a path, or one child's exact name.
using KeyLookup = REGERR (*)(RegFile&, const Descriptor&, const char*, Descriptor&);

REGERR lookupPath(RegFile& f, const Descriptor& start, const char* path, Descriptor& found) {
    return walkPath(f, start, path, false, found);
}

REGERR getKey(HREG hReg, RKEY key, const char* name, RKEY* result, KeyLookup lookup) {
    REGERR err = checkCall(hReg, name != nullptr && result != nullptr);
    if (err != kOk)
        return err;
    *result = 0;
    RegFile* f = nullptr;
    Descriptor start, found;
    if ((err = enterKey(hReg, key, f, start)) == kOk)
        err = lookup(*f, start, name, found);
    if (err == kOk)
        *result = found.location;
    return err;
}

REGERR deleteKey(HREG hReg, RKEY key, const char* name, KeyLookup lookup) {
    RegFile* f = nullptr;
    Descriptor start, found;
    REGERR err = enterKey(hReg, name != nullptr, key, f, start);
    if (err == kOk)
        err = lookup(*f, start, name, found);
    if (err != kOk)
        return err;
    if (found.location == f->root || found.location == f->users || found.location == f->common ||
        found.location == f->versions)
        return kFail; // protected
    if (found.firstChild() != 0)
        return kFail;
    return unlinkNode(*f, found, false);
}

} // namespace

REGERR NR_RegDeleteKey(HREG hReg, RKEY key, const char* path) {
    return deleteKey(hReg, key, path, lookupPath);
}

REGERR NR_RegDeleteKeyRaw(HREG hReg, RKEY key, const char* name) {
    return deleteKey(hReg, key, name, findChild);
}

REGERR NR_RegGetKey(HREG hReg, RKEY key, const char* path, RKEY* result) {
    return getKey(hReg, key, path, result, lookupPath);
}

REGERR NR_RegGetKeyRaw(HREG hReg, RKEY key, const char* name, RKEY* result) {
    return getKey(hReg, key, name, result, findChild);
}

// --- entries --------------------------------------------------------------------------

namespace {

REGERR enterEntry(HREG hReg, bool argumentsGiven, RKEY key, const char* name, RegFile*& f,
                  Descriptor& entry) {
    Descriptor keyDesc;
    REGERR err = enterKey(hReg, argumentsGiven, key, f, keyDesc);
    return err != kOk ? err : findEntry(*f, keyDesc, name, entry);
}

} // namespace

REGERR NR_RegGetEntryInfo(HREG hReg, RKEY key, const char* name, REGINFO* info) {
    RegFile* f = nullptr;
    Descriptor e;
    REGERR err = enterEntry(hReg, name != nullptr && info != nullptr && info->size == sizeof(REGINFO), key,
                            name, f, e);
    if (err != kOk)
        return err;
    info->entryType = e.type;
    info->entryLength = e.valueLength;
    return kOk;
}

REGERR NR_RegGetEntryString(HREG hReg, RKEY key, const char* name, char* buffer, std::uint32_t bufferSize) {
    RegFile* f = nullptr;
    Descriptor e;
    REGERR err = enterEntry(hReg, name != nullptr && buffer != nullptr && bufferSize != 0, key, name, f, e);
    if (err != kOk)
        return err;
    if (e.type != kTypeString)
        return kWrongType;
    if (bufferSize < e.valueLength)
        return kBufferTooSmall;
    err = readBytes(*f, e.value, buffer, e.valueLength);
    if (err != kOk)
        return err;
    if (e.valueLength < bufferSize)
        buffer[e.valueLength] = '\0';
    buffer[bufferSize - 1] = '\0';
    return kOk;
}

REGERR NR_RegGetEntry(HREG hReg, RKEY key, const char* name, void* buffer, std::uint32_t* size) {
    RegFile* f = nullptr;
    Descriptor e;
    REGERR err = enterEntry(hReg, name != nullptr && buffer != nullptr && size != nullptr, key, name, f, e);
    if (err != kOk)
        return err;
    std::uint32_t callerSize = *size;
    *size = e.valueLength;
    if (callerSize < e.valueLength)
        return kBufferTooSmall;
    if (e.valueLength == 0)
        return kFail;
    auto* out = static_cast<unsigned char*>(buffer);
    if (e.type == kTypeInt32Array) {
        auto* stored = static_cast<unsigned char*>(std::malloc(e.valueLength));
        if (stored == nullptr)
            return kNoMemory;
        err = readBytes(*f, e.value, stored, e.valueLength);
        if (err == kOk) {
            std::uint32_t whole = e.valueLength & ~3u;
            for (std::uint32_t i = 0; i < whole; i += 4) {
                std::uint32_t v = get32(stored + i);
                std::memcpy(out + i, &v, 4);
            }
            std::memcpy(out + whole, stored + whole, e.valueLength - whole);
        }
        std::free(stored);
        return err;
    }
    err = readBytes(*f, e.value, out, e.valueLength);
    if (err == kOk && e.type == kTypeString)
        out[callerSize - 1] = '\0';
    return err;
}

REGERR NR_RegSetEntryString(HREG hReg, RKEY key, const char* name, const char* text) {
    REGERR err = checkCall(hReg, name != nullptr && text != nullptr);
    if (err != kOk)
        return err;
    if (!validUtf8(text))
        return kBadUtf8;
    std::size_t length = std::strlen(text) + 1;
    if (length > kMaxValue)
        return kTooLong;
    RegFile* f = nullptr;
    Descriptor k;
    err = enterKey(hReg, key, f, k);
    return err != kOk ? err : storeEntry(*f, k, name, kTypeString, text, static_cast<std::uint32_t>(length));
}

REGERR NR_RegSetEntry(HREG hReg, RKEY key, const char* name, std::uint16_t type, const void* buffer,
                      std::uint32_t size) {
    REGERR err = checkCall(hReg, key != 0 && name != nullptr && buffer != nullptr && size != 0);
    if (err != kOk)
        return err;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    unsigned char* converted = nullptr;
    switch (type) {
    case kTypeString:
        if (bytes[size - 1] != 0)
            return kBadParameter;
        break;
    case kTypeBytes:
    case kTypeFile:
        break;
    case kTypeInt32Array:
        if (size % 4 != 0)
            return kBadParameter;
        if (size > kMaxValue)
            return kTooLong;
        converted = static_cast<unsigned char*>(std::malloc(size));
        if (converted == nullptr)
            return kNoMemory;
        for (std::uint32_t i = 0; i < size; i += 4) {
            std::uint32_t v;
            std::memcpy(&v, bytes + i, 4);
            put32(converted + i, v);
        }
        bytes = converted;
        break;
    default:
        return kWrongType;
    }
    RegFile* f = nullptr;
    Descriptor k;
    err = enterKey(hReg, key, f, k);
    if (err == kOk)
        err = storeEntry(*f, k, name, type, bytes, size);
    std::free(converted);
    return err;
}

REGERR NR_RegDeleteEntry(HREG hReg, RKEY key, const char* name) {
    RegFile* f = nullptr;
    Descriptor e;
    REGERR err = enterEntry(hReg, name != nullptr, key, name, f, e);
    return err != kOk ? err : unlinkNode(*f, e, true);
}

// --- enumeration ----------------------------------------------------------------------

REGERR NR_RegEnumSubkeys(HREG hReg, RKEY key, REGENUM* state, char* buffer, std::uint32_t bufferSize,
                         std::uint32_t style) {
    RegFile* f = nullptr;
    Descriptor start;
    REGERR err =
        enterKey(hReg, state != nullptr && buffer != nullptr && bufferSize != 0 && style <= kEnumDepthFirst,
                 key, f, start);
    if (err != kOk)
        return err;
    if (*state == 0 && start.firstChild() == 0)
        return kNoMore;
    // The walk works on a copy: a failure leaves the caller's path as it was.
    char* path = static_cast<char*>(std::malloc(bufferSize));
    if (path == nullptr)
        return kNoMemory;
    path[0] = '\0';
    if (*state != 0) {
        std::uint32_t n = boundedLength(buffer, bufferSize);
        if (n == bufferSize) {
            std::free(path);
            return kBadParameter;
        }
        std::memcpy(path, buffer, n + 1);
    }
    Descriptor result;
    if (style == kEnumChildren)
        err = walkChildren(*f, start, *state, path, bufferSize, result);
    else if (style == kEnumDescend)
        err = walkDescend(*f, start, *state, path, bufferSize, result);
    else
        err = walkDepthFirst(*f, start, *state, path, bufferSize, result);
    if (err == kOk) {
        std::memcpy(buffer, path, std::strlen(path) + 1);
        *state = result.location;
    }
    std::free(path);
    return err;
}

REGERR NR_RegEnumEntries(HREG hReg, RKEY key, REGENUM* state, char* buffer, std::uint32_t bufferSize,
                         REGINFO* info) {
    RegFile* f = nullptr;
    Descriptor k, entry;
    REGERR err = enterKey(hReg, state != nullptr && buffer != nullptr && bufferSize != 0, key, f, k);
    if (err == kOk)
        err = nextInChain(*f, k.location, k.firstEntry(), *state, entry);
    if (err != kOk)
        return err;
    std::memset(buffer, 0, bufferSize);
    if ((err = readName(*f, entry, buffer, bufferSize)) != kOk)
        return err;
    *state = entry.location;
    if (info != nullptr && info->size >= sizeof(REGINFO)) {
        info->entryType = entry.type;
        info->entryLength = entry.valueLength;
    }
    return kOk;
}

} // namespace zov::reg
