// The registry file library (NR_ functions) on the simulated disk, and its file format
// checked by an encoder and a decoder of the test's own.
#include "registry/reg_io.h"
#include "registry/registry.h"
#include "sim/sim_machine.h"
#include "sim/sim_registry_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace zov::reg;
using zov::sim::SimMachine;
using zov::sim::SimRegistryFiles;

namespace {

// --- the format, as the test reads it ------------------------------------------------

std::uint32_t le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b.at(at))) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b.at(at + 1))) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b.at(at + 2))) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b.at(at + 3))) << 24;
}
std::uint16_t le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b.at(at)) |
                                      static_cast<unsigned char>(b.at(at + 1)) << 8);
}
void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct Node {
    std::uint32_t location, name;
    std::uint16_t nameLength, type;
    std::uint32_t left, down, value, valueLength, parent;
    std::string nameText;
};

Node node(const std::string& b, std::uint32_t at) {
    Node n{le32(b, at),      le32(b, at + 4),  le16(b, at + 8),  le16(b, at + 10), le32(b, at + 12),
           le32(b, at + 16), le32(b, at + 20), le32(b, at + 24), le32(b, at + 28), {}};
    n.nameText = b.substr(n.name, n.nameLength);
    return n;
}

// Children (or entries) of a node, newest first, as the chain runs.
std::vector<Node> chain(const std::string& b, std::uint32_t first) {
    std::vector<Node> nodes;
    for (std::uint32_t at = first; at != 0 && nodes.size() < 1000; at = nodes.back().left)
        nodes.push_back(node(b, at));
    return nodes;
}

const Node* named(const std::vector<Node>& nodes, const std::string& name) {
    for (const Node& n : nodes)
        if (n.nameText == name + '\0')
            return &n;
    return nullptr;
}

// Writes a file from the format table, growing at the end as the format requires.
struct ImageBuilder {
    std::string bytes = std::string(128, '\0');

    std::uint32_t add(const std::string& data) {
        std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        bytes += data;
        return at;
    }
    std::uint32_t descriptor(const std::string& name, std::uint16_t type, std::uint32_t left,
                             std::uint32_t down, std::uint32_t value, std::uint32_t valueLength,
                             std::uint32_t parent) {
        std::uint32_t nameAt = add(name + '\0');
        std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        std::string d(32, '\0');
        put32(d, 0, at);
        put32(d, 4, nameAt);
        d[8] = static_cast<char>((name.size() + 1) & 0xFF);
        d[9] = static_cast<char>((name.size() + 1) >> 8);
        d[10] = static_cast<char>(type & 0xFF);
        d[11] = static_cast<char>(type >> 8);
        put32(d, 12, left);
        put32(d, 16, down);
        put32(d, 20, value);
        put32(d, 24, valueLength);
        put32(d, 28, parent);
        add(d);
        return at;
    }
    std::uint32_t key(const std::string& name, std::uint32_t parent, std::uint32_t left) {
        return descriptor(name, kTypeKey, left, 0, 0, 0, parent);
    }
    std::uint32_t entry(const std::string& name, std::uint16_t type, const std::string& value,
                        std::uint32_t key, std::uint32_t left) {
        std::uint32_t valueAt = add(value);
        auto size = static_cast<std::uint32_t>(value.size());
        return descriptor(name, type, left, size, valueAt, size, key);
    }
    void setDown(std::uint32_t key, std::uint32_t child) { put32(bytes, key + 16, child); }
    void setFirstEntry(std::uint32_t key, std::uint32_t entry) { put32(bytes, key + 20, entry); }
    std::string finish(std::uint32_t root, std::uint16_t major = 1) {
        put32(bytes, 0, 0x76644441);
        bytes[4] = static_cast<char>(major);
        bytes[6] = 2;
        put32(bytes, 8, static_cast<std::uint32_t>(bytes.size()));
        put32(bytes, 12, root);
        return bytes;
    }
};

class RegistryFile : public ::testing::Test {
  protected:
    SimMachine sim;
    SimRegistryFiles regFiles{sim.files, "C:\\Windows"};
    const std::string path = "C:\\Data\\test.reg";
    HREG h = nullptr;

