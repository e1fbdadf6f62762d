// The registry file library writing a tree of fuzzed keys and entries and reading it back
// the same, after closing and reopening the file, against a model of what was written.
//
// Input: a list of operations, each a u8 code and its arguments (see apply()); names are
// drawn from a mixed-case alphabet, values are of every entry type and of lengths up to
// the limits. Every call must answer what the model says, and the reopened file must hold
// exactly the model's keys and entries.
#include "fuzz/fuzz_input.h"
#include "fuzz/memory_reg_file.h"
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace zov::reg;
namespace fuzz = zov::fuzz;

namespace {

// --- the host --------------------------------------------------------------------------

bool noWindowsFolder(char*, std::size_t) {
    return false;
}

// --- the model -------------------------------------------------------------------------

std::string folded(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct Entry {
    std::string name;
    std::uint16_t type;
    std::string value;
};

struct Key {
    std::string name;
    RKEY handle = 0;
    Key* parent = nullptr;
    std::map<std::string, std::unique_ptr<Key>> children; // by folded name
    std::map<std::string, Entry> entries;                 // by folded name
};

struct Model {
    Key users{"Users", kKeyUsers}, common{"Common", kKeyCommon}, arenas{"Private Arenas", kKeyPrivateArenas};
    std::vector<Key*> keys{&users, &common, &arenas};

    Key& pick(std::uint8_t i) { return *keys[i % keys.size()]; }
    void forget(Key* gone) { keys.erase(std::find(keys.begin(), keys.end(), gone)); }
};

std::string nameFrom(fuzz::Input& in) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-~";
    std::uint8_t n = in.u8();
    std::size_t length = n < 200 ? n % 24 : 480 + (n - 200); // up to and past the 510-byte limit
    std::uint8_t seed = in.u8();
    std::string name(length, 'a');
    for (std::size_t i = 0; i < length; ++i)
        name[i] = kAlphabet[(seed + i * 7) % (sizeof kAlphabet - 1)];
    return name;
}

// A name and its NUL must stay below 512 bytes.
bool validName(const std::string& name) {
    return !name.empty() && name.size() + 1 < 512;
}

// A value of the type: up to 600 bytes, or at the 32,767-byte limit.
// The bytes a seed makes: byte i is seed + 31 i (for texts 1 + that % 127). Made once per
// seed and kind, then copied: values run to 32,775 bytes, and making them a byte at a time
// under the fuzzer's tracing took a quarter of every run.
const std::string& pattern(std::uint8_t seed, bool text) {
    static std::array<std::string, 512> made;
    std::string& bytes = made[seed * 2u + (text ? 1u : 0u)];
    if (bytes.empty()) {
        bytes.resize(32760 + 15);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            auto byte = static_cast<std::uint8_t>(seed + i * 31);
            bytes[i] = static_cast<char>(text ? 1 + byte % 127 : byte);
        }
    }
    return bytes;
}

std::string valueFrom(fuzz::Input& in, std::uint16_t type) {
    std::uint16_t n = in.u16();
    std::size_t length = (n & 0x8000) != 0 ? 32760 + (n & 15) : n % 600;
    std::uint8_t seed = in.u8();
    std::string value = pattern(seed, type == kTypeString || type == kTypeFile).substr(0, length);
    if (type == kTypeString && !value.empty())
        value.back() = '\0';
    return value;
}

// --- checks ----------------------------------------------------------------------------

void verify(HREG h, const Key& key) {
    // Entries: the enumeration names exactly the model's, each with its type and value.
    std::map<std::string, bool> seen;
    REGENUM state = 0;
    char name[600];
    REGINFO info{8, 0, 0};
    while (NR_RegEnumEntries(h, key.handle, &state, name, sizeof name, &info) == kOk) {
        auto it = key.entries.find(folded(name));
        fuzz::check(it != key.entries.end() && it->second.name == name && !seen[it->first]);
        seen[it->first] = true;
        const Entry& e = it->second;
        fuzz::check(info.entryType == e.type && info.entryLength == e.value.size());
        std::string value(e.value.size(), '\0');
        std::uint32_t size = static_cast<std::uint32_t>(value.size());
        fuzz::check(NR_RegGetEntry(h, key.handle, name, value.data(), &size) == kOk);
        fuzz::check(size == e.value.size() && value == e.value);
    }
    fuzz::check(seen.size() == key.entries.size());
    // Children: found by name at the same descriptor, and listed exactly.
    std::size_t children = 0;
    state = 0;
    char path[600] = {};
    while (NR_RegEnumSubkeys(h, key.handle, &state, path, sizeof path, kEnumChildren) == kOk) {
        auto it = key.children.find(folded(path));
        fuzz::check(it != key.children.end() && it->second->handle == state);
        ++children;
    }
    fuzz::check(children == key.children.size());
    for (const auto& [folded, child] : key.children) {
        RKEY found = 0;
        fuzz::check(NR_RegGetKeyRaw(h, key.handle, child->name.c_str(), &found) == kOk &&
                    found == child->handle);
        verify(h, *child);
    }
}

