// Profile (INI) files and the file system.

#include "platform/win32/win32_ports.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zov::win32 {
namespace {

// The profile functions take a DWORD size; a larger request is cut, never wrapped.
DWORD bufferLength(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

} // namespace

bool Win32ProfileStore::writeString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool Win32ProfileStore::deleteKey(const std::string& file, const std::string& section,
                                  const std::string& key) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str()) != FALSE;
}

bool Win32ProfileStore::deleteSection(const std::string& file, const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != FALSE;
}

bool Win32ProfileStore::writeSection(const std::string& file, const std::string& section,
                                     const std::vector<std::pair<std::string, std::string>>& keys) {
    // "key=value" strings one after the other, each ended by a NUL, the list by another.
    std::string list;
    for (const auto& [key, value] : keys) {
        list += key;
        list += '=';
        list += value;
        list += '\0';
    }
    list += '\0';
    return WritePrivateProfileSectionA(section.c_str(), list.c_str(), file.c_str()) != FALSE;
}

void Win32ProfileStore::flush() {
    // Reports failure even when the cache was flushed; nothing to learn from the result.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
}

std::string Win32ProfileStore::readString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& defaultValue,
                                          std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    std::string buffer(bufferSize, '\0');
    DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                            bufferLength(bufferSize), file.c_str());
    buffer.resize(std::min<std::size_t>(length, bufferSize - 1));
    return buffer;
}

std::vector<std::string> Win32ProfileStore::sectionNames(const std::string& file, std::size_t bufferSize) {
    std::vector<std::string> names;
    if (bufferSize < 2)
        return names;
    std::vector<char> buffer(bufferSize, '\0');
    DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), bufferLength(bufferSize), file.c_str());
    // The list is NUL-separated; a cut list still ends in NUL, but never trust that.
    std::size_t end = std::min<std::size_t>(length, bufferSize - 1);
    std::size_t pos = 0;
    while (pos < end) {
        std::size_t len = strnlen(buffer.data() + pos, end - pos);
        if (len == 0)
            break;
        names.emplace_back(buffer.data() + pos, len);
        pos += len + 1;
    }
    return names;
}

namespace {

class Win32OutputFile final : public OutputFile {
  public:
    explicit Win32OutputFile(HANDLE file) : file_(file) {}
    ~Win32OutputFile() override { close(); }

    std::size_t write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        std::size_t total = 0;
        while (file_ != INVALID_HANDLE_VALUE && total < size) {
            DWORD piece = bufferLength(size - total);
            DWORD written = 0;
            if (!WriteFile(file_, bytes + total, piece, &written, nullptr) || written == 0)
                break;
            total += written;
        }
        return total;
    }

    void close() override {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }

  private:
    HANDLE file_;
};

} // namespace

bool Win32FileSystem::exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileSystem::isDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32FileSystem::removeFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32FileSystem::copyFile(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool Win32FileSystem::setHidden(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // "Normal" means no other attribute and may not be combined with one.
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    return SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != FALSE;
}

std::unique_ptr<OutputFile> Win32FileSystem::create(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32OutputFile>(file);
}

std::string Win32FileSystem::uniqueFile(const std::string& dir, const std::string& prefix) {
    // The function writes up to MAX_PATH characters and fails for a folder that leaves no
    // room for the generated name.
    char name[MAX_PATH + 1] = {};
    if (GetTempFileNameA(dir.c_str(), prefix.c_str(), 0, name) == 0)
        return {};
    return std::string(name, strnlen(name, MAX_PATH));
}

std::vector<std::string> Win32FileSystem::find(const std::string& pattern) {
    std::vector<std::string> paths;
    std::string folder;
    std::size_t slash = pattern.find_last_of("\\/");
    if (slash != std::string::npos)
        folder = pattern.substr(0, slash + 1);

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return paths;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            paths.push_back(folder + std::string(entry.cFileName, strnlen(entry.cFileName, MAX_PATH)));
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return paths;
}

} // namespace zov::win32