    void SetUp() override {
        sim.files.makeDirectory("C:\\Data");
        ASSERT_EQ(NR_RegOpen(path.c_str(), &h), kOk);
    }
    std::string bytes() const { return sim.files.readText(path); }
    void reopen() {
        ASSERT_EQ(NR_RegClose(h), kOk);
        ASSERT_EQ(NR_RegOpen(path.c_str(), &h), kOk);
    }
    RKEY add(RKEY parent, const char* keyPath) {
        RKEY key = 0;
        EXPECT_EQ(NR_RegAddKey(h, parent, keyPath, &key), kOk) << keyPath;
        return key;
    }
    std::string text(RKEY key, const char* name) {
        char buffer[600] = {};
        REGERR err = NR_RegGetEntryString(h, key, name, buffer, sizeof buffer);
        return err == kOk ? std::string(buffer) : "<error " + std::to_string(err) + ">";
    }
    // Every key below a start key in one enumeration style.
    std::vector<std::string> walk(RKEY start, std::uint32_t style, REGERR* end = nullptr) {
        std::vector<std::string> paths;
        REGENUM state = 0;
        char buffer[600] = {};
        REGERR err;
        while ((err = NR_RegEnumSubkeys(h, start, &state, buffer, sizeof buffer, style)) == kOk &&
               paths.size() < 100)
            paths.push_back(buffer);
        if (end != nullptr)
            *end = err;
        return paths;
    }
    // Replaces the file with other bytes and opens it afresh.
    REGERR openImage(const std::string& image) {
        NR_RegClose(h);
        h = nullptr;
        sim.files.writeText(path, image);
        return NR_RegOpen(path.c_str(), &h);
    }
};

// --- a new file -----------------------------------------------------------------------

TEST_F(RegistryFile, NewFileHasTheHeaderTheRootAndTheFourStandardKeys) {
    const std::string b = bytes();
    EXPECT_EQ(le32(b, 0), 0x76644441u);
    EXPECT_EQ(le16(b, 4), 1);
    EXPECT_EQ(le16(b, 6), 2);
    // 128, then the names "/", "Users", "Common", "Version Registry", "Private Arenas"
    // with their NULs and five descriptors.
    const std::uint32_t avail = 128 + 2 + 6 + 7 + 17 + 15 + 5 * 32;
    EXPECT_EQ(le32(b, 8), avail);
    EXPECT_EQ(b.size(), avail);
    Node root = node(b, le32(b, 12));
    EXPECT_EQ(root.location, le32(b, 12));
    EXPECT_EQ(root.nameText, std::string("/\0", 2));
    EXPECT_EQ(root.type, kTypeKey);
    EXPECT_EQ(root.parent, 0u);
    std::vector<Node> keys = chain(b, root.down);
    ASSERT_EQ(keys.size(), 4u);
    // Newest first: the chain runs against the order of creation.
    EXPECT_EQ(keys[0].nameText, std::string("Private Arenas\0", 15));
    EXPECT_EQ(keys[3].nameText, std::string("Users\0", 6));
    for (const Node& k : keys)
        EXPECT_EQ(k.parent, root.location);

    RKEY users = 0;
    EXPECT_EQ(NR_RegGetKey(h, kKeyRoot, "Users", &users), kOk);
    EXPECT_EQ(users, keys[3].location);
    RKEY same = 0;
    EXPECT_EQ(NR_RegGetKey(h, kKeyUsers, "/", &same), kOk);
    EXPECT_EQ(same, users);
}

TEST_F(RegistryFile, ReopeningDoesNotAddTheStandardKeysAgain) {
    std::size_t size = bytes().size();
    reopen();
    EXPECT_EQ(bytes().size(), size);
}

// --- the format from both sides ------------------------------------------------------

TEST_F(RegistryFile, ReadsAFileBuiltFromTheFormatTable) {
    ImageBuilder img;
    std::uint32_t root = img.key("/", 0, 0);
    std::uint32_t users = img.key("Users", root, 0);
    std::uint32_t common = img.key("Common", root, users);
    std::uint32_t versions = img.key("Version Registry", root, common);
    std::uint32_t arenas = img.key("Private Arenas", root, versions);
    img.setDown(root, arenas);
    std::uint32_t profiles = img.key("Profiles", common, 0);
    img.setDown(common, profiles);
    std::uint32_t textEntry =
        img.entry("CurrentProfile", kTypeString, std::string("default\0", 8), profiles, 0);
    std::uint32_t numbers = img.entry(
        "Sizes", kTypeInt32Array, std::string("\x01\x00\x00\x00\x00\x01\x00\x00", 8), profiles, textEntry);
    std::uint32_t empty = img.descriptor("Empty", kTypeBytes, numbers, 0, 0, 0, profiles);
    img.setFirstEntry(profiles, empty);
    ASSERT_EQ(openImage(img.finish(root)), kOk);
    std::size_t size = bytes().size();

    RKEY key = 0;
    ASSERT_EQ(NR_RegGetKey(h, kKeyRoot, "common/PROFILES", &key), kOk);
    EXPECT_EQ(key, profiles);
    EXPECT_EQ(text(key, "currentprofile"), "default");
    std::uint32_t values[2] = {};
    std::uint32_t size8 = sizeof values;
    ASSERT_EQ(NR_RegGetEntry(h, key, "Sizes", values, &size8), kOk);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[1], 256u);
    char buffer[8];
    std::uint32_t emptySize = sizeof buffer;
    EXPECT_EQ(NR_RegGetEntry(h, key, "Empty", buffer, &emptySize), kFail);
    EXPECT_EQ(emptySize, 0u);
    // Nothing was missing, so opening added nothing.
    EXPECT_EQ(bytes().size(), size);
}

