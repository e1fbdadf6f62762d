#include "registry/reg_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>

namespace zov::reg {
namespace {

IoStatus statusOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return IoStatus::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return IoStatus::AccessDenied;
    default:
        return IoStatus::Failed;
    }
}

std::FILE* asFile(IoFile* file) {
    return reinterpret_cast<std::FILE*>(file);
}

// No stream buffer: another process appending to the file must see our writes at once,
// and every read goes to the file, as each call re-reads what it needs.
IoFile* unbuffered(std::FILE* f) {
    std::setvbuf(f, nullptr, _IONBF, 0);
    return reinterpret_cast<IoFile*>(f);
}

IoFile* stdioOpenReadWrite(const char* path, IoStatus* status) {
    errno = 0;
    if (std::FILE* f = std::fopen(path, "r+b")) {
        *status = IoStatus::Ok;
        return unbuffered(f);
    }
    IoStatus first = statusOf(errno);
    if (first != IoStatus::NotFound) {
        *status = first;
        return nullptr;
    }
    errno = 0;
    if (std::FILE* f = std::fopen(path, "w+b")) {
        *status = IoStatus::Ok;
        return unbuffered(f);
    }
    *status = statusOf(errno);
    return nullptr;
}

IoFile* stdioOpenReadOnly(const char* path, IoStatus* status) {
    errno = 0;
    if (std::FILE* f = std::fopen(path, "rb")) {
        *status = IoStatus::Ok;
        return unbuffered(f);
    }
    *status = statusOf(errno);
    return nullptr;
}

bool seekTo(std::FILE* f, std::uint32_t offset) {
    if (offset > static_cast<std::uint32_t>(LONG_MAX))
        return false;
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0;
}

long stdioReadAt(IoFile* file, std::uint32_t offset, void* data, std::uint32_t size) {
    std::FILE* f = asFile(file);
    if (!seekTo(f, offset))
        return -1;
    std::size_t got = std::fread(data, 1, size, f);
    if (got < size && std::ferror(f)) {
        std::clearerr(f);
        return -1;
    }
    std::clearerr(f);
    return static_cast<long>(got);
}

bool stdioWriteAt(IoFile* file, std::uint32_t offset, const void* data, std::uint32_t size) {
    std::FILE* f = asFile(file);
    if (!seekTo(f, offset))
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    std::clearerr(f);
    return ok;
}

bool stdioLength(IoFile* file, std::uint32_t* size) {
    std::FILE* f = asFile(file);
    if (std::fseek(f, 0, SEEK_END) != 0)
        return false;
    long end = std::ftell(f);
    if (end < 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul)
        return false;
    *size = static_cast<std::uint32_t>(end);
    return true;
}

void stdioClose(IoFile* file) {
    std::fclose(asFile(file));
}

bool stdioFileExists(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr)
        return false;
    // A folder opens on some C libraries; it reads as an error.
    char probe;
    bool isFile = std::fread(&probe, 1, 1, f) == 1 || !std::ferror(f);
    std::fclose(f);
    return isFile;
}

const FileOps* gOps = nullptr;
WindowsFolderSource gWindowsFolder = nullptr;

} // namespace

const FileOps kStdioFileOps = {stdioOpenReadWrite, stdioOpenReadOnly, stdioReadAt,    stdioWriteAt,
                               stdioLength,        stdioClose,        stdioFileExists};

void setFileOps(const FileOps* ops) {
    gOps = ops;
}

const FileOps& fileOps() {
    return gOps != nullptr ? *gOps : kStdioFileOps;
}

void setWindowsFolderSource(WindowsFolderSource source) {
    gWindowsFolder = source;
}

bool windowsFolder(char* buffer, std::size_t size) {
    if (gWindowsFolder == nullptr || buffer == nullptr || size == 0)
        return false;
    buffer[0] = '\0';
    return gWindowsFolder(buffer, size) && buffer[0] != '\0';
}

} // namespace zov::reg
