// The VR_ functions: the version registry "nsreg.dat" in the Windows folder, with its
// product list, components and uninstall lists, all kept through the NR_ functions.
#include "registry/nr_file.h"
#include "registry/registry.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace zov::reg {

using detail::boundedLength;

namespace {

constexpr std::uint32_t kTextSize = 512; // texts read from the registry: up to 511 characters
constexpr std::uint32_t kPathBufferSize = 2048;

const char kProductList[] = "/Tidewell";
const char kCurrentProduct[] = "Current Wayfinder";
const char kDefaultProduct[] = "Correspondia";
const char kProductHome[] = "Wayfinder Home";
const char kVersion[] = "Version";
const char kPath[] = "Path";
const char kDirectory[] = "Directory";
const char kRefCount[] = "RefCount";
const char kUninstallPrefix[] = "Tidewell/Correspondia/SoftwareUpdate/Uninstall/";
const char kShared[] = "Shared";
const char kSharedFiles[] = "/Shared Files";
const char kPackageName[] = "PackageName";

// Version registry state: plain data, ready before any start-up code runs.
HREG gRegistry = nullptr;
RKEY gCurrentProduct = 0;
bool gOpen = false;
char gProductName[kTextSize] = {};
char* gRegDirectory = nullptr;

bool copyBounded(char* out, std::size_t size, const char* text) {
    std::size_t n = std::strlen(text);
    if (n >= size)
        return false;
    std::memcpy(out, text, n + 1);
    return true;
}

REGERR registryFileName(char* out, std::size_t size) {
    char folder[260];
    if (!windowsFolder(folder, sizeof folder))
        return kNoFile;
    static const char kName[] = "\\nsreg.dat";
    std::size_t n = std::strlen(folder);
    if (n + sizeof kName > size)
        return kNoFile;
    std::memcpy(out, folder, n);
    std::memcpy(out + n, kName, sizeof kName);
    return kOk;
}

REGERR openFile(HREG& registry) {
    if (gRegistry != nullptr) {
        registry = gRegistry;
        return kOk;
    }
    char name[300];
    REGERR err = registryFileName(name, sizeof name);
    if (err == kOk)
        err = NR_RegOpen(name, &registry);
    return err;
}

REGERR setText(RKEY key, const char* name, const char* text) {
    return NR_RegSetEntryString(gRegistry, key, name, text);
}

REGERR setFileName(RKEY key, const char* name, const char* path) {
    return NR_RegSetEntry(gRegistry, key, name, kTypeFile, path,
                          static_cast<std::uint32_t>(std::strlen(path) + 1));
}

// A file-type entry as text, NUL-terminated whatever the file holds.
REGERR readFileName(RKEY key, const char* name, char* out, std::uint32_t size) {
    std::uint32_t got = size - 1;
    REGERR err = NR_RegGetEntry(gRegistry, key, name, out, &got);
    if (err != kOk) {
        out[0] = '\0';
        return err;
    }
    out[got < size ? got : size - 1] = '\0';
    return kOk;
}

// Opens the file and reads the product list's "Current Wayfinder" into `current` (3 when the
// list has none). `list` stays 0 when the list itself could not be found or added.
REGERR openProductList(RKEY& list, char (&current)[kTextSize]) {
    HREG registry = nullptr;
    REGERR err = openFile(registry);
    if (err != kOk)
        return err;
    gRegistry = registry;
    err = NR_RegAddKey(gRegistry, kKeyVersions, kProductList, &list);
    return err != kOk ? err : NR_RegGetEntryString(gRegistry, list, kCurrentProduct, current, sizeof current);
}

// Opens the registry when no VR_ call has yet: the product named by "Current Wayfinder"
// (created as "Correspondia" when missing) becomes the current product.
REGERR ensureOpen() {
    if (gOpen)
        return kOk;
    RKEY list = 0, product = 0;
    char current[kTextSize];
    REGERR err = openProductList(list, current);
    if (err == kNotFound && list != 0) {
        copyBounded(current, sizeof current, kDefaultProduct);
        err = setText(list, kCurrentProduct, current);
    }
    if (err == kOk)
        err = NR_RegAddKey(gRegistry, list, current, &product);
    if (err != kOk) {
        if (gRegistry != nullptr)
            NR_RegClose(gRegistry);
        gRegistry = nullptr;
        return err;
    }
    gCurrentProduct = product;
    gOpen = true;
    // The uninstall lists then belong to the current product even when VR_CreateRegistry
    // has not named one in this run.
    if (gProductName[0] == '\0')
        copyBounded(gProductName, sizeof gProductName, current);
    return kOk;
}

RKEY componentStart(const char* path) {
    return path[0] == '/' ? kKeyVersions : gCurrentProduct;
}

REGERR findComponent(const char* path, RKEY& key) {
    if (path == nullptr)
        return kBadParameter;
    return NR_RegGetKey(gRegistry, componentStart(path), path, &key);
}

// atoi without its undefined overflow: an optional sign and digits, saturated.
std::int32_t leadingNumber(const char* p) {
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long n = 0;
    while (*p >= '0' && *p <= '9') {
        if (n < 0x80000000LL)
            n = n * 10 + (*p - '0');
        ++p;
    }
    if (negative)
        n = -n;
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<std::int32_t>(n);
}

void formatNumber(long long n, char (&out)[24]) {
    char digits[24];
    int count = 0;
    bool negative = n < 0;
    unsigned long long u =
        negative ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    do {
        digits[count++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    int at = 0;
    if (negative)
        out[at++] = '-';
    while (count > 0)
        out[at++] = digits[--count];
    out[at] = '\0';
}

// Folders are the same when, less one trailing backslash each, they match ignoring case.
bool sameFolder(const char* a, const char* b) {
    std::size_t la = std::strlen(a), lb = std::strlen(b);
    if (la != 0 && a[la - 1] == '\\')
        --la;
    if (lb != 0 && b[lb - 1] == '\\')
        --lb;
    if (la != lb)
        return false;
    for (std::size_t i = 0; i < la; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

// --- package names --------------------------------------------------------------------

// Doubles '_', drops one trailing '/', then turns every '/' after the first character
// into '_'. Null when memory runs out.
char* escapePackage(const char* name) {
    std::size_t n = std::strlen(name);
    char* out = static_cast<char*>(std::malloc(2 * n + 1));
    if (out == nullptr)
        return nullptr;
    std::size_t at = 0;
    for (std::size_t i = 0; i < n; ++i) {
        out[at++] = name[i];
        if (name[i] == '_')
            out[at++] = '_';
    }
    if (at != 0 && out[at - 1] == '/')
        --at;
    out[at] = '\0';
    for (std::size_t i = 1; i < at; ++i) {
        if (out[i] == '/')
            out[i] = '_';
    }
    return out;
}

REGERR unescapePackage(const char* name, char* out, std::size_t size) {
    std::size_t at = 0;
    for (const char* p = name; *p != '\0'; ++p) {
        char c = *p;
        if (c == '_') {
            if (p[1] == '_')
                ++p;
            else if (p[1] != '\0')
                c = '/';
        }
        if (at + 1 >= size)
            return kBufferTooSmall;
        out[at++] = c;
    }
    out[at] = '\0';
    return kOk;
}

// The package's key path below "Private Arenas", in a buffer of the name's length plus
// 256 bytes (11 when it does not fit). The caller frees it.
REGERR packagePath(const char* package, const char* suffix, char*& out) {
    std::size_t size = std::strlen(package) + 256;
    out = static_cast<char*>(std::malloc(size));
    if (out == nullptr)
        return kNoMemory;
    const char* parts[5] = {kUninstallPrefix, package[0] == '/' ? kShared : gProductName,
                            package[0] == '/' ? "" : "/", package[0] == '\0' ? "_" : package, suffix};
    std::size_t at = 0;
    for (const char* part : parts) {
        std::size_t n = std::strlen(part);
        if (at + n + 1 > size) {
            std::free(out);
            out = nullptr;
            return kBufferTooSmall;
        }
        std::memcpy(out + at, part, n);
        at += n;
    }
    out[at] = '\0';
    return kOk;
}

// Some callers give the package name in its stored form, the others as users know it.
enum class PackageName { Stored, Escaped };
enum class KeyAction { Find, Add, Delete };

// Finds, adds or deletes the package's key (or the key `suffix` names below it).
REGERR packageKey(const char* package, PackageName form, const char* suffix, KeyAction action,
                  RKEY* key = nullptr) {
    char* escaped = nullptr;
    if (form == PackageName::Escaped && (escaped = escapePackage(package)) == nullptr)
        return kNoMemory;
    char* path = nullptr;
    REGERR err = packagePath(escaped != nullptr ? escaped : package, suffix, path);
    std::free(escaped);
    if (err != kOk)
        return err;
    if (action == KeyAction::Find)
        err = NR_RegGetKey(gRegistry, kKeyPrivateArenas, path, key);
    else if (action == KeyAction::Add)
        err = NR_RegAddKey(gRegistry, kKeyPrivateArenas, path, key);
    else
        err = NR_RegDeleteKey(gRegistry, kKeyPrivateArenas, path);
    std::free(path);
    return err;
}

// A new product key with its home folder and version, made the current product.
REGERR addProduct(RKEY list, const char* name, const char* folder, const char* version, RKEY& key) {
    REGERR err = NR_RegAddKey(gRegistry, list, name, &key);
    if (err == kOk)
        err = setFileName(key, kProductHome, folder);
    if (err == kOk && version != nullptr)
        err = setText(key, kVersion, version);
    if (err == kOk)
        err = setText(list, kCurrentProduct, name);
    return err;
}

// The start of every call but VR_CreateRegistry, VR_Close and VR_SetRegDirectory: the
// registry opened on demand, then the caller's arguments (6).
REGERR enter(bool argumentsGiven) {
    REGERR err = ensureOpen();
    if (err != kOk)
        return err;
    return argumentsGiven ? kOk : kBadParameter;
}

// ... and then the component's key.
REGERR enterComponent(const char* component, bool argumentsGiven, RKEY& key) {
    REGERR err = enter(argumentsGiven);
    return err != kOk ? err : findComponent(component, key);
}

} // namespace

// --- product selection ----------------------------------------------------------------

REGERR VR_CreateRegistry(const char* installation, const char* programFolder, const char* version) {
    if (installation == nullptr || installation[0] == '\0')
        return kBadParameter;
    const char* folder = programFolder != nullptr ? programFolder : "";
    RKEY list = 0, chosen = 0;
    char current[kTextSize];
    char chosenName[kTextSize] = {};
    char* candidate = nullptr;
    REGERR err = openProductList(list, current);
    if (err != kOk && gRegistry == nullptr)
        return err; // the file could not be opened
    if (err == kNotFound) {
        // The first product in this registry.
        err = copyBounded(chosenName, sizeof chosenName, installation) ? kOk : kTooLong;
        if (err == kOk)
            err = addProduct(list, installation, folder, version, chosen);
    } else if (err == kOk) {
        char home[kPathBufferSize];
        RKEY key = 0;
        // The current product, when it lives in this folder (or says nowhere).
        if (NR_RegGetKey(gRegistry, list, current, &key) == kOk) {
            REGERR r = readFileName(key, kProductHome, home, sizeof home);
            if (r == kNotFound)
                r = setFileName(key, kProductHome, folder);
            else if (r == kOk && !sameFolder(home, folder))
                r = kNotFound;
            if (r == kOk) {
                chosen = key;
                copyBounded(chosenName, sizeof chosenName, current);
            }
        }
        // Else any product that lives in this folder.
        REGENUM state = 0;
        char child[kTextSize];
        while (chosen == 0 && err == kOk) {
            err = NR_RegEnumSubkeys(gRegistry, list, &state, child, sizeof child, kEnumChildren);
            if (err == kNoMore) {
                err = kOk;
                break;
            }
            if (err != kOk)
                break;
            REGERR r = readFileName(state, kProductHome, home, sizeof home);
            if (r == kNotFound)
                continue;
            if (r != kOk) {
                err = r;
                break;
            }
            if (sameFolder(home, folder)) {
                chosen = state;
                copyBounded(chosenName, sizeof chosenName, child);
            }
        }
        if (err == kOk && chosen == 0) {
            // A new product: the name, else "<name> #2", "#3", ... whichever is free.
            std::size_t size = std::strlen(installation) + 24;
            candidate = static_cast<char*>(std::malloc(size));
            if (candidate == nullptr)
                err = kNoMemory;
            else
                std::memcpy(candidate, installation, std::strlen(installation) + 1);
            for (long long n = 2; err == kOk; ++n) {
                RKEY existing = 0;
                REGERR r = NR_RegGetKey(gRegistry, list, candidate, &existing);
                if (r == kNotFound)
                    break;
                if (r != kOk || n > INT_MAX) {
                    err = r != kOk ? r : kFail;
                    break;
                }
                char number[24];
                formatNumber(n, number);
                std::size_t length = std::strlen(installation);
                std::memcpy(candidate, installation, length);
                std::memcpy(candidate + length, " #", 2);
                std::memcpy(candidate + length + 2, number, std::strlen(number) + 1);
            }
            if (err == kOk)
                err = copyBounded(chosenName, sizeof chosenName, candidate) ? kOk : kTooLong;
            if (err == kOk)
                err = addProduct(list, candidate, folder, version, chosen);
        } else if (err == kOk) {
            err = setText(list, kCurrentProduct, chosenName);
            if (err == kOk && version != nullptr)
                err = setText(chosen, kVersion, version);
        }
    }
    std::free(candidate);
    if (err != kOk) {
        gOpen = true; // so that VR_Close releases the handle
        VR_Close();
        return err;
    }
    gCurrentProduct = chosen;
    gOpen = true;
    copyBounded(gProductName, sizeof gProductName, chosenName);
    return kOk;
}

REGERR VR_Close() {
    if (gOpen && gRegistry != nullptr)
        NR_RegClose(gRegistry);
    gRegistry = nullptr;
    gCurrentProduct = 0;
    gOpen = false;
    return kOk;
}

// --- components -----------------------------------------------------------------------

REGERR VR_GetVersion(const char* component, VERSION* result) {
    RKEY key = 0;
    REGERR err = enterComponent(component, result != nullptr, key);
    if (err != kOk)
        return err;
    char text[kTextSize];
    if ((err = NR_RegGetEntryString(gRegistry, key, kVersion, text, sizeof text)) != kOk)
        return err;
    std::int32_t parts[4] = {0, 0, 0, 0};
    const char* p = text;
    for (int i = 0; i < 4 && p != nullptr; ++i) {
        parts[i] = leadingNumber(p);
        p = std::strchr(p, '.');
        if (p != nullptr)
            ++p;
    }
    result->major = parts[0];
    result->minor = parts[1];
    result->release = parts[2];
    result->build = parts[3];
    result->check = 0;
    return kOk;
}

namespace {

REGERR getFileEntry(const char* component, const char* name, std::uint32_t size, char* buffer) {
    RKEY key = 0;
    REGERR err = enterComponent(component, buffer != nullptr, key);
    if (err != kOk)
        return err;
    std::uint32_t got = size;
    return NR_RegGetEntry(gRegistry, key, name, buffer, &got);
}

} // namespace

REGERR VR_GetPath(const char* component, std::uint32_t bufferSize, char* buffer) {
    return getFileEntry(component, kPath, bufferSize, buffer);
}

REGERR VR_GetDefaultDirectory(const char* component, std::uint32_t bufferSize, char* buffer) {
    return getFileEntry(component, kDirectory, bufferSize, buffer);
}

REGERR VR_SetDefaultDirectory(const char* component, const char* directory) {
    RKEY key = 0;
    REGERR err = enterComponent(component, directory != nullptr, key);
    return err != kOk ? err : setFileName(key, kDirectory, directory);
}

REGERR VR_Install(const char* component, const char* location, const char* version, int isDirectory) {
    REGERR err = enter(component != nullptr);
    if (err != kOk)
        return err;
    RKEY key = gCurrentProduct;
    bool created = false;
    if (component[0] != '\0') {
        RKEY start = componentStart(component), existing = 0;
        created = NR_RegGetKey(gRegistry, start, component, &existing) == kNotFound;
        if ((err = NR_RegAddKey(gRegistry, start, component, &key)) != kOk)
            return err;
    }
    if (version != nullptr)
        err = setText(key, kVersion, version);
    if (err == kOk && location != nullptr)
        err = setFileName(key, isDirectory ? kDirectory : kPath, location);
    // Undo only what this call made: a component that existed keeps its other entries.
    if (err != kOk && created)
        NR_RegDeleteKey(gRegistry, componentStart(component), component);
    return err;
}

REGERR VR_Remove(const char* component) {
    // An empty path names the current product's own key: deleting it would leave every later
    // call on a relative path failing until the registry is closed.
    REGERR err = enter(component != nullptr && component[0] != '\0');
    return err != kOk ? err : NR_RegDeleteKey(gRegistry, componentStart(component), component);
}

REGERR VR_Enum(const char* component, REGENUM* state, char* buffer, std::uint32_t bufferSize) {
    REGERR err = enter(true);
    if (err != kOk)
        return err;
    RKEY key = kKeyVersions;
    if (component != nullptr && (err = findComponent(component, key)) != kOk)
        return err;
    return NR_RegEnumSubkeys(gRegistry, key, state, buffer, bufferSize, kEnumDepthFirst);
}

REGERR VR_InRegistry(const char* component) {
    RKEY key = 0;
    return enterComponent(component, true, key);
}

REGERR VR_ValidateComponent(const char* component) {
    RKEY key = 0;
    REGERR err = enterComponent(component, true, key);
    if (err != kOk)
        return err;
    char path[kPathBufferSize];
    err = readFileName(key, kPath, path, sizeof path);
    if (err == kNotFound)
        return kNoPath;
    if (err != kOk)
        return err;
    return fileOps().fileExists(path) ? kOk : kNoFile;
}

REGERR VR_SetRegDirectory(const char* folder) {
    if (folder == nullptr)
        return kBadParameter;
    std::size_t n = std::strlen(folder) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy == nullptr)
        return kNoMemory;
    std::memcpy(copy, folder, n);
    std::free(gRegDirectory);
    gRegDirectory = copy;
    return kOk;
}

REGERR VR_SetRefCount(const char* component, int count) {
    REGERR err = enter(component != nullptr && component[0] != '\0');
    if (err != kOk)
        return err;
    RKEY key = 0;
    if ((err = NR_RegAddKey(gRegistry, componentStart(component), component, &key)) != kOk)
        return err;
    char text[24];
    formatNumber(count, text);
    return setText(key, kRefCount, text);
}

REGERR VR_GetRefCount(const char* component, int* count) {
    if (count == nullptr)
        return kBadParameter;
    *count = -1;
    RKEY key = 0;
    REGERR err = enterComponent(component, true, key);
    if (err != kOk)
        return err;
    char text[kTextSize];
    if ((err = NR_RegGetEntryString(gRegistry, key, kRefCount, text, sizeof text)) != kOk)
        return err;
    *count = leadingNumber(text);
    return kOk;
}

// --- uninstall lists ------------------------------------------------------------------

REGERR VR_UninstallCreateNode(const char* package, const char* userName) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr && userName != nullptr);
    if (err == kOk)
        err = packageKey(package, PackageName::Stored, "", KeyAction::Add, &key);
    return err != kOk ? err : setText(key, kPackageName, userName);
}

REGERR VR_GetUninstallUserName(const char* package, char* buffer, std::uint32_t bufferSize) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr && buffer != nullptr && bufferSize != 0);
    if (err == kOk)
        err = packageKey(package, PackageName::Escaped, "", KeyAction::Find, &key);
    return err != kOk ? err : NR_RegGetEntryString(gRegistry, key, kPackageName, buffer, bufferSize);
}