TEST_F(RegistryFile, FileItWritesDecodesByteByByte) {
    RKEY app = add(kKeyCommon, "App");
    ASSERT_EQ(NR_RegSetEntryString(h, app, "Name", "zov"), kOk);
    std::uint32_t numbers[2] = {0x01020304, 7};
    ASSERT_EQ(NR_RegSetEntry(h, app, "Numbers", kTypeInt32Array, numbers, sizeof numbers), kOk);

    const std::string b = bytes();
    EXPECT_EQ(le32(b, 8), b.size());
    Node root = node(b, le32(b, 12));
    const std::vector<Node> rootKeys = chain(b, root.down);
    const Node* common = named(rootKeys, "Common");
    ASSERT_NE(common, nullptr);
    std::vector<Node> children = chain(b, common->down);
    ASSERT_EQ(children.size(), 1u);
    const Node& appNode = children[0];
    EXPECT_EQ(appNode.location, app);
    EXPECT_EQ(appNode.parent, common->location);
    EXPECT_EQ(appNode.type, kTypeKey);
    std::vector<Node> entries = chain(b, appNode.value);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].nameText, std::string("Numbers\0", 8));
    EXPECT_EQ(entries[0].type, kTypeInt32Array);
    EXPECT_EQ(entries[0].valueLength, 8u);
    EXPECT_EQ(entries[0].down, 8u); // capacity
    EXPECT_EQ(b.substr(entries[0].value, 8), std::string("\x04\x03\x02\x01\x07\x00\x00\x00", 8));
    EXPECT_EQ(entries[1].nameText, std::string("Name\0", 5));
    EXPECT_EQ(entries[1].type, kTypeString);
    EXPECT_EQ(b.substr(entries[1].value, entries[1].valueLength), std::string("zov\0", 4));
    for (const Node& e : entries)
        EXPECT_EQ(e.parent, app);
}

// --- paths ----------------------------------------------------------------------------

TEST_F(RegistryFile, PathRules) {
    RKEY a = add(kKeyUsers, "default/prefs");
    EXPECT_EQ(add(kKeyUsers, "default/prefs/"), a);
    EXPECT_EQ(add(kKeyUsers, "/default/PREFS"), a);
    RKEY out = 0;
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "default//prefs", &out), kBadName);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "//default", &out), kBadName);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, " default", &out), kBadName);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "default ", &out), kBadName);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "de\tfault", &out), kBadName);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "", &out), kBadParameter);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, nullptr, &out), kBadParameter);
    EXPECT_EQ(NR_RegAddKey(h, kKeyRoot, "anything", &out), kBadParameter);
    RKEY rootOffset = 0;
    ASSERT_EQ(NR_RegGetKey(h, kKeyRoot, "", &rootOffset), kOk);
    EXPECT_EQ(NR_RegAddKey(h, rootOffset, "anything", &out), kBadParameter);
    // A new name with its NUL must stay below 512 bytes; a path segment may be 512
    // characters long, but no such key can exist.
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, std::string(510, 'n').c_str(), &out), kOk);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, std::string(511, 'n').c_str(), &out), kTooLong);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, std::string(512, 'n').c_str(), &out), kTooLong);
    EXPECT_EQ(NR_RegGetKey(h, kKeyUsers, std::string(512, 'n').c_str(), &out), kNotFound);
    EXPECT_EQ(NR_RegGetKey(h, kKeyUsers, std::string(513, 'n').c_str(), &out), kTooLong);
    EXPECT_EQ(NR_RegAddKey(h, kKeyUsers, "bad\xC3(", &out), kBadUtf8);
    // The Raw forms take one name as it is, slashes and all.
    RKEY raw = 0;
    EXPECT_EQ(NR_RegAddKeyRaw(h, kKeyUsers, "a/b", &raw), kOk);
    RKEY found = 0;
    EXPECT_EQ(NR_RegGetKeyRaw(h, kKeyUsers, "A/B", &found), kOk);
    EXPECT_EQ(found, raw);
    EXPECT_EQ(NR_RegGetKey(h, kKeyUsers, "a/b", &found), kNotFound);
}

TEST_F(RegistryFile, KeyHandlesAndCodes) {
    RKEY key = 0;
    for (RKEY code : {kKeyUsers, kKeyCommon, kKeyPrivateArenas, kKeyRoot, kKeyVersions})
        EXPECT_EQ(NR_RegGetKey(h, code, "", &key), kOk) << code;
    for (RKEY bad : {0u, 3u, 5u, 31u, 34u, 127u})
        EXPECT_EQ(NR_RegGetKey(h, bad, "", &key), kBadParameter) << bad;
    EXPECT_EQ(NR_RegGetKey(h, 200, "", &key), kBadLocation);
    EXPECT_EQ(NR_RegGetKey(h, 100000, "", &key), kShortRead);
}

// --- deleting --------------------------------------------------------------------------

