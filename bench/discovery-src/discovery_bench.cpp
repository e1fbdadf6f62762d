// The client discovery's speed, set against floors measured in the same run:
//
//   disk search  the scanner's folder search (ClientScanner::searchFolder, the real Win32
//                ports) over a generated tree of 20,000 folders holding three clients, against
//                a plain recursive FindFirstFileA walk of the same tree;
//   reader       ReadClientInfo, ReadCandidateInfo and OpenRecordIndex on a 50 MB database
//                whose wanted records are at its end, against reading the file through in
//                64 KB pieces.
//
//   discovery_bench.exe <scratch folder> [runs]      (default: 1 run)
// Prints figures and ratios; asserts nothing.
#include "run/context.h"
#include "common/client_db_writer.h"
#include "discovery/client_db.h"
#include "discovery/scanner.h"
#include "platform/win32/win32_machine.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace zov;
using Writer = zov::tools::ClientDatabaseWriter;

namespace {

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(const std::function<void()>& work) {
    double start = now();
    work();
    return now() - start;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// 20 x 20 x 49 leaves under 420 inner folders: 20,020 folders, three of them clients.
int makeTree(const std::string& root) {
    CreateDirectoryA(root.c_str(), nullptr);
    int folders = 0;
    const std::vector<std::uint8_t> database = tools::installedClientDatabase("Bench Member");
    for (int a = 0; a < 20; ++a) {
        std::string pa = root + "\\a" + std::to_string(a);
        CreateDirectoryA(pa.c_str(), nullptr);
        ++folders;
        for (int b = 0; b < 20; ++b) {
            std::string pb = pa + "\\b" + std::to_string(b);
            CreateDirectoryA(pb.c_str(), nullptr);
            ++folders;
            for (int c = 0; c < 49; ++c) {
                std::string pc = pb + "\\c" + std::to_string(c);
                CreateDirectoryA(pc.c_str(), nullptr);
                ++folders;
                bool client = (a == 3 && b == 7 && c == 11) || (a == 11 && b == 2 && c == 40) ||
                              (a == 19 && b == 19 && c == 48);
                if (client) {
                    writeFile(pc + "\\wzov.exe", {'M', 'Z'});
                    CreateDirectoryA((pc + "\\idb").c_str(), nullptr);
                    writeFile(pc + "\\idb\\main.idx", database);
                }
            }
        }
    }
    return folders;
}

// The floor: every folder listed once, nothing else asked.
void plainWalk(const std::string& path, int& folders) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> children;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && found.cFileName[0] != '.')
            children.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& child : children) {
        ++folders;
        plainWalk(path + "\\" + child, folders);
    }
}

class EndsByThrowing : public Finisher {
  public:
    [[noreturn]] void finish(std::uint32_t code) override {
        throw std::runtime_error("finish " + std::to_string(code));
    }
    [[noreturn]] void restartExit(std::uint32_t code) override { finish(code); }
};

