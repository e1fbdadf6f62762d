// Writes the seed corpus of the client database fuzz targets: files made by the tools'
// writer, in the targets' input layout (2-byte length of main.idx, main.idx, SNMaster.idx).
//   client_db_seeds <folder>
#include "common/client_db_writer.h"

#include <cstdio>
#include <string>
#include <vector>

using Writer = zov::tools::ClientDatabaseWriter;

namespace {

void seed(const std::string& folder, const std::string& name, const Writer& main,
          const Writer* master = nullptr) {
    std::vector<std::uint8_t> m = main.bytes();
    std::vector<std::uint8_t> input{static_cast<std::uint8_t>(m.size() & 0xFF),
                                    static_cast<std::uint8_t>(m.size() >> 8)};
    input.insert(input.end(), m.begin(), m.end());
    if (master) {
        std::vector<std::uint8_t> s = master->bytes();
        input.insert(input.end(), s.begin(), s.end());
    }
    std::string path = folder + "/" + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
}

Writer client(Writer::Format format) {
    Writer w(format);
    w.version("8.0")
        .language(0)
        .country(1)
        .codebase("4327.100")
        .build(8, 0, 'b')
        .screenNames({"Alice", "Bob"});
    return w;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string out = argv[1];
    seed(out, "new", client(Writer::Format::New));
    seed(out, "old", client(Writer::Format::Old));
    seed(out, "installed",
         Writer().version("9.0").build(4327, 271, 0, 1).language(0).country(1).codebase("4327.271"));
    seed(out, "lower-signature", Writer().signature("zovdb-25").version("9").screenNames({"Guest     "}));
    seed(out, "inactive", Writer().version("9.0", Writer::kInactive).version("7.1"));
    seed(
        out, "scrambled",
        Writer().version("4.0").screenNames({"Alice"}, Writer::kScrambled).codebase("x", Writer::kScrambled));
    seed(out, "version3", Writer().version("3.0").build(3, 0, 0).codebase("3.0"));
    seed(out, "garbage",
         Writer().version("8.0").garbage({1, 2, 3, 'R', '2', 'D', '2', 9}).language(6).country(1));
    seed(out, "long-length", Writer().recordWithLength(Writer::kCodebase, {'1', '2'}, 70000).version("8.0"));
    Writer master;
    master.version("9.5").screenNames({"Master", "Second"});
    seed(out, "master", Writer().screenNames({"Old"}).version("9.5").language(0).country(1).build(9, 5, 0),
         &master);
    Writer oldMaster(Writer::Format::Old);
    oldMaster.screenNames({"M"}, Writer::kScrambled);
    seed(out, "old-master", Writer(Writer::Format::Old).version("9.6"), &oldMaster);
    return 0;
}