TEST_F(RegistryFile, ProtectedKeysChildrenAndUnlinking) {
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, "Common"), kFail);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, "Users"), kFail);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, "Version Registry"), kFail);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, ""), kFail);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, "Private Arenas"), kOk);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyRoot, "Private Arenas"), kNotFound);

    RKEY a = add(kKeyCommon, "a");
    RKEY b = add(kKeyCommon, "a/b");
    RKEY c = add(kKeyCommon, "c");
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyCommon, "a"), kFail); // it has a child
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyCommon, "a/b"), kOk);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyCommon, "a"), kOk);
    // The deleted nodes stay in the file, marked, and out of their chains.
    const std::string bytes1 = bytes();
    EXPECT_EQ(node(bytes1, a).type, kTypeKey | kTypeDeleted);
    EXPECT_EQ(node(bytes1, b).type, kTypeKey | kTypeDeleted);
    EXPECT_EQ(walk(kKeyCommon, kEnumChildren), std::vector<std::string>{"c"});
    RKEY key = 0;
    EXPECT_EQ(NR_RegGetKey(h, a, "", &key), kDeleted);
    EXPECT_EQ(NR_RegDeleteKeyRaw(h, kKeyCommon, "C"), kOk);
    EXPECT_EQ(node(bytes(), c).type, kTypeKey | kTypeDeleted);
    EXPECT_EQ(walk(kKeyCommon, kEnumChildren).size(), 0u);
    EXPECT_NE(add(kKeyCommon, "a"), a); // added again as a new node
}

// --- entries ---------------------------------------------------------------------------

TEST_F(RegistryFile, ValueStaysInPlaceWhenItFitsAndMovesWhenItGrows) {
    RKEY key = add(kKeyCommon, "k");
    ASSERT_EQ(NR_RegSetEntry(h, key, "v", kTypeBytes, "0123456789", 10), kOk);
    const std::uint32_t valueAt = chain(bytes(), node(bytes(), key).value)[0].value;
    const std::size_t size = bytes().size();

    ASSERT_EQ(NR_RegSetEntry(h, key, "v", kTypeBytes, "abcdefgh", 8), kOk);
    Node e = chain(bytes(), node(bytes(), key).value)[0];
    EXPECT_EQ(e.value, valueAt);
    EXPECT_EQ(e.valueLength, 8u);
    EXPECT_EQ(e.down, 10u);
    EXPECT_EQ(bytes().size(), size);

    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    ASSERT_EQ(NR_RegSetEntry(h, key, "v", kTypeBytes, twenty.data(), 20), kOk);
    const std::string b = bytes();
    e = chain(b, node(b, key).value)[0];
    EXPECT_EQ(e.value, size);
    EXPECT_EQ(e.valueLength, 20u);
    EXPECT_EQ(e.down, 20u);
    EXPECT_EQ(b.size(), size + 20);
    EXPECT_EQ(b.substr(valueAt, 10), "abcdefgh89"); // the old space is left as it was

    char out[32] = {};
    std::uint32_t outSize = sizeof out;
    ASSERT_EQ(NR_RegGetEntry(h, key, "V", out, &outSize), kOk);
    EXPECT_EQ(outSize, 20u);
    EXPECT_EQ(std::string(out, 20), twenty);
}