void verifyAll(HREG h, Model& model) {
    for (Key* root : {&model.users, &model.common, &model.arenas})
        verify(h, *root);
}

HREG reopen(HREG h) {
    if (h != nullptr)
        fuzz::check(NR_RegClose(h) == kOk);
    NR_ShutdownRegistry();
    HREG fresh = nullptr;
    fuzz::check(NR_RegOpen("fuzz.reg", &fresh) == kOk);
    return fresh;
}

void apply(HREG& h, Model& model, fuzz::Input& in) {
    switch (in.u8() % 6) {
    case 0: { // add a key below one of the model's
        Key& parent = model.pick(in.u8());
        std::string name = nameFrom(in);
        RKEY added = 0;
        REGERR err = NR_RegAddKey(h, parent.handle, name.c_str(), &added);
        if (!validName(name)) {
            fuzz::check(err != kOk);
            return;
        }
        fuzz::check(err == kOk);
        auto& slot = parent.children[folded(name)];
        if (slot) {
            fuzz::check(slot->handle == added); // found, not made again
            return;
        }
        slot = std::make_unique<Key>();
        slot->name = name;
        slot->handle = added;
        slot->parent = &parent;
        model.keys.push_back(slot.get());
        return;
    }
    case 1:
    case 2: { // set an entry of any type; text through its own call
        Key& key = model.pick(in.u8());
        std::string name = nameFrom(in);
        static const std::uint16_t kEntryTypes[] = {kTypeString, kTypeInt32Array, kTypeBytes, kTypeFile};
        std::uint16_t type = kEntryTypes[in.u8() % 4];
        std::string value = valueFrom(in, type);
        REGERR err;
        bool valid = validName(name) && !value.empty() && value.size() <= 32767;
        if (type == kTypeString) {
            value = value.substr(0, value.find('\0')) + '\0';
            valid = validName(name) && value.size() <= 32767;
            err = NR_RegSetEntryString(h, key.handle, name.c_str(), value.c_str());
        } else {
            if (type == kTypeInt32Array && value.size() % 4 != 0)
                valid = false;
            err = NR_RegSetEntry(h, key.handle, name.c_str(), type, value.data(),
                                 static_cast<std::uint32_t>(value.size()));
        }
        fuzz::check((err == kOk) == valid);
        if (valid) {
            auto it = key.entries.find(folded(name));
            std::string kept = it != key.entries.end() ? it->second.name : name;
            key.entries[folded(name)] = Entry{kept, type, value};
        }
        return;
    }
    case 3: { // delete an entry, one of the key's or another name
        Key& key = model.pick(in.u8());
        std::uint8_t which = in.u8();
        std::string name = key.entries.empty() || which >= 200
                               ? nameFrom(in)
                               : std::next(key.entries.begin(), which % key.entries.size())->second.name;
        bool there = key.entries.count(folded(name)) != 0;
        REGERR err = NR_RegDeleteEntry(h, key.handle, name.c_str());
        fuzz::check((err == kOk) == there);
        key.entries.erase(folded(name));
        return;
    }
    case 4: { // delete one of the model's own keys; one with children stays
        if (model.keys.size() <= 3)
            return;
        Key* key = model.keys[3 + in.u8() % (model.keys.size() - 3)];
        REGERR err = NR_RegDeleteKeyRaw(h, key->parent->handle, key->name.c_str());
        fuzz::check((err == kOk) == key->children.empty());
        if (err == kOk) {
            model.forget(key);
            key->parent->children.erase(folded(key->name));
        }
        return;
    }
    default: // close and reopen: everything written so far is in the file
        h = reopen(h);
        verifyAll(h, model);
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::MemoryRegFile::image.clear();
    setFileOps(&fuzz::MemoryRegFile::ops);
    setWindowsFolderSource(&noWindowsFolder);
    fuzz::Input in(data, size);
    Model model;
    HREG h = reopen(nullptr);
    for (int op = 0; op < 64 && !in.empty(); ++op)
        apply(h, model, in);
    h = reopen(h);
    verifyAll(h, model);
    NR_RegClose(h);
    NR_ShutdownRegistry();
    return 0;
}
