// Registry file figures: 10,000 keys with one entry each added, read back and walked in the
// three styles, on the library's real file access and on two others for comparison.
//   registry_bench <scratch folder>
// Prints figures only; asserts nothing.
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace zov::reg;
using Clock = std::chrono::steady_clock;

namespace {

// --- counting wrapper around the standard (unbuffered C library) file access -------------

struct Counts {
    long long reads = 0, writes = 0, readBytes = 0;
} gCounts;

IoFile* countOpenRw(const char* p, IoStatus* s) {
    return kStdioFileOps.openReadWrite(p, s);
}
IoFile* countOpenRo(const char* p, IoStatus* s) {
    return kStdioFileOps.openReadOnly(p, s);
}
long countRead(IoFile* f, std::uint32_t o, void* d, std::uint32_t n) {
    ++gCounts.reads;
    gCounts.readBytes += n;
    return kStdioFileOps.readAt(f, o, d, n);
}
bool countWrite(IoFile* f, std::uint32_t o, const void* d, std::uint32_t n) {
    ++gCounts.writes;
    return kStdioFileOps.writeAt(f, o, d, n);
}
const FileOps kCountingStdio = {countOpenRw,
                                countOpenRo,
                                countRead,
                                countWrite,
                                kStdioFileOps.length,
                                kStdioFileOps.close,
                                kStdioFileOps.fileExists};

// --- what reading more per call would give: each miss reads the 4 KB that end at the
// requested bytes, so a name (written just before its descriptor) and nearby older nodes
// come with it. Nothing is kept across a write.

struct Window {
    IoFile* file = nullptr;
    std::uint32_t start = 0;
    std::vector<char> bytes;
} gWindow;

constexpr std::uint32_t kWindow = 4096;

long cachedRead(IoFile* f, std::uint32_t o, void* d, std::uint32_t n) {
    ++gCounts.reads;
    gCounts.readBytes += n;
    bool hit = gWindow.file == f && o >= gWindow.start && o + n <= gWindow.start + gWindow.bytes.size();
    if (!hit) {
        std::uint32_t end = o + n;
        std::uint32_t start = end > std::max(kWindow, n) ? end - std::max(kWindow, n) : 0;
        gWindow.file = f;
        gWindow.start = start;
        gWindow.bytes.resize(end - start);
        long got = kStdioFileOps.readAt(f, start, gWindow.bytes.data(), end - start);
        if (got < 0) {
            gWindow.file = nullptr;
            return -1;
        }
        gWindow.bytes.resize(static_cast<std::size_t>(got));
        if (o >= start + got)
            return 0;
        if (o + n > start + got) {
            std::size_t part = start + got - o;
            std::memcpy(d, gWindow.bytes.data() + (o - start), part);
            return static_cast<long>(part);
        }
    }
    std::memcpy(d, gWindow.bytes.data() + (o - gWindow.start), n);
    return n;
}
bool cachedWrite(IoFile* f, std::uint32_t o, const void* d, std::uint32_t n) {
    ++gCounts.writes;
    gWindow.file = nullptr; // written through; the window is read again
    return kStdioFileOps.writeAt(f, o, d, n);
}
const FileOps kCachedStdio = {countOpenRw,
                              countOpenRo,
                              cachedRead,
                              cachedWrite,
                              kStdioFileOps.length,
                              kStdioFileOps.close,
                              kStdioFileOps.fileExists};

// --- no file at all: the library's own work -----------------------------------------------

std::vector<char> gMemory;
int gMemoryFile;
IoFile* memOpen(const char*, IoStatus* s) {
    *s = IoStatus::Ok;
    return reinterpret_cast<IoFile*>(&gMemoryFile);
}
long memRead(IoFile*, std::uint32_t o, void* d, std::uint32_t n) {
    ++gCounts.reads;
    gCounts.readBytes += n;
    if (o >= gMemory.size())
        return 0;
    std::size_t got = std::min<std::size_t>(n, gMemory.size() - o);
    std::memcpy(d, gMemory.data() + o, got);
    return static_cast<long>(got);
}
bool memWrite(IoFile*, std::uint32_t o, const void* d, std::uint32_t n) {
    ++gCounts.writes;
    if (gMemory.size() < o + n)
        gMemory.resize(o + n);
    std::memcpy(gMemory.data() + o, d, n);
    return true;
}
bool memLength(IoFile*, std::uint32_t* n) {
    *n = static_cast<std::uint32_t>(gMemory.size());
    return true;
}
void memClose(IoFile*) {}
bool memExists(const char*) {
    return false;
}
const FileOps kMemory = {memOpen, memOpen, memRead, memWrite, memLength, memClose, memExists};

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string keyPath(int parents, int i) {
    char path[64];
    if (parents == 1)
        std::snprintf(path, sizeof path, "bench/k%05d", i);
    else
        std::snprintf(path, sizeof path, "bench/p%03d/k%05d", i % parents, i);
    return path;
}

struct Phase {
    const char* name;
    long long ops;
    double secs;
    Counts io;
};

void print(const char* backend, const Phase& p, double baselinePerSec) {
    double perSec = p.ops / p.secs;
    std::printf("  %-22s %-14s %10.0f ops/s  %7.2f s  %6.1f reads/op  %5.1f writes/op  %6.0f x the map\n",
                backend, p.name, perSec, p.secs, double(p.io.reads) / p.ops, double(p.io.writes) / p.ops,
                baselinePerSec / perSec);
}

Phase timed(const char* name, long long ops, auto&& body) {
    gCounts = {};
    auto t = Clock::now();
    body();
    return {name, ops, seconds(t), gCounts};
}

// Adds `count` keys (spread over `parents` parent keys), reads them back, walks them.
std::vector<Phase> run(const std::string& file, int count, int parents, bool walks) {
    std::remove(file.c_str());
    gMemory.clear();
    HREG h = nullptr;
    std::vector<Phase> phases;
    if (NR_RegOpen(file.c_str(), &h) != kOk) {
        std::printf("cannot open %s\n", file.c_str());
        return phases;
    }
    phases.push_back(timed("add key+entry", count, [&] {
        for (int i = 0; i < count; ++i) {
            RKEY key = 0;
            char value[32];
            std::snprintf(value, sizeof value, "value %d", i);
            if (NR_RegAddKey(h, kKeyCommon, keyPath(parents, i).c_str(), &key) != kOk ||
                NR_RegSetEntryString(h, key, "v", value) != kOk)
                std::printf("add failed at %d\n", i);
        }
    }));
    phases.push_back(timed("read back", count, [&] {
        for (int i = 0; i < count; ++i) {
            RKEY key = 0;
            char value[32];
            if (NR_RegGetKey(h, kKeyCommon, keyPath(parents, i).c_str(), &key) != kOk ||
                NR_RegGetEntryString(h, key, "v", value, sizeof value) != kOk)
                std::printf("read failed at %d\n", i);
        }
    }));
    if (walks) {
        RKEY bench = 0;
        NR_RegGetKey(h, kKeyCommon, "bench", &bench);
        const char* names[] = {"walk children", "walk descend", "walk depth"};
        for (std::uint32_t style : {kEnumChildren, kEnumDescend, kEnumDepthFirst}) {
            long long nodes = 0;
            Phase p = timed(names[style], 1, [&] {
                if (style == kEnumChildren) {
                    // Children of every parent: each key once.
                    REGENUM ps = 0;
                    char parent[600] = {};
                    while (NR_RegEnumSubkeys(h, bench, &ps, parent, sizeof parent, kEnumChildren) == kOk) {
                        REGENUM cs = 0;
                        char child[600] = {};
                        while (NR_RegEnumSubkeys(h, ps, &cs, child, sizeof child, kEnumChildren) == kOk)
                            ++nodes;
                        ++nodes;
                    }
                } else {
                    REGENUM s = 0;
                    char path[600] = {};
                    while (NR_RegEnumSubkeys(h, bench, &s, path, sizeof path, style) == kOk)
                        ++nodes;
                }
            });
            p.ops = nodes;
            phases.push_back(p);
        }
    }
    NR_RegClose(h);
    return phases;
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    const std::string file = dir + "/bench.reg";
    const int count = 10000, parents = 100;

    // The floor: the same keys in a std::map.
    std::map<std::string, std::string> map;
    auto t = Clock::now();
    for (int i = 0; i < count; ++i)
        map[keyPath(parents, i)] = "value " + std::to_string(i);
    std::size_t found = 0;
    for (int i = 0; i < count; ++i)
        found += map.count(keyPath(parents, i));
    double mapPerSec = 2.0 * count / seconds(t);
    std::printf("Registry file: %d keys in %d parent keys, one text entry each (%zu found in the map)\n",
                count, parents, found);
    std::printf("  %-22s %-14s %10.0f ops/s\n", "baseline std::map", "add+read", mapPerSec);

    struct Backend {
        const char* name;
        const FileOps* ops;
    } backends[] = {{"unbuffered file (real)", &kCountingStdio},
                    {"4 KB reads (what-if)", &kCachedStdio},
                    {"memory, no file", &kMemory}};
    for (const Backend& b : backends) {
        setFileOps(b.ops);
        for (const Phase& p : run(b.ops == &kMemory ? "memory" : file, count, parents, true))
            print(b.name, p, mapPerSec);
    }

    // One parent holding every key: each lookup walks the whole sibling chain.
    std::printf("Flat: every key under one parent (unbuffered file)\n");
    setFileOps(&kCountingStdio);
    for (int n : {500, 1000}) {
        std::vector<Phase> phases = run(file, n, 1, false);
        for (const Phase& p : phases) {
            char label[40];
            std::snprintf(label, sizeof label, "%d keys", n);
            print(label, p, mapPerSec);
        }
    }
    setFileOps(nullptr);
    NR_ShutdownRegistry();
    std::remove(file.c_str());
    return 0;
}