TEST_F(RegistryFile, EntryTypesSizesAndErrors) {
    RKEY key = add(kKeyCommon, "k");
    ASSERT_EQ(NR_RegSetEntry(h, key, "raw", kTypeBytes, "0123456789", 10), kOk);
    char buffer[64];
    EXPECT_EQ(NR_RegGetEntryString(h, key, "raw", buffer, sizeof buffer), kWrongType);
    std::uint32_t size = 4;
    EXPECT_EQ(NR_RegGetEntry(h, key, "raw", buffer, &size), kBufferTooSmall);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(NR_RegSetEntry(h, key, "ints", kTypeInt32Array, "123456", 6), kBadParameter);
    EXPECT_EQ(NR_RegSetEntry(h, key, "text", kTypeString, "abc", 3), kBadParameter); // no NUL at the end
    EXPECT_EQ(NR_RegSetEntry(h, key, "odd", 0x15, "abc", 3), kWrongType);
    EXPECT_EQ(NR_RegSetEntry(h, key, "none", kTypeBytes, "abc", 0), kBadParameter);
    std::string big(32768, 'b');
    EXPECT_EQ(NR_RegSetEntry(h, key, "big", kTypeBytes, big.data(), 32768), kTooLong);
    EXPECT_EQ(NR_RegSetEntry(h, key, "big", kTypeBytes, big.data(), 32767), kOk);
    EXPECT_EQ(NR_RegSetEntryString(h, key, "bad", "\xFF"), kBadUtf8);
    EXPECT_EQ(NR_RegSetEntryString(h, key, "ctl\x01", "x"), kBadName);
    EXPECT_EQ(NR_RegSetEntryString(h, key, "", "x"), kBadParameter);
    EXPECT_EQ(NR_RegSetEntryString(h, 0, "x", "x"), kBadParameter);

    ASSERT_EQ(NR_RegSetEntryString(h, key, "text", "hello"), kOk);
    EXPECT_EQ(NR_RegGetEntryString(h, key, "text", buffer, 5), kBufferTooSmall);
    char exact[6];
    EXPECT_EQ(NR_RegGetEntryString(h, key, "text", exact, sizeof exact), kOk);
    EXPECT_STREQ(exact, "hello");
    REGINFO info{8, 0, 0};
    EXPECT_EQ(NR_RegGetEntryInfo(h, key, "TEXT", &info), kOk);
    EXPECT_EQ(info.entryType, kTypeString);
    EXPECT_EQ(info.entryLength, 6u);
    info.size = 12;
    EXPECT_EQ(NR_RegGetEntryInfo(h, key, "text", &info), kBadParameter);
    info.size = 8;
    EXPECT_EQ(NR_RegGetEntryInfo(h, key, "missing", &info), kNotFound);
    // A string replaced by raw bytes takes the new type.
    ASSERT_EQ(NR_RegSetEntry(h, key, "text", kTypeBytes, "xy", 2), kOk);
    EXPECT_EQ(NR_RegGetEntryString(h, key, "text", buffer, sizeof buffer), kWrongType);

    EXPECT_EQ(NR_RegDeleteEntry(h, key, "raw"), kOk);
    EXPECT_EQ(NR_RegDeleteEntry(h, key, "raw"), kNotFound);
    EXPECT_EQ(NR_RegGetEntryString(h, key, "raw", buffer, sizeof buffer), kNotFound);
}

TEST_F(RegistryFile, ArraysAreStoredLittleEndianAndReadNative) {
    RKEY key = add(kKeyCommon, "k");
    std::int32_t in[3] = {-1, 0x12345678, 42};
    ASSERT_EQ(NR_RegSetEntry(h, key, "a", kTypeInt32Array, in, sizeof in), kOk);
    std::int32_t out[3] = {};
    std::uint32_t size = sizeof out;
    ASSERT_EQ(NR_RegGetEntry(h, key, "a", out, &size), kOk);
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
    Node e = chain(bytes(), node(bytes(), key).value)[0];
    EXPECT_EQ(bytes().substr(e.value + 4, 4), "\x78\x56\x34\x12");
}

TEST_F(RegistryFile, EnumeratingEntries) {
    RKEY key = add(kKeyCommon, "k");
    ASSERT_EQ(NR_RegSetEntryString(h, key, "first", "1"), kOk);
    ASSERT_EQ(NR_RegSetEntry(h, key, "second", kTypeBytes, "22", 2), kOk);
    REGENUM state = 0;
    char name[32];
    REGINFO info{8, 0, 0};
    ASSERT_EQ(NR_RegEnumEntries(h, key, &state, name, sizeof name, &info), kOk);
    EXPECT_STREQ(name, "second");
    EXPECT_EQ(info.entryType, kTypeBytes);
    EXPECT_EQ(info.entryLength, 2u);
    ASSERT_EQ(NR_RegEnumEntries(h, key, &state, name, sizeof name, nullptr), kOk);
    EXPECT_STREQ(name, "first");
    REGENUM last = state;
    EXPECT_EQ(NR_RegEnumEntries(h, key, &state, name, sizeof name, nullptr), kNoMore);
    EXPECT_EQ(state, last);
    REGENUM fresh = 0;
    EXPECT_EQ(NR_RegEnumEntries(h, key, &fresh, name, 6, nullptr), kBufferTooSmall);
    EXPECT_EQ(fresh, 0u);
    EXPECT_EQ(NR_RegEnumEntries(h, add(kKeyCommon, "empty"), &fresh, name, sizeof name, nullptr), kNoMore);
}

// --- walks -----------------------------------------------------------------------------

TEST_F(RegistryFile, TheThreeWalkStyles) {
    RKEY start = add(kKeyCommon, "t");
    add(start, "w");
    add(start, "x");
    add(start, "x/y");
    add(start, "x/z");
    EXPECT_EQ(walk(start, kEnumChildren), (std::vector<std::string>{"x", "w"}));
    EXPECT_EQ(walk(start, kEnumDescend), (std::vector<std::string>{"x", "x/z", "x/y", "w"}));
    EXPECT_EQ(walk(start, kEnumDepthFirst), (std::vector<std::string>{"x/z", "x/y", "x", "w"}));
    REGERR end = kOk;
    walk(add(kKeyCommon, "leaf"), kEnumDescend, &end);
    EXPECT_EQ(end, kNoMore);
    REGENUM state = 0;
    char buffer[16] = {};
    EXPECT_EQ(NR_RegEnumSubkeys(h, start, &state, buffer, sizeof buffer, 3), kBadParameter);
}

