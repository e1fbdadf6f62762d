// ReadCandidateInfo, with "SNMaster.idx" behind it, on arbitrary bytes.
#include "fuzz/client_db_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::MemoryFiles files(data, size);
    clientdb::CandidateInfo info;
    int result = clientdb::ReadCandidateInfo(files, fuzz::kMain, info);
    fuzz::check(result == 0 || result == 1);
    fuzz::check(info.screenNames.size() == clientdb::kScreenNameCapacity);
    fuzz::check(info.screenNameLength <= clientdb::kScreenNameCapacity);
    fuzz::check(info.versionText.size() < clientdb::kCandidateVersionCapacity);
    fuzz::check(info.firstScreenName().size() < clientdb::kScreenNameCapacity);
    return 0;
}