std::vector<std::uint8_t> bigDatabase(std::size_t megabytes) {
    std::vector<std::uint8_t> bytes = Writer().bytes(); // the file header
    Writer block;
    block.withoutHeader();
    std::vector<std::uint8_t> filler(1000, 0x5A);
    for (int i = 0; i < 4096; ++i)
        block.record(0x14000099u + static_cast<std::uint32_t>(i % 7), filler);
    const std::vector<std::uint8_t> records = block.bytes();
    while (bytes.size() < megabytes * 1024 * 1024)
        bytes.insert(bytes.end(), records.begin(), records.end());
    Writer last;
    last.withoutHeader().version("9.0").build(4327, 271, 0, 1).language(0).country(1).codebase("4327.271");
    last.screenNames({"Bench"});
    const std::vector<std::uint8_t> wanted = last.bytes();
    bytes.insert(bytes.end(), wanted.begin(), wanted.end());
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: discovery_bench <scratch folder> [runs]\n");
        return 2;
    }
    const std::string scratch = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    CreateDirectoryA(scratch.c_str(), nullptr);

    win32::Win32Machine real(GetModuleHandleA(nullptr));
    Machine machine = real.machine();
    Trace trace(machine.traceWire, machine.clock, machine.system);
    CInstallHistory history({machine.profile, machine.files, machine.system, machine.registry, machine.clock,
                             machine.checks.disk},
                            "9.0", "4327.271");
    InstallSession session;
    session.silent = true;
    Prompts prompts(machine.windows, machine.strings, session.silent);
    EndsByThrowing finisher;
    bool abort = false;
    RunContext run{machine, trace, history, prompts, finisher, abort};

    // --- disk search ---------------------------------------------------------------------
    const std::string tree = scratch + "\\tree";
    double made = timed([&] { makeTree(tree); });
    int folders = 0;
    std::vector<double> walk, search;
    std::size_t found = 0;
    for (int i = 0; i < runs; ++i) {
        folders = 0;
        walk.push_back(timed([&] { plainWalk(tree, folders); }));
        ClientScanner scanner(run, session);
        search.push_back(timed([&] { scanner.searchFolder(0, tree); }));
        found = scanner.candidates().size();
    }
    double walkS = median(walk), searchS = median(search);
    std::printf("disk search: %d folders (tree made in %.1f s), %zu clients found\n", folders, made, found);
    std::printf("  plain FindFirstFileA walk  %8.3f s  %9.0f folders/s\n", walkS, folders / walkS);
    std::printf("  scanner search             %8.3f s  %9.0f folders/s\n", searchS, folders / searchS);
    std::printf("  ratio search / walk        %8.2fx  (goal: within 1.3x)\n", searchS / walkS);

    // --- reader ---------------------------------------------------------------------------
    const std::string idb = scratch + "\\idb";
    CreateDirectoryA(idb.c_str(), nullptr);
    const std::string path = idb + "\\main.idx";
    std::vector<std::uint8_t> bytes = bigDatabase(50);
    writeFile(path, bytes);
    const double megabytes = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
    std::vector<double> sweep, client, candidate, index;
    for (int i = 0; i < runs; ++i) {
        sweep.push_back(timed([&] {
            std::unique_ptr<InputFile> file = machine.discovery.openRead(path);
            std::vector<std::uint8_t> buffer(64 * 1024);
            std::uint64_t offset = 0;
            while (std::size_t got = file->readAt(offset, buffer.data(), buffer.size()))
                offset += got;
        }));
        client.push_back(timed([&] {
            clientdb::ClientInfo info;
            if (clientdb::ReadClientInfo(machine.discovery, path, info) != 1 || info.version != 0x00090000u)
                throw std::runtime_error("ReadClientInfo missed the records at the end");
        }));
        candidate.push_back(timed([&] {
            clientdb::CandidateInfo info;
            if (clientdb::ReadCandidateInfo(machine.discovery, path, info) != 1 ||
                info.firstScreenName() != "Bench")
                throw std::runtime_error("ReadCandidateInfo missed the records at the end");
        }));
        index.push_back(timed([&] {
            clientdb::RecordIndexPtr opened;
            if (clientdb::OpenRecordIndex(machine.discovery, path, opened) != clientdb::kIndexOpened)
                throw std::runtime_error("OpenRecordIndex failed");
        }));
    }
    const double records = static_cast<double>(bytes.size()) / 1026.0;
    std::printf("reader: %.1f MB database, about %.0f records, the wanted ones last\n", megabytes, records);
    std::printf("  64 KB sequential reads     %8.3f s  %8.1f MB/s\n", median(sweep),
                megabytes / median(sweep));
    for (auto [name, times] : {std::pair<const char*, std::vector<double>*>{"ReadClientInfo", &client},
                               {"ReadCandidateInfo", &candidate},
                               {"OpenRecordIndex", &index}}) {
        double s = median(*times);
        std::printf("  %-26s %8.3f s  %8.1f MB/s  %9.0f records/s  %5.1fx the sequential read\n", name, s,
                    megabytes / s, records / s, s / median(sweep));
    }
    return 0;
}