TEST_F(RegistryFile, WalkPathThatDoesNotFitLeavesTheBufferAndState) {
    RKEY start = add(kKeyCommon, "t");
    add(start, "parent/child");
    REGENUM state = 0;
    char buffer[10] = {};
    ASSERT_EQ(NR_RegEnumSubkeys(h, start, &state, buffer, sizeof buffer, kEnumDescend), kOk);
    EXPECT_STREQ(buffer, "parent");
    REGENUM before = state;
    EXPECT_EQ(NR_RegEnumSubkeys(h, start, &state, buffer, sizeof buffer, kEnumDescend), kBufferTooSmall);
    EXPECT_STREQ(buffer, "parent");
    EXPECT_EQ(state, before);
}

// --- opening ---------------------------------------------------------------------------

TEST_F(RegistryFile, RefusesOtherFilesAndNewerVersions) {
    std::string notRegistry(200, 'x');
    EXPECT_EQ(openImage(notRegistry), kBadMagic);
    ImageBuilder img;
    std::uint32_t root = img.key("/", 0, 0);
    EXPECT_EQ(openImage(img.finish(root, 2)), kBadVersion);
    // Version 1.2's own bytes, a smaller major number, open.
    ImageBuilder older;
    std::uint32_t olderRoot = older.key("/", 0, 0);
    EXPECT_EQ(openImage(older.finish(olderRoot, 0)), kOk);
    RKEY k = 0;
    EXPECT_EQ(NR_RegOpen("C:\\Missing\\x.reg", &h), kNoFile);
    EXPECT_EQ(NR_RegOpen("C:\\Data", &h), kFail);
    EXPECT_EQ(NR_RegOpen(path.c_str(), nullptr), kBadParameter);
    (void)k;
}

TEST_F(RegistryFile, ReadOnlyFileOpensForReading) {
    RKEY key = add(kKeyCommon, "k");
    ASSERT_EQ(NR_RegSetEntryString(h, key, "v", "kept"), kOk);
    ASSERT_EQ(NR_RegClose(h), kOk);
    sim.files.readOnlyPrefixes.push_back("C:\\Data");
    const std::string before = bytes();
    ASSERT_EQ(NR_RegOpen(path.c_str(), &h), kOk);
    EXPECT_EQ(NR_RegIsWritable(h), kReadOnly);
    EXPECT_EQ(text(key, "v"), "kept");
    RKEY out = 0;
    EXPECT_EQ(NR_RegAddKey(h, kKeyCommon, "new", &out), kReadOnly);
    EXPECT_EQ(NR_RegAddKey(h, kKeyCommon, "k", &out), kOk); // finding needs no write
    EXPECT_EQ(NR_RegSetEntryString(h, key, "v", "x"), kReadOnly);
    EXPECT_EQ(NR_RegDeleteEntry(h, key, "v"), kReadOnly);
    EXPECT_EQ(NR_RegDeleteKey(h, kKeyCommon, "k"), kReadOnly);
    EXPECT_EQ(bytes(), before);
    // An empty file in a read-only place cannot be made a registry file.
    ASSERT_EQ(NR_RegClose(h), kOk);
    sim.files.writeText("C:\\Data\\empty.reg", "");
    EXPECT_EQ(NR_RegOpen("C:\\Data\\empty.reg", &h), kReadOnly);
    EXPECT_EQ(NR_RegOpen("C:\\Data\\absent.reg", &h), kFail);
    h = nullptr;
}

TEST_F(RegistryFile, AvailIsRepairedToTheRealLength) {
    std::string b = bytes();
    const std::uint32_t length = static_cast<std::uint32_t>(b.size());
    put32(b, 8, 10000); // past the end
    ASSERT_EQ(openImage(b), kOk);
    EXPECT_EQ(le32(bytes(), 8), length);
    RKEY key = add(kKeyCommon, "k");
    EXPECT_EQ(key, length + 2); // the name "k", then its descriptor, at the end
}

TEST_F(RegistryFile, HeaderIsReadAgainOnEveryCall) {
    // Another process appends a key and moves avail: the next key goes after it.
    RKEY common = 0;
    ASSERT_EQ(NR_RegGetKey(h, kKeyCommon, "", &common), kOk);
    std::string b = bytes();
    b += std::string(100, '\0');
    put32(b, 8, static_cast<std::uint32_t>(b.size()));
    sim.files.writeText(path, b);
    RKEY key = add(kKeyCommon, "later");
    EXPECT_EQ(key, b.size() + 6);
    // A header that another process damaged is reported, not used.
    std::string damaged = bytes();
    damaged[0] = 'X';
    sim.files.writeText(path, damaged);
    RKEY out = 0;
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "later", &out), kBadMagic);
}

