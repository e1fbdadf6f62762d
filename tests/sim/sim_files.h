// The simulated disk: an in-memory file system with Windows paths, and the profile
// functions on top of it.
//
// Paths compare without regard to letter case, accept '/' for '\', and ignore a trailing
// backslash (except on a drive root). Folders are real: a file can only be created in a
// folder that exists, as on Windows (last error 3 otherwise). The test helpers
// (writeText, writeBytes, makeDirectory) create missing parent folders themselves.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zov::sim {

class SimMachine;

// Canonical spelling of a path: backslashes, no doubled or trailing separators.
std::string normalizePath(const std::string& path);
// The comparison key of a path: normalized and upper-cased.
std::string pathKey(const std::string& path);
// The folder part of a normalized path ("C:\a\b.txt" -> "C:\a"); "" for a bare name or a root.
std::string parentOf(const std::string& path);
// Windows wildcard match of one file name: '*' any run, '?' one character, no case.
bool wildcardMatch(const std::string& pattern, const std::string& name);
bool equalsNoCase(const std::string& a, const std::string& b);

// Win32 error numbers the fakes leave behind.
namespace err {
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kDiskFull = 112;
constexpr std::uint32_t kAlreadyExists = 183;
} // namespace err

class SimFileSystem : public FileSystem {
  public:
    struct File {
        std::string path; // as first created
        std::string bytes;
        bool hidden = false;
    };

    explicit SimFileSystem(SimMachine& machine);

    // --- failure injection -------------------------------------------------------------
    // Any write below one of these folders fails with access denied: creating, copying
    // onto, removing, hiding and profile writes. Reads still work.
    std::vector<std::string> readOnlyPrefixes;
    // Bytes that OutputFile writes may still put on disk, all files together; a write
    // beyond it is short and leaves last error 112. Unset: no limit.
    std::optional<std::uint64_t> diskFullAfterBytes;
    std::uint64_t outputBytesWritten = 0;
    // The number the next uniqueFile tries first (GetTempFileNameA's counter).
    unsigned nextUnique = 1;
    // OutputFile objects created and not closed yet.
    int openOutputFiles = 0;

    // --- helpers for tests (bypass failure injection, create parent folders) -------------
    void makeDirectory(const std::string& path);
    void writeText(const std::string& path, const std::string& text);
    void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
    // The file's contents; "" when there is no such file.
    std::string readText(const std::string& path) const;
    bool fileExists(const std::string& path) const;
    bool isHidden(const std::string& path) const;
    const File* file(const std::string& path) const;
    File* file(const std::string& path);     // changed in place, as a file written at an offset
    File* fileByKey(const std::string& key); // by pathKey(path)
    // Every file, in key order (for dumps in failure messages).
    std::vector<std::string> allFiles() const;
    bool isReadOnly(const std::string& path) const;
    // The files and folders directly inside a folder ("." and ".." not included), sorted
    // without case as the system lists them; nullopt when there is no such folder.
    struct Entry {
        std::string name;
        bool directory = false;
    };
    std::optional<std::vector<Entry>> entries(const std::string& folder) const;

    // --- FileSystem -----------------------------------------------------------------
    bool exists(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool setHidden(const std::string& path) override;
    std::unique_ptr<OutputFile> create(const std::string& path) override;
    std::string uniqueFile(const std::string& dir, const std::string& prefix) override;
    std::vector<std::string> find(const std::string& pattern) override;

    // The checks a write makes, shared with the profile store: the folder exists and is
    // writable. Sets the last error and returns false otherwise.
    bool canWriteFile(const std::string& path);
    // Stores contents without any check (the profile store writes through it).
    void store(const std::string& path, std::string bytes);

  private:
    friend class SimOutputFile;
    void fail(std::uint32_t code);

    SimMachine& machine_;
    std::map<std::string, File> files_;              // by pathKey
    std::map<std::string, std::string> directories_; // pathKey -> spelling
};

// The private-profile functions over files of the simulated disk. Files are rewritten
// whole after each change, as CRLF lines without blank lines; a test can read them
// back with readText and check the order of keys and sections.
class SimProfileStore : public ProfileStore {
  public:
    explicit SimProfileStore(SimMachine& machine);

    int flushes = 0;
    int writes = 0; // successful changing calls

    bool writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override;
    bool deleteKey(const std::string& file, const std::string& section, const std::string& key) override;
    bool deleteSection(const std::string& file, const std::string& section) override;
    bool writeSection(const std::string& file, const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& keys) override;
    void flush() override { ++flushes; }
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize) override;
    // When the buffer is too small the last name that does not fit whole comes back cut
    // to the room that is left, and the list ends there (the documented behaviour).
    std::vector<std::string> sectionNames(const std::string& file, std::size_t bufferSize) override;

    // Parsed view for tests: keys of a section in file order ("" when absent).
    std::vector<std::string> keys(const std::string& file, const std::string& section);

  private:
    struct Entry {
        std::string key;
        std::string value;
        bool hasValue = true; // a line without '=' is kept as it is
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    struct Document {
        std::vector<std::string> preamble; // lines before the first section
        std::vector<Section> sections;
    };

    Document load(const std::string& file);
    const Document& parsed(const std::string& file);
    static Document parse(const std::string& text);
    bool save(const std::string& file, const Document& doc);
    static Section* findSection(Document& doc, const std::string& name);
    static const Section* findSection(const Document& doc, const std::string& name);

    struct Cached {
        std::string key, text; // the file's path key and the contents parsed
        Document doc;
    };
    SimMachine& machine_;
    std::optional<Cached> cache_;
};

} // namespace zov::sim
