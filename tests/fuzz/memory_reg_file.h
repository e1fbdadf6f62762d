// The one registry file of the registry fuzz targets, held in memory: the library reaches it
// through its file access table, so an input never touches the disk and every run starts
// from exactly the bytes it was given.
//
//   zov::fuzz::MemoryRegFile::image.assign(data, data + size);
//   zov::reg::setFileOps(&zov::fuzz::MemoryRegFile::ops);
#pragma once

#include "registry/reg_io.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zov::fuzz {

struct MemoryRegFile {
    static inline std::vector<unsigned char> image;

    // A new file's header area counts as part of it: the library writes the header last.
    static constexpr std::size_t kHeaderArea = 128;
    // A write that would grow the file by more than this fails, as a full disk would.
    static constexpr std::size_t kMaxGrowth = 1 << 20;

    static zov::reg::IoFile* open(const char*, zov::reg::IoStatus* status) {
        *status = zov::reg::IoStatus::Ok;
        return reinterpret_cast<zov::reg::IoFile*>(&image); // the address is the handle
    }

    static long readAt(zov::reg::IoFile*, std::uint32_t offset, void* data, std::uint32_t size) {
        if (offset >= image.size())
            return 0;
        std::size_t n = std::min<std::size_t>(size, image.size() - offset);
        std::memcpy(data, image.data() + offset, n);
        return static_cast<long>(n);
    }

    // A write must start inside the file or at its end: one past it is a fault of the
    // library (it would leave a hole of whatever the disk held), so it stops the run.
    static bool writeAt(zov::reg::IoFile*, std::uint32_t offset, const void* data, std::uint32_t size) {
        if (offset > std::max(image.size(), kHeaderArea))
            __builtin_trap();
        std::size_t end = static_cast<std::size_t>(offset) + size;
        if (end > image.size() + kMaxGrowth)
            return false;
        if (image.size() < end)
            image.resize(end);
        std::memcpy(image.data() + offset, data, size);
        return true;
    }

    static bool length(zov::reg::IoFile*, std::uint32_t* size) {
        *size = static_cast<std::uint32_t>(image.size());
        return true;
    }

    static void close(zov::reg::IoFile*) {}

    // No file but the registry exists (the version registry asks about the files it lists).
    static bool exists(const char*) { return false; }

    static constexpr zov::reg::FileOps ops = {open, open, readAt, writeAt, length, close, exists};
};

} // namespace zov::fuzz