TEST_F(RegistryFile, FilesAreSharedByNameAndCounted) {
    HREG second = nullptr;
    ASSERT_EQ(NR_RegOpen("c:\\data\\TEST.REG", &second), kOk);
    EXPECT_NE(second, h);
    EXPECT_EQ(regFiles.openFiles, 1);
    RKEY key = add(kKeyCommon, "shared");
    RKEY seen = 0;
    EXPECT_EQ(NR_RegGetKey(second, kKeyCommon, "shared", &seen), kOk);
    EXPECT_EQ(seen, key);
    ASSERT_EQ(NR_RegClose(h), kOk);
    EXPECT_EQ(NR_RegClose(h), kBadMagic);
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "shared", &seen), kBadMagic);
    EXPECT_EQ(NR_RegGetKey(second, kKeyCommon, "shared", &seen), kOk);
    EXPECT_EQ(regFiles.openFiles, 1);
    ASSERT_EQ(NR_RegClose(second), kOk);
    EXPECT_EQ(regFiles.openFiles, 0);
    int notAHandle = 0;
    EXPECT_EQ(NR_RegIsWritable(&notAHandle), kBadMagic);
    EXPECT_EQ(NR_RegClose(nullptr), kBadMagic);
    h = nullptr;
}

TEST_F(RegistryFile, StartupShutdownDefaultNameAndUserName) {
    HREG other = nullptr;
    EXPECT_EQ(NR_RegOpen(nullptr, &other), kBadParameter); // no default name yet
    EXPECT_EQ(NR_StartupRegistry(), kOk);
    EXPECT_EQ(NR_StartupRegistry(), kOk);
    ASSERT_EQ(NR_RegOpen("", &other), kOk);
    EXPECT_TRUE(sim.files.fileExists("C:\\Windows\\mozregistry.dat"));

    char* name = nullptr;
    ASSERT_EQ(NR_RegGetUsername(&name), kOk);
    EXPECT_STREQ(name, "default");
    std::free(name);
    EXPECT_EQ(NR_RegSetUsername(""), kBadParameter);
    EXPECT_EQ(NR_RegSetUsername("bob"), kOk);
    ASSERT_EQ(NR_RegGetUsername(&name), kOk);
    EXPECT_STREQ(name, "bob");
    std::free(name);
    EXPECT_EQ(NR_RegGetUsername(nullptr), kBadParameter);

    // The first shut-down only counts; the last closes every file and forgets the name.
    EXPECT_EQ(NR_ShutdownRegistry(), kOk);
    EXPECT_EQ(NR_RegIsWritable(other), kOk);
    EXPECT_EQ(NR_ShutdownRegistry(), kOk);
    EXPECT_EQ(NR_RegIsWritable(other), kBadMagic);
    EXPECT_EQ(NR_RegIsWritable(h), kBadMagic);
    EXPECT_EQ(regFiles.openFiles, 0);
    ASSERT_EQ(NR_RegGetUsername(&name), kOk);
    EXPECT_STREQ(name, "default");
    std::free(name);
    h = nullptr;
}

// --- damage ----------------------------------------------------------------------------

TEST_F(RegistryFile, LoopsInChainsEndTheWalk) {
    RKEY a = add(kKeyCommon, "a");
    RKEY b = add(kKeyCommon, "b");
    ASSERT_EQ(NR_RegSetEntryString(h, b, "e1", "1"), kOk);
    ASSERT_EQ(NR_RegSetEntryString(h, b, "e2", "2"), kOk);
    std::string image = bytes();
    put32(image, a + 12, b); // a's next sibling is b again: b -> a -> b -> ...
    Node first = node(image, node(image, b).value);
    put32(image, first.left + 12, first.location); // the entries loop the same way
    sim.files.writeText(path, image);

    RKEY out = 0;
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "missing", &out), kFail);
    EXPECT_EQ(NR_RegAddKey(h, kKeyCommon, "missing", &out), kFail);
    for (std::uint32_t style : {kEnumChildren, kEnumDescend, kEnumDepthFirst}) {
        REGERR end = kOk;
        std::vector<std::string> seen = walk(kKeyCommon, style, &end);
        EXPECT_EQ(end, kFail) << style;
        EXPECT_LE(seen.size(), 2u) << style;
    }
    char buffer[600];
    EXPECT_EQ(NR_RegGetEntryString(h, b, "missing", buffer, sizeof buffer), kFail);
    REGENUM state = 0;
    int entries = 0;
    while (NR_RegEnumEntries(h, b, &state, buffer, sizeof buffer, nullptr) == kOk && entries < 10)
        ++entries;
    EXPECT_EQ(entries, 2);

    put32(image, a + 12, a); // a names itself
    sim.files.writeText(path, image);
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "missing", &out), kFail);
}