REGERR VR_UninstallAddFileToList(const char* package, const char* file) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr && file != nullptr);
    if (err == kOk)
        err = packageKey(package, PackageName::Stored, kSharedFiles, KeyAction::Add, &key);
    return err != kOk ? err : setText(key, file, "");
}

REGERR VR_UninstallFileExistsInList(const char* package, const char* file) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr && file != nullptr);
    if (err == kOk)
        err = packageKey(package, PackageName::Stored, kSharedFiles, KeyAction::Find, &key);
    if (err != kOk)
        return err;
    char value[kTextSize];
    return NR_RegGetEntryString(gRegistry, key, file, value, sizeof value);
}

REGERR VR_UninstallEnumSharedFiles(const char* package, REGENUM* state, char* buffer,
                                   std::uint32_t bufferSize) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr);
    if (err == kOk)
        err = packageKey(package, PackageName::Escaped, kSharedFiles, KeyAction::Find, &key);
    return err != kOk ? err : NR_RegEnumEntries(gRegistry, key, state, buffer, bufferSize, nullptr);
}

REGERR VR_UninstallDeleteFileFromList(const char* package, const char* file) {
    RKEY key = 0;
    REGERR err = enter(package != nullptr && file != nullptr);
    if (err == kOk)
        err = packageKey(package, PackageName::Escaped, kSharedFiles, KeyAction::Find, &key);
    return err != kOk ? err : NR_RegDeleteEntry(gRegistry, key, file);
}

