// Writes the seed corpora of the command-line, cookie, pipe, comps.ini and round-trip fuzz
// targets, each into "<folder>/<target>.seeds", in the targets' input layouts
// (fuzz_input.h): well-formed inputs of every shape the formats allow, and values at and
// past their buffers' limits.
//   fuzz_seeds <folder>
#include "fuzz/fuzz_input.h"
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using zov::fuzz::Output;

namespace {

fs::path gRoot;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::path folder = gRoot / (target + ".seeds");
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string pipeRequest(std::uint32_t command) {
    return Output().u32(command).u32(0).str();
}

void commandLines() {
    const std::vector<std::pair<const char*, std::string>> lines = {
        {"empty", "\"D:\\setup.exe\""},
        {"screen-name", "D:\\setup.exe -b Alice"},
        {"quoted-screen-name", "D:\\setup.exe -b \"Alice Smith\" -a"},
        {"screen-name-at-end", "D:\\setup.exe -a -b"},
        {"h-wins-over-g", "\"D:\\setup.exe\" -h Zov -g E:\\Elsewhere"},
        {"g-existing", "D:\\setup.exe -g C:\\Windows"},
        {"h-then-switch", "D:\\setup.exe -h -a"},
        {"silent-x", "setup.exe /s /x foo"},
        {"z-and-j", "setup.exe -z -j"},
        {"icons", "setup.exe -k /oem1 /oem2 -d -m -t -p -f /notlbar /nodskbr"},
        {"short-drive", "setup.exe -vE -n"},
        {"long-drive", "setup.exe -v E -e"},
        {"cd-drive", "setup.exe -v D"},
        {"easy-upgrade", "setup.exe -eu"},
        {"settings-copy", "setup.exe -? C:\\copy.ini -u -o 5"},
        {"letter-first", "setup.exe x -b Alice"},
        {"dash-in-path", "setup.exe -g C:\\a-b\\c/d -b x-y"},
        {"tabs-and-lines", "setup.exe\t-b\t\"A\tB\"\r\n-a"},
        {"quoted-line-end", "setup.exe -b \"two\nlines\""},
        {"arg-259", "setup.exe -b " + std::string(259, 'b')},
        {"arg-260", "setup.exe -b \"" + std::string(260, 'b') + "\""},
        {"dir-259", "setup.exe -g C:\\" + std::string(256, 'g')},
        {"h-past-path", "setup.exe -h " + std::string(243, 'h')},
        {"token-49", "setup.exe -" + std::string(48, 't') + " -a"},
        {"token-50", "setup.exe /" + std::string(49, 't') + " /s"},
    };
    for (const auto& [name, line] : lines)
        seed("command_line", name, line);
}

// A registry file as a browser writes its profile list (the profile manager's or
// Mozilla's), naming `folder`.
std::string profileRegistry(bool manager, const std::string& folder) {
    fs::path file = gRoot / "profile-registry.tmp";
    fs::remove(file);
    zov::reg::HREG h = nullptr;
    std::string bytes;
    if (zov::reg::NR_RegOpen(file.string().c_str(), &h) == zov::reg::kOk) {
        zov::reg::RKEY key = 0;
        zov::reg::NR_RegAddKey(h, zov::reg::kKeyCommon, manager ? "Tidewell/ProfileManager" : "Profiles",
                               &key);
        zov::reg::NR_RegSetEntryString(h, key, manager ? "LastTidewellUser" : "CurrentProfile", "default");
        zov::reg::NR_RegAddKey(h, manager ? zov::reg::kKeyUsers : zov::reg::kKeyCommon,
                               manager ? "default" : "Profiles/default", &key);
        zov::reg::NR_RegSetEntryString(h, key, manager ? "ProfileLocation" : "directory", folder.c_str());
        zov::reg::NR_RegClose(h);
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    zov::reg::NR_ShutdownRegistry();
    fs::remove(file);
    return bytes;
}

std::string cookieLine(const std::string& expires, const std::string& name, const std::string& value,
                       const std::string& domain = ".zov.invalid") {
    return domain + "\tTRUE\t/\tFALSE\t" + expires + "\t" + name + "\t" + value + "\r\n";
}

void cookies() {
    const std::string later = "1900000000";
    const std::string stamp = cookieLine(later, "TimeStamp", "07152004 13:45:30");
    // Registry files, when given, stand for those of Mozilla, the profile manager and
    // Quillstone, in that order.
    auto input = [](const std::string& system, const std::string& mozilla, const std::string& manager,
                    const std::string& quillstone, const std::vector<std::string>& registries = {}) {
        Output out;
        out.u8(static_cast<std::uint8_t>((1u << registries.size()) - 1));
        for (const std::string& registry : registries)
            out.text16(registry);
        return out.text16(system).text16(mozilla).text16(manager).raw(quillstone).str();
    };
    seed("cookies", "system", input("a=1; webregSN=Alice; TimeStamp=07152004 13:45:30", "", "", ""));
    seed("cookies", "system-line-end", input("webregSN=Bob\nother", "", "", ""));
    seed("cookies", "system-empty-value", input("webregSN=; a=1", "", "", ""));
    seed("cookies", "carriage-return",
         input("webregSN=Ann\r[DLLs]", cookieLine(later, "webregSN", "B\rC"), "", ""));
    seed("cookies", "all-four",
         input("webregSN=IE", cookieLine(later, "webregSN", "Moz") + stamp,
               cookieLine(later, "webregSN", "Mgr"), cookieLine(later, "webregSN", "Q")));
    seed("cookies", "expired",
         input("",
               cookieLine("0", "webregSN", "a") + cookieLine("-5", "webregSN", "b") +
                   cookieLine("1000", "webregSN", "c"),
               "", ""));
    seed("cookies", "keep-other-lines",
         input("",
               cookieLine(later, "other", "x") + cookieLine(later, "webregSN", "y", ".elsewhere.invalid") +
                   "# comment\n" + cookieLine(later, "webregSN", "Moz") + "last line without end",
               "", ""));
    std::string value255(255, 'v'), value256(256, 'v');
    seed("cookies", "value-255",
         input("webregSN=" + value255, cookieLine(later, "webregSN", value255), "", ""));
    seed("cookies", "value-256",
         input("webregSN=" + value256, cookieLine(later, "webregSN", value256), "", ""));
    std::string base = cookieLine(later, "webregSN", "");
    std::string line259 = cookieLine(later, "webregSN", std::string(259 - (base.size() - 1), 'w'));
    std::string line260 = cookieLine(later, "webregSN", std::string(260 - (base.size() - 1), 'w'));
    seed("cookies", "line-259", input("", "", line259, ""));
    seed("cookies", "line-260", input("", "", line260 + cookieLine(later, "webregSN", "after"), ""));
    seed("cookies", "timestamps",
         input("TimeStamp=07152004-13.45/30; webregSN=S",
               cookieLine(later, "TimeStamp", "0715200X 13:45:30") + cookieLine(later, "webregSN", "M"),
               cookieLine(later, "TimeStamp", "07152004 13:45") + cookieLine(later, "webregSN", "P"), ""));
    const std::vector<std::string> registries = {profileRegistry(false, "C:\\Moz\\profile"),
                                                 profileRegistry(true, "C:\\Mgr\\profile"),
                                                 profileRegistry(false, std::string(259, 'q'))};
    seed("cookies", "registry-files",
         input("", cookieLine(later, "webregSN", "M"), cookieLine(later, "webregSN", "P"), "", registries));
}

void pipes() {
    auto input = [](std::uint8_t options, const std::string& request, const std::string& user,
                    const std::string& userAnswer, const std::string& titleAnswer) {
        return Output().u8(options).text16(request).text16(user).text16(userAnswer).raw(titleAnswer).str();
    };
    seed("pipe", "user",
         input(0, pipeRequest(0), "Pat Example", std::string("Bob\0", 4), std::string("ZOV\0", 4)));
    seed("pipe", "title",
         input(1, pipeRequest(3), "Pat", std::string("Ann\0", 4), std::string("Install ZOV 9.0 VR\0", 19)));
    seed("pipe", "other-command", input(2, pipeRequest(7), "Pat", "", ""));
    seed("pipe", "one-byte", input(0, std::string(1, '\0'), "Pat", "x", "y"));
    seed("pipe", "empty", input(0, "", "", "", ""));
    seed(
        "pipe", "long-user",
        input(1, pipeRequest(0), std::string(300, 'u'), std::string(255, 'a') + '\0', std::string(256, 't')));
    seed("pipe", "long-request",
         input(2, pipeRequest(3) + std::string(300, 'r'), "Pat", std::string(257, 'a'), ""));
    seed("pipe", "nul-inside",
         input(0, pipeRequest(0), std::string("Pa\0t", 4), std::string("B\0ob", 4), std::string("\0", 1)));
}

void compsIni() {
    auto ini = [](const std::string& target, const std::string& params) {
        return "[ltext]\r\ntext=\r\n\r\n[mflash]\r\ntarget=" + target + "\r\nparams=" + params + "\r\n";
    };
    seed("comps_ini", "cd-image", ini("comps\\flash\\setup.exe", "/s"));
    seed("comps_ini", "no-params", ini("comps\\flash\\setup.exe", ""));
    seed("comps_ini", "build-path", ini("D:\\Build\\COMPS\\Flash\\Setup.EXE", "/Q /norestart"));
    seed("comps_ini", "quoted", ini("\"comps\\flash setup.exe\"", "'/s'"));
    seed("comps_ini", "quote-in-target",
         ini("\"c%omps\\flash\\setup.exe", "/s")); // found by fuzzing: the quote ended the program path
    seed("comps_ini", "no-target", "[mflash]\r\nparams=/s\r\n");
    seed("comps_ini", "other-section", "[other]\r\ntarget=x.exe\r\n");
    for (std::size_t n : {254, 255, 256, 259, 260, 261})
        seed("comps_ini", "target-" + std::to_string(n), ini("comps\\" + std::string(n - 6, 't'), "/s"));
    for (std::size_t n : {255, 256, 260})
        seed("comps_ini", "params-" + std::to_string(n), ini("comps\\f.exe", std::string(n, 'p')));
    for (std::size_t n : {4095, 4096})
        seed("comps_ini", "welcome-" + std::to_string(n),
             "[ltext]\r\ntext=" + std::string(n, 'w') + "\r\n[mflash]\r\ntarget=comps\\f.exe\r\n");
    seed("comps_ini", "welcome-quoted", "[LTEXT]\r\n TEXT = \"Welcome, member.\" \r\n");

    // The same text is the media folder's media.ini (start.zmv and loop.zmv are there).
    auto media = [](const std::string& action, const std::string& file, const std::string& extra) {
        std::string text = "[settings]\r\nuse_flash_progress=1\r\nflash_hsize=640\r\nflash_vsize=480\r\n";
        for (const char* section :
             {"start", "initializing", "searching", "newmember", "upgrade", "ending", "bband", "bband2"})
            text += std::string("[") + section + "]\r\nAction=" + action + "\r\nFile=" + file +
                    "\r\nBGColor=FFFFFF\r\nAlign=2\r\nstops=7\r\n";
        return text + extra;
    };
    seed("comps_ini", "media-all", media("1", "start.zmv", ""));
    seed("comps_ini", "media-off", media("0", "", ""));
    seed("comps_ini", "media-and-flash", media("1", "loop.zmv", ini("comps\\f.exe", "/s")));
    seed("comps_ini", "media-folder", media("2", "..\\media", ""));
    for (std::size_t n : {258, 259, 260, 261})
        seed("comps_ini", "media-file-" + std::to_string(n), media("1", std::string(n, 'f'), ""));
    for (std::size_t n : {9, 10, 11})
        seed("comps_ini", "media-color-" + std::to_string(n),
             "[start]\r\nAction=1\r\nFile=start.zmv\r\nBGColor=" + std::string(n, 'C') + "\r\n");
    seed("comps_ini", "media-numbers",
         "[settings]\r\nflash_hsize=-1\r\nflash_vsize=99999999999\r\n[newmember]\r\nAction=0\r\n"
         "stops=2147483647\r\n[upgrade]\r\nAction= -0\r\nstops=-5\r\n");
}

// The round-trip record layout of client_db_roundtrip_fuzz.cpp.
struct Db {
    Output out;
    Db& names(std::uint8_t flags, const std::string& data) {
        out.u8(0).u8(flags).text16(data);
        return *this;
    }
    Db& language(std::uint8_t flags, std::uint16_t code) {
        out.u8(1).u8(flags).u16(code);
        return *this;
    }
    Db& country(std::uint8_t flags, std::uint8_t code) {
        out.u8(2).u8(flags).u8(code);
        return *this;
    }
    Db& codebase(std::uint8_t flags, const std::string& text) {
        out.u8(3).u8(flags).text16(text);
        return *this;
    }
    Db& build(std::uint8_t flags, std::uint8_t variant, std::uint16_t major, std::uint16_t minor,
              char letter) {
        out.u8(4).u8(flags).u8(variant).u16(major).u16(minor).u8(static_cast<std::uint8_t>(letter));
        return *this;
    }
    Db& version(std::uint8_t flags, const std::string& text) {
        out.u8(5).u8(flags).text8(text);
        return *this;
    }
    Db& other(std::uint8_t flags, std::uint16_t type, const std::string& data) {
        out.u8(6).u8(flags).u16(type).text16(data);
        return *this;
    }
};

void clientDatabases() {
    auto input = [](std::uint8_t options, std::uint8_t count, const Db& main, const Db* master = nullptr) {
        Output out;
        out.u8(options).u8(count).raw(main.out.str());
        if (master != nullptr)
            out.raw(master->out.str());
        return out.str();
    };
    const std::string alice("\0Alice\0Bob\0", 11);
    Db installed;
    installed.version(0, "9.0")
        .build(0, 1, 4327, 271, 0)
        .language(0, 0)
        .country(0, 1)
        .codebase(0, "4327.271")
        .names(0, alice);
    seed("client_db_roundtrip", "installed", input(0, 6, installed));
    seed("client_db_roundtrip", "installed-old", input(1, 6, installed));
    Db old;
    old.version(0, "8")
        .build(0, 0, 8, 0, 'b')
        .language(1, 0xFFFF)
        .country(1, 255)
        .codebase(1, "4327")
        .names(1, alice);
    seed("client_db_roundtrip", "scrambled", input(2, 6, old));
    Db inactive;
    inactive.version(2, "9.0").version(0, "7.1").version(0, "7.2").language(2, 9).language(0, 6).other(
        0, 0x44, "x");
    seed("client_db_roundtrip", "inactive-and-repeated", input(0, 6, inactive));
    Db v3;
    v3.version(0, "3.0").build(0, 0, 3, 0, 0).codebase(0, "3.0");
    seed("client_db_roundtrip", "version-3", input(0, 3, v3));
    Db limits;
    limits.version(0, std::string(29, '9'))
        .codebase(0, std::string(257, 'c'))
        .codebase(0, std::string(259, 'c'))
        .names(0, std::string(1100, 'n'));
    seed("client_db_roundtrip", "limits", input(0, 4, limits));
    Db main95, master;
    main95.names(0, std::string("\0Old\0", 5))
        .version(0, "9.5")
        .language(0, 0)
        .country(0, 1)
        .build(0, 0, 9, 5, 0);
    master.version(0, "9.5").names(1, std::string("\0Master\0Second\0", 15));
    seed("client_db_roundtrip", "name-master", input(4, 5, main95, &master));
    Db oldMaster;
    oldMaster.names(1, std::string("\0M\0", 3));
    Db main96;
    main96.version(0, "9.6");
    seed("client_db_roundtrip", "old-name-master", input(1 | 4 | 8, 1, main96, &oldMaster));
    Db big;
    big.version(0, "10.0").names(0, std::string(1025, 'x'));
    seed("client_db_roundtrip", "master-too-big", input(4, 1, main95, &big));
}

// The operation layout of registry_roundtrip_fuzz.cpp.
void registryOperations() {
    Output tree;
    tree.u8(0).u8(1).u8(7).u8(3);                        // Common/<7 letters>
    tree.u8(0).u8(3).u8(5).u8(40);                       // below it
    tree.u8(1).u8(3).u8(9).u8(1).u8(0).u16(20).u8(65);   // a text entry
    tree.u8(1).u8(4).u8(4).u8(2).u8(1).u16(16).u8(7);    // an integer array
    tree.u8(2).u8(4).u8(6).u8(3).u8(2).u16(10).u8(200);  // bytes
    tree.u8(1).u8(4).u8(6).u8(3).u8(2).u16(8).u8(201);   // rewritten shorter: in place
    tree.u8(1).u8(4).u8(6).u8(3).u8(2).u16(300).u8(202); // longer: moved
    tree.u8(1).u8(4).u8(8).u8(4).u8(3).u16(12).u8(9);    // a file name
    tree.u8(5);                                          // reopen
    tree.u8(3).u8(4).u8(0);                              // delete an entry
    tree.u8(4).u8(0);                                    // delete a key with children: refused
    tree.u8(4).u8(1);
    seed("registry_roundtrip", "tree", tree.str());
    Output limits;
    limits.u8(0).u8(0).u8(255).u8(1);                           // a name past 511 bytes
    limits.u8(0).u8(0).u8(231).u8(1);                           // 511 bytes
    limits.u8(1).u8(3).u8(3).u8(1).u8(2).u16(0x8000 | 7).u8(1); // 32,767 bytes
    limits.u8(1).u8(3).u8(3).u8(1).u8(2).u16(0x8000 | 8).u8(1); // 32,768 bytes
    limits.u8(1).u8(0).u8(3).u8(1).u8(1).u16(6).u8(1);          // an array of 6 bytes
    limits.u8(1).u8(0).u8(0).u8(1).u8(2).u16(4).u8(1);          // an empty name
    limits.u8(0).u8(2).u8(4).u8(10).u8(0).u8(2).u8(4).u8(74);   // same name, other case
    seed("registry_roundtrip", "limits", limits.str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    gRoot = argv[1];
    // Only this program's seeds: a folder a fuzzer wrote into is made anew.
    for (const char* target :
         {"command_line", "cookies", "pipe", "comps_ini", "client_db_roundtrip", "registry_roundtrip"})
        fs::remove_all(gRoot / (std::string(target) + ".seeds"));
    commandLines();
    cookies();
    pipes();
    compsIni();
    clientDatabases();
    registryOperations();
    return 0;
}
