#include "sim/sim_registry_files.h"

#include "registry/reg_io.h"
#include "registry/registry.h"

#include <cstring>

namespace zov::sim {
namespace {

SimRegistryFiles* gActive = nullptr;

struct SimIoFile {
    std::string path;
    std::string key; // the file's path key, made once: the library reads a few bytes at a time
};

SimIoFile* asSim(reg::IoFile* file) {
    return reinterpret_cast<SimIoFile*>(file);
}

reg::IoFile* opened(const char* path) {
    ++gActive->opens;
    ++gActive->openFiles;
    return reinterpret_cast<reg::IoFile*>(new SimIoFile{path, pathKey(path)});
}

reg::IoFile* openReadWrite(const char* path, reg::IoStatus* status) {
    SimFileSystem& fs = gActive->files;
    std::string parent = parentOf(normalizePath(path));
    if (fs.isDirectory(path) || fs.isReadOnly(path)) {
        *status = fs.fileExists(path) || fs.isDirectory(path) || fs.isDirectory(parent)
                      ? reg::IoStatus::AccessDenied
                      : reg::IoStatus::NotFound;
        return nullptr;
    }
    if (!fs.fileExists(path)) {
        if (parent.empty() || !fs.isDirectory(parent)) {
            *status = reg::IoStatus::NotFound;
            return nullptr;
        }
        fs.store(path, "");
    }
    *status = reg::IoStatus::Ok;
    return opened(path);
}

reg::IoFile* openReadOnly(const char* path, reg::IoStatus* status) {
    if (!gActive->files.fileExists(path)) {
        *status = gActive->files.isDirectory(path) ? reg::IoStatus::AccessDenied : reg::IoStatus::NotFound;
        return nullptr;
    }
    *status = reg::IoStatus::Ok;
    return opened(path);
}

long readAt(reg::IoFile* file, std::uint32_t offset, void* data, std::uint32_t size) {
    ++gActive->reads;
    const SimFileSystem::File* f = gActive->files.fileByKey(asSim(file)->key);
    if (f == nullptr)
        return -1;
    if (offset >= f->bytes.size())
        return 0;
    std::size_t n = std::min<std::size_t>(size, f->bytes.size() - offset);
    std::memcpy(data, f->bytes.data() + offset, n);
    return static_cast<long>(n);
}

bool writeAt(reg::IoFile* file, std::uint32_t offset, const void* data, std::uint32_t size) {
    ++gActive->writes;
    if (gActive->writesBeforeFailure) {
        if (*gActive->writesBeforeFailure <= 0)
            return false;
        --*gActive->writesBeforeFailure;
    }
    const std::string& path = asSim(file)->path;
    if (gActive->files.isReadOnly(path))
        return false;
    SimFileSystem::File* f = gActive->files.fileByKey(asSim(file)->key);
    if (f == nullptr) {
        gActive->files.store(path, "");
        f = gActive->files.fileByKey(asSim(file)->key);
    }
    if (f->bytes.size() < offset + size)
        f->bytes.resize(offset + size, '\0');
    std::memcpy(f->bytes.data() + offset, data, size);
    return true;
}

bool length(reg::IoFile* file, std::uint32_t* size) {
    const SimFileSystem::File* f = gActive->files.fileByKey(asSim(file)->key);
    if (f == nullptr)
        return false;
    *size = static_cast<std::uint32_t>(f->bytes.size());
    return true;
}

void close(reg::IoFile* file) {
    --gActive->openFiles;
    delete asSim(file);
}

bool fileExists(const char* path) {
    return gActive->files.fileExists(path);
}

bool windowsFolder(char* buffer, std::size_t size) {
    const std::string& folder = gActive->windowsFolder;
    if (folder.empty() || folder.size() >= size)
        return false;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return true;
}

const reg::FileOps kSimOps = {openReadWrite, openReadOnly, readAt, writeAt, length, close, fileExists};

} // namespace

SimRegistryFiles::SimRegistryFiles(SimFileSystem& fs, std::string folder)
    : files(fs), windowsFolder(std::move(folder)) {
    gActive = this;
    reg::setFileOps(&kSimOps);
    reg::setWindowsFolderSource(&sim::windowsFolder);
}

SimRegistryFiles::~SimRegistryFiles() {
    // Shut-downs are counted: enough of them to undo every start-up a test made.
    for (int i = 0; i < 16; ++i)
        reg::NR_ShutdownRegistry();
    reg::setFileOps(nullptr);
    reg::setWindowsFolderSource(nullptr);
    gActive = nullptr;
}

} // namespace zov::sim