TEST_F(RegistryFile, DamagedDescriptorsAndNames) {
    RKEY a = add(kKeyCommon, "a");
    RKEY b = add(kKeyCommon, "b");
    std::string image = bytes();
    put32(image, b + 12, a + 1); // a link that misses a's descriptor
    sim.files.writeText(path, image);
    RKEY out = 0;
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "a", &out), kBadLocation);

    image = bytes();
    put32(image, b + 12, a);
    image[b + 8] = 0x20; // name length 544: more than any name
    image[b + 9] = 0x02;
    sim.files.writeText(path, image);
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "a", &out), kBufferTooSmall);

    image[b + 8] = 2;
    image[b + 9] = 0;
    image[b + 10] = static_cast<char>(kTypeKey | kTypeDeleted);
    sim.files.writeText(path, image);
    EXPECT_EQ(NR_RegGetKey(h, kKeyCommon, "a", &out), kDeleted);
}

TEST_F(RegistryFile, DamagedValueSpaceIsNotOverwritten) {
    RKEY key = add(kKeyCommon, "k");
    ASSERT_EQ(NR_RegSetEntry(h, key, "v", kTypeBytes, "0123456789", 10), kOk);
    std::string image = bytes();
    Node e = chain(image, node(image, key).value)[0];
    put32(image, e.location + 20, 0);    // the value "lives" in the header
    put32(image, e.location + 16, 1000); // with room to spare
    sim.files.writeText(path, image);
    ASSERT_EQ(NR_RegSetEntry(h, key, "v", kTypeBytes, "abc", 3), kOk);
    const std::string after = bytes();
    EXPECT_EQ(after.substr(0, 16), image.substr(0, 8) + after.substr(8, 8)); // only avail moved
    EXPECT_EQ(le32(after, 0), 0x76644441u);
    e = chain(after, node(after, key).value)[0];
    EXPECT_EQ(e.value, image.size());
}

TEST_F(RegistryFile, AFailedWriteNeverLeavesAHalfLinkedNode) {
    // Each run lets one more write through before the disk fails, then checks that the
    // file still reads whole: the new key and entry are there completely or not at all.
    const std::string original = bytes();
    ASSERT_EQ(NR_RegClose(h), kOk);
    h = nullptr;
    for (int allowed = 0; allowed < 20; ++allowed) {
        sim.files.writeText(path, original);
        ASSERT_EQ(NR_RegOpen(path.c_str(), &h), kOk);
        regFiles.writesBeforeFailure = allowed;
        RKEY key = 0;
        REGERR added = NR_RegAddKey(h, kKeyCommon, "app/settings", &key);
        REGERR stored = added == kOk ? NR_RegSetEntryString(h, key, "name", "value") : added;
        regFiles.writesBeforeFailure.reset();
        ASSERT_EQ(NR_RegClose(h), kOk);
        ASSERT_EQ(NR_RegOpen(path.c_str(), &h), kOk);

        REGERR end = kOk;
        std::vector<std::string> keys = walk(kKeyCommon, kEnumDescend, &end);
        EXPECT_EQ(end, kNoMore) << allowed;
        RKEY found = 0;
        REGERR lookup = NR_RegGetKey(h, kKeyCommon, "app/settings", &found);
        if (added == kOk) {
            EXPECT_EQ(lookup, kOk) << allowed;
        }
        if (lookup == kOk) {
            std::string value = text(found, "name");
            EXPECT_TRUE(value == "value" || value == "<error 3>") << allowed << ": " << value;
            if (stored == kOk) {
                EXPECT_EQ(value, "value") << allowed;
            }
        }
        ASSERT_EQ(NR_RegClose(h), kOk);
        h = nullptr;
    }
}

// --- the C library's files -----------------------------------------------------------

TEST(RegistryHostFile, CreatesReopensAndRefusesAMissingFolder) {
    zov::reg::setFileOps(nullptr);
    auto dir = std::filesystem::temp_directory_path() / ("zov-reg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "host.reg").string();
    HREG h = nullptr;
    ASSERT_EQ(NR_RegOpen(file.c_str(), &h), kOk);
    RKEY key = 0;
    ASSERT_EQ(NR_RegAddKey(h, kKeyUsers, "default/prefs", &key), kOk);
    ASSERT_EQ(NR_RegSetEntryString(h, key, "colour", "blue"), kOk);
    ASSERT_EQ(NR_RegClose(h), kOk);
    EXPECT_EQ(std::filesystem::file_size(file),
              128u + 2 + 6 + 7 + 17 + 15 + 5 * 32 + 8 + 6 + 64 + 7 + 5 + 32);
    ASSERT_EQ(NR_RegOpen(file.c_str(), &h), kOk);
    ASSERT_EQ(NR_RegGetKey(h, kKeyRoot, "Users/default/prefs", &key), kOk);
    char value[16];
    EXPECT_EQ(NR_RegGetEntryString(h, key, "colour", value, sizeof value), kOk);
    EXPECT_STREQ(value, "blue");
    ASSERT_EQ(NR_RegClose(h), kOk);
    EXPECT_EQ(NR_RegOpen((dir / "no" / "such.reg").string().c_str(), &h), kNoFile);
    std::filesystem::remove_all(dir);
    NR_ShutdownRegistry();
}

} // namespace