REGERR VR_UninstallDeleteSharedFilesKey(const char* package) {
    REGERR err = enter(package != nullptr);
    return err != kOk ? err : packageKey(package, PackageName::Escaped, kSharedFiles, KeyAction::Delete);
}

REGERR VR_UninstallDestroy(const char* package) {
    REGERR err = enter(package != nullptr);
    return err != kOk ? err : packageKey(package, PackageName::Escaped, "", KeyAction::Delete);
}

REGERR VR_EnumUninstall(REGENUM* state, char* userName, std::int32_t userNameSize, char* package,
                        std::int32_t packageSize, int shared) {
    REGERR err = enter(state != nullptr && userName != nullptr && package != nullptr && userNameSize > 0 &&
                       packageSize > 0);
    if (err != kOk)
        return err;
    char listPath[sizeof kUninstallPrefix + kTextSize];
    const char* owner = shared ? kShared : gProductName;
    std::size_t prefixLength = sizeof kUninstallPrefix - 1;
    std::memcpy(listPath, kUninstallPrefix, prefixLength);
    std::memcpy(listPath + prefixLength, owner, boundedLength(owner, kTextSize - 1));
    listPath[prefixLength + boundedLength(owner, kTextSize - 1)] = '\0';
    RKEY list = 0;
    if ((err = NR_RegGetKey(gRegistry, kKeyPrivateArenas, listPath, &list)) != kOk)
        return err;
    char child[2049];
    child[0] = '\0';
    for (;;) {
        err = NR_RegEnumSubkeys(gRegistry, list, state, child, sizeof child, kEnumChildren);
        if (err != kOk)
            return err;
        if (shared || std::strcmp(child, "_") != 0)
            break; // the product's empty package name is not listed
    }
    err = NR_RegGetEntryString(gRegistry, *state, kPackageName, userName,
                               static_cast<std::uint32_t>(userNameSize));
    if (err != kOk) {
        userName[0] = '\0';
        return err;
    }
    if (std::strlen(child) >= static_cast<std::size_t>(packageSize)) {
        userName[0] = '\0';
        return kBufferTooSmall;
    }
    char stored[sizeof child + 1];
    std::size_t lead = shared ? 1 : 0;
    stored[0] = '/';
    std::memcpy(stored + lead, child, std::strlen(child) + 1);
    return unescapePackage(stored, package, static_cast<std::size_t>(packageSize));
}

} // namespace zov::reg
