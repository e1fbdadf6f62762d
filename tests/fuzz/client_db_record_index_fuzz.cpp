// The record index and its readers on arbitrary bytes.
#include "fuzz/client_db_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    fuzz::MemoryFiles files(data, size);
    clientdb::RecordIndexPtr index;
    int result = clientdb::OpenRecordIndex(files, fuzz::kMain, index);
    fuzz::check((result == clientdb::kIndexOpened) == static_cast<bool>(index));
    if (!index)
        return 0;
    for (std::uint32_t type :
         {clientdb::kBuildRecord, clientdb::kScreenNameRecord, clientdb::kVersionRecord,
          clientdb::kLanguageRecord, clientdb::kCountryRecord, clientdb::kCodebaseRecord}) {
        if (auto record = clientdb::ReadIndexedRecord(*index, type))
            fuzz::check(record->data.size() <= 0xFFFF);
        std::uint8_t small[8];
        if (auto length = clientdb::ReadIndexedRecord(*index, type, small, sizeof small))
            fuzz::check(*length <= sizeof small);
        if (auto text = clientdb::ReadIndexedText(*index, type, 16))
            fuzz::check(text->size() < 16);
    }
    clientdb::CloseRecordIndex(index);
    return 0;
}
