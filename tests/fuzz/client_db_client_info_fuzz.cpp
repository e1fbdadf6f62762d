// ReadClientInfo and the signature search on arbitrary bytes.
#include "fuzz/client_db_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::MemoryFiles files(data, size);
    clientdb::FindClientDatabase(files, fuzz::kIdb, clientdb::kClientDatabaseKind);
    clientdb::ClientInfo info;
    int result = clientdb::ReadClientInfo(files, fuzz::kMain, info);
    fuzz::check(result == 0 || result == 1);
    fuzz::check(info.codebase.size() < clientdb::kCodebaseCapacity);
    return 0;
}
