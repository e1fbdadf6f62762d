// Shared by the client database fuzz targets: the input becomes "main.idx" and
// "SNMaster.idx" of one "idb" folder, and the readers must survive any bytes, never go past a
// buffer, and close every file they open.
//
// Input layout: bytes 0 and 1 give the length of "main.idx" (little-endian, held to what
// follows); it comes next, and the rest is "SNMaster.idx" (read when main.idx says version
// 9.5 or later).
#pragma once

#include "discovery/client_db.h"
#include "fuzz/fuzz_input.h"

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace zov::fuzz {

const std::string kIdb = "C:\\ZOV\\idb";
const std::string kMain = kIdb + "\\main.idx";
const std::string kMaster = kIdb + "\\SNMaster.idx";

class MemoryFiles final : public ReadOnlyFiles {
  public:
    MemoryFiles(const std::uint8_t* data, std::size_t size) {
        const char* bytes = reinterpret_cast<const char*>(data);
        std::size_t skip = std::min<std::size_t>(size, 2);
        std::size_t mainSize = size < 2 ? 0 : std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
        files_[kMain] = std::string(bytes + skip, mainSize);
        files_[kMaster] = std::string(bytes + skip + mainSize, size - skip - mainSize);
    }
    ~MemoryFiles() override {
        if (open_ != 0)
            __builtin_trap(); // a reader left a file open
    }

    std::unique_ptr<InputFile> openRead(const std::string& path) override {
        auto it = files_.find(path);
        if (it == files_.end())
            return nullptr;
        return std::make_unique<File>(*this, it->second);
    }
    std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) override {
        if (folder != kIdb)
            return std::nullopt;
        return std::vector<FolderEntry>{
            {".", true, false}, {"..", true, false}, {"SNMaster.idx"}, {"main.idx"}};
    }

  private:
    class File final : public InputFile {
      public:
        File(MemoryFiles& owner, const std::string& bytes) : owner_(owner), bytes_(bytes) { ++owner_.open_; }
        ~File() override { --owner_.open_; }
        std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t size) override {
            if (offset >= bytes_.size())
                return 0;
            std::size_t n = std::min<std::size_t>(size, bytes_.size() - offset);
            std::memcpy(buffer, bytes_.data() + offset, n);
            return n;
        }

      private:
        MemoryFiles& owner_;
        const std::string& bytes_;
    };

    std::map<std::string, std::string> files_;
    int open_ = 0;
};

} // namespace zov::fuzz
