#include "sim/sim_files.h"

#include "sim/sim_machine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zov::sim {
namespace {

constexpr std::uint32_t kErrorDirectory = 267; // GetTempFileNameA on a folder that is not there

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string upperCase(std::string text) {
    for (char& c : text)
        c = upper(c);
    return text;
}

bool isDriveRoot(const std::string& path) {
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string nameOf(const std::string& normalized) {
    std::size_t slash = normalized.rfind('\\');
    return slash == std::string::npos ? normalized : normalized.substr(slash + 1);
}

bool matchFrom(const std::string& pattern, std::size_t p, const std::string& name, std::size_t n) {
    while (p < pattern.size()) {
        char c = pattern[p];
        if (c == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size())
                return true;
            for (std::size_t k = n; k <= name.size(); ++k)
                if (matchFrom(pattern, p, name, k))
                    return true;
            return false;
        }
        if (n == name.size())
            return false;
        if (c != '?' && upper(c) != upper(name[n]))
            return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

} // namespace

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

namespace {

// "C:\a\b" with an upper-case drive, no '/', no empty, "." or ".." part and no trailing
// backslash: what normalizePath answers unchanged. Most paths a run uses are already so,
// and the simulated registry files look theirs up on every small read.
bool alreadyNormal(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\' || upper(path[0]) != path[0] ||
        path.find('/') != std::string::npos)
        return false;
    if (path.size() == 3)
        return true;
    std::size_t start = 3;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const std::size_t length = end - start;
        if (length == 0 || (length == 1 && path[start] == '.') ||
            (length == 2 && path[start] == '.' && path[start + 1] == '.'))
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

std::string normalizePath(const std::string& path) {
    if (alreadyNormal(path))
        return path;
    std::string text = path;
    std::replace(text.begin(), text.end(), '/', '\\');
    std::string lead;
    if (text.rfind("\\\\", 0) == 0) {
        lead = "\\\\";
        text.erase(0, 2);
    } else if (text.size() >= 2 && text[1] == ':') {
        lead = text.substr(0, 2) + "\\";
        lead[0] = upper(lead[0]);
        text.erase(0, 2);
    } else if (!text.empty() && text[0] == '\\') {
        lead = "\\";
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = lead;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '\\';
        out += parts[i];
    }
    return out;
}

std::string pathKey(const std::string& path) {
    return upperCase(normalizePath(path));
}

std::string parentOf(const std::string& path) {
    if (isDriveRoot(path))
        return "";
    std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return "";
    if (slash == 2 && path[1] == ':')
        return path.substr(0, 3);
    return path.substr(0, slash);
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") // matches names without a dot too
        return true;
    return matchFrom(pattern, 0, name, 0);
}

// ------------------------------------------------------------------------------------
// SimFileSystem

class SimOutputFile : public OutputFile {
  public:
    SimOutputFile(SimFileSystem& fs, std::string key) : fs_(fs), key_(std::move(key)) {
        ++fs_.openOutputFiles;
    }
    ~SimOutputFile() override { close(); }

    std::size_t write(const void* data, std::size_t size) override {
        if (closed_)
            return 0;
        auto it = fs_.files_.find(key_);
        if (it == fs_.files_.end())
            return 0;
        std::size_t allowed = size;
        if (fs_.diskFullAfterBytes) {
            std::uint64_t limit = *fs_.diskFullAfterBytes;
            std::uint64_t room = limit > fs_.outputBytesWritten ? limit - fs_.outputBytesWritten : 0;
            allowed = static_cast<std::size_t>(std::min<std::uint64_t>(size, room));
        }
        it->second.bytes.append(static_cast<const char*>(data), allowed);
        fs_.outputBytesWritten += allowed;
        if (allowed < size)
            fs_.fail(err::kDiskFull);
        return allowed;
    }

    void close() override {
        if (!closed_) {
            closed_ = true;
            --fs_.openOutputFiles;
        }
    }

  private:
    SimFileSystem& fs_;
    std::string key_;
    bool closed_ = false;
};

SimFileSystem::SimFileSystem(SimMachine& machine) : machine_(machine) {}

void SimFileSystem::fail(std::uint32_t code) {
    machine_.system.error = code;
}

bool SimFileSystem::isReadOnly(const std::string& path) const {
    std::string key = pathKey(path);
    for (const std::string& prefix : readOnlyPrefixes) {
        std::string p = pathKey(prefix);
        if (key == p)
            return true;
        std::string folder = p.back() == '\\' ? p : p + "\\";
        if (key.rfind(folder, 0) == 0)
            return true;
    }
    return false;
}

bool SimFileSystem::canWriteFile(const std::string& path) {
    std::string norm = normalizePath(path);
    std::string parent = parentOf(norm);
    if (parent.empty() || directories_.count(upperCase(parent)) == 0) {
        fail(err::kPathNotFound);
        return false;
    }
    if (directories_.count(upperCase(norm)) != 0 || isReadOnly(norm)) {
        fail(err::kAccessDenied);
        return false;
    }
    return true;
}

void SimFileSystem::store(const std::string& path, std::string bytes) {
    std::string norm = normalizePath(path);
    File& f = files_[upperCase(norm)];
    if (f.path.empty())
        f.path = norm;
    f.bytes = std::move(bytes);
}

void SimFileSystem::makeDirectory(const std::string& path) {
    std::string norm = normalizePath(path);
    while (!norm.empty()) {
        directories_.emplace(upperCase(norm), norm);
        norm = parentOf(norm);
    }
}

void SimFileSystem::writeText(const std::string& path, const std::string& text) {
    std::string norm = normalizePath(path);
    makeDirectory(parentOf(norm));
    store(norm, text);
}

void SimFileSystem::writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    writeText(path, std::string(bytes.begin(), bytes.end()));
}

const SimFileSystem::File* SimFileSystem::file(const std::string& path) const {
    auto it = files_.find(pathKey(path));
    return it == files_.end() ? nullptr : &it->second;
}

SimFileSystem::File* SimFileSystem::file(const std::string& path) {
    return fileByKey(pathKey(path));
}

SimFileSystem::File* SimFileSystem::fileByKey(const std::string& key) {
    auto it = files_.find(key);
    return it == files_.end() ? nullptr : &it->second;
}

std::string SimFileSystem::readText(const std::string& path) const {
    const File* f = file(path);
    return f ? f->bytes : std::string();
}

bool SimFileSystem::fileExists(const std::string& path) const {
    return file(path) != nullptr;
}

bool SimFileSystem::isHidden(const std::string& path) const {
    const File* f = file(path);
    return f && f->hidden;
}

std::vector<std::string> SimFileSystem::allFiles() const {
    std::vector<std::string> out;
    for (const auto& [key, f] : files_)
        out.push_back(f.path);
    return out;
}

std::optional<std::vector<SimFileSystem::Entry>> SimFileSystem::entries(const std::string& folder) const {
    std::string norm = normalizePath(folder.size() == 2 && folder[1] == ':' ? folder + "\\" : folder);
    std::string key = upperCase(norm);
    if (directories_.count(key) == 0)
        return std::nullopt;
    std::map<std::string, Entry> sorted; // by upper-case name
    for (const auto& [dirKey, spelling] : directories_)
        if (dirKey != key && upperCase(parentOf(spelling)) == key)
            sorted[upperCase(nameOf(spelling))] = {nameOf(spelling), true};
    for (const auto& [fileKey, f] : files_)
        if (upperCase(parentOf(f.path)) == key)
            sorted[upperCase(nameOf(f.path))] = {nameOf(f.path), false};
    std::vector<Entry> out;
    for (auto& [name, entry] : sorted)
        out.push_back(std::move(entry));
    return out;
}

bool SimFileSystem::exists(const std::string& path) {
    std::string key = pathKey(path);
    return files_.count(key) != 0 || directories_.count(key) != 0;
}

bool SimFileSystem::isDirectory(const std::string& path) {
    return directories_.count(pathKey(path)) != 0;
}

bool SimFileSystem::removeFile(const std::string& path) {
    std::string key = pathKey(path);
    auto it = files_.find(key);
    if (it == files_.end()) {
        fail(directories_.count(key) ? err::kAccessDenied : err::kFileNotFound);
        return false;
    }
    if (isReadOnly(path)) {
        fail(err::kAccessDenied);
        return false;
    }
    files_.erase(it);
    return true;
}

bool SimFileSystem::copyFile(const std::string& from, const std::string& to) {
    auto src = files_.find(pathKey(from));
    if (src == files_.end()) {
        fail(err::kFileNotFound);
        return false;
    }
    if (!canWriteFile(to))
        return false;
    File copy = src->second;
    store(to, copy.bytes);
    files_[pathKey(to)].hidden = copy.hidden;
    return true;
}

bool SimFileSystem::setHidden(const std::string& path) {
    std::string key = pathKey(path);
    auto it = files_.find(key);
    if (it == files_.end() && directories_.count(key) == 0) {
        fail(err::kFileNotFound);
        return false;
    }
    if (isReadOnly(path)) {
        fail(err::kAccessDenied);
        return false;
    }
    if (it != files_.end())
        it->second.hidden = true;
    return true;
}

std::unique_ptr<OutputFile> SimFileSystem::create(const std::string& path) {
    if (!canWriteFile(path))
        return nullptr;
    store(path, "");
    return std::make_unique<SimOutputFile>(*this, pathKey(path));
}

std::string SimFileSystem::uniqueFile(const std::string& dir, const std::string& prefix) {
    if (!isDirectory(dir)) {
        fail(kErrorDirectory);
        return "";
    }
    if (isReadOnly(dir)) {
        fail(err::kAccessDenied);
        return "";
    }
    std::string base = dir;
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += '\\';
    base += prefix.substr(0, 3);
    for (unsigned tries = 0; tries < 0x10000; ++tries) {
        unsigned number = nextUnique++ & 0xFFFF;
        if (number == 0)
            continue;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number);
        std::string candidate = base + hex + ".TMP";
        if (!exists(candidate)) {
            store(candidate, "");
            return candidate;
        }
    }
    fail(80); // ERROR_FILE_EXISTS: every number is taken
    return "";
}

std::vector<std::string> SimFileSystem::find(const std::string& pattern) {
    std::string text = pattern;
    std::replace(text.begin(), text.end(), '/', '\\');
    std::size_t slash = text.rfind('\\');
    std::string dirText = slash == std::string::npos ? "" : text.substr(0, slash);
    std::string namePattern = slash == std::string::npos ? text : text.substr(slash + 1);
    std::string dirKey = pathKey(dirText.size() == 2 && dirText[1] == ':' ? dirText + "\\" : dirText);
    if (directories_.count(dirKey) == 0) {
        fail(err::kPathNotFound);
        return {};
    }
    std::vector<std::string> out;
    for (const auto& [key, f] : files_) { // key order: sorted without case, as the system lists
        if (upperCase(parentOf(f.path)) != dirKey)
            continue;
        std::string name = nameOf(f.path);
        if (wildcardMatch(namePattern, name))
            out.push_back(dirText + "\\" + name);
    }
    if (out.empty())
        fail(err::kFileNotFound);
    return out;
}

// ------------------------------------------------------------------------------------
// SimProfileStore

SimProfileStore::SimProfileStore(SimMachine& machine) : machine_(machine) {}

SimProfileStore::Document SimProfileStore::load(const std::string& file) {
    return parsed(file);
}

// Reads parse the file once while its contents stay the same: a run asks the same file for
// one key after another (the fuzz targets thousands of times a second).
const SimProfileStore::Document& SimProfileStore::parsed(const std::string& file) {
    const SimFileSystem::File* f = machine_.files.file(file);
    static const std::string none;
    const std::string& text = f != nullptr ? f->bytes : none;
    std::string key = pathKey(file);
    if (cache_ && cache_->key == key && cache_->text == text)
        return cache_->doc;
    cache_.emplace(Cached{std::move(key), text, parse(text)});
    return cache_->doc;
}

SimProfileStore::Document SimProfileStore::parse(const std::string& text) {
    Document doc;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            doc.sections.push_back(
                {trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        if (doc.sections.empty()) {
            doc.preamble.push_back(line);
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            doc.sections.back().entries.push_back({line, "", false});
        else
            doc.sections.back().entries.push_back(
                {trim(line.substr(0, eq)), trim(line.substr(eq + 1)), true});
    }
    return doc;
}

bool SimProfileStore::save(const std::string& file, const Document& doc) {
    if (!machine_.files.canWriteFile(file))
        return false;
    std::string text;
    for (const std::string& line : doc.preamble)
        text += line + "\r\n";
    for (const Section& s : doc.sections) {
        text += "[" + s.name + "]\r\n";
        for (const Entry& e : s.entries)
            text += e.hasValue ? e.key + "=" + e.value + "\r\n" : e.key + "\r\n";
    }
    machine_.files.store(file, text);
    ++writes;
    return true;
}

SimProfileStore::Section* SimProfileStore::findSection(Document& doc, const std::string& name) {
    for (Section& s : doc.sections)
        if (equalsNoCase(s.name, name))
            return &s;
    return nullptr;
}

const SimProfileStore::Section* SimProfileStore::findSection(const Document& doc, const std::string& name) {
    return findSection(const_cast<Document&>(doc), name);
}

bool SimProfileStore::writeString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& value) {
    if (!machine_.files.canWriteFile(file))
        return false;
    Document doc = load(file);
    Section* s = findSection(doc, section);
    if (!s) {
        doc.sections.push_back({section, {}});
        s = &doc.sections.back();
    }
    for (Entry& e : s->entries) {
        if (equalsNoCase(e.key, key)) {
            e.value = value;
            e.hasValue = true;
            return save(file, doc);
        }
    }
    s->entries.push_back({key, value, true});
    return save(file, doc);
}

bool SimProfileStore::deleteKey(const std::string& file, const std::string& section, const std::string& key) {
    Document doc = load(file);
    Section* s = findSection(doc, section);
    if (!s)
        return true;
    auto it = std::find_if(s->entries.begin(), s->entries.end(),
                           [&](const Entry& e) { return equalsNoCase(e.key, key); });
    if (it == s->entries.end())
        return true;
    s->entries.erase(it);
    return save(file, doc);
}

bool SimProfileStore::deleteSection(const std::string& file, const std::string& section) {
    Document doc = load(file);
    auto it = std::find_if(doc.sections.begin(), doc.sections.end(),
                           [&](const Section& s) { return equalsNoCase(s.name, section); });
    if (it == doc.sections.end())
        return true;
    doc.sections.erase(it);
    return save(file, doc);
}

bool SimProfileStore::writeSection(const std::string& file, const std::string& section,
                                   const std::vector<std::pair<std::string, std::string>>& keys) {
    Document doc = load(file);
    Section* s = findSection(doc, section);
    if (!s) {
        doc.sections.push_back({section, {}});
        s = &doc.sections.back();
    }
    s->entries.clear();
    for (const auto& [key, value] : keys)
        s->entries.push_back({key, value, true});
    return save(file, doc);
}

std::string SimProfileStore::readString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& defaultValue,
                                        std::size_t bufferSize) {
    if (bufferSize == 0)
        return "";
    const Document& doc = parsed(file);
    std::string result;
    bool found = false;
    if (const Section* s = findSection(doc, section)) {
        for (const Entry& e : s->entries) {
            if (equalsNoCase(e.key, key)) {
                result = e.value;
                found = true;
                break;
            }
        }
    }
    if (found) {
        // A value in matching quotes comes back without them.
        if (result.size() >= 2 && (result[0] == '"' || result[0] == '\'') && result.back() == result[0])
            result = result.substr(1, result.size() - 2);
    } else {
        result = defaultValue;
        while (!result.empty() && result.back() == ' ')
            result.pop_back();
    }
    if (result.size() > bufferSize - 1)
        result.resize(bufferSize - 1);
    return result;
}

std::vector<std::string> SimProfileStore::sectionNames(const std::string& file, std::size_t bufferSize) {
    std::vector<std::string> out;
    if (bufferSize < 2)
        return out;
    const Document& doc = parsed(file);
    std::size_t room = bufferSize - 1; // the list's closing NUL
    for (const Section& s : doc.sections) {
        if (s.name.empty())
            continue;
        if (s.name.size() + 1 <= room) {
            out.push_back(s.name);
            room -= s.name.size() + 1;
            continue;
        }
        if (room > 1)
            out.push_back(s.name.substr(0, room - 1));
        break;
    }
    return out;
}

std::vector<std::string> SimProfileStore::keys(const std::string& file, const std::string& section) {
    const Document& doc = parsed(file);
    std::vector<std::string> out;
    if (const Section* s = findSection(doc, section))
        for (const Entry& e : s->entries)
            out.push_back(e.key);
    return out;
}

} // namespace zov::sim
