#include "res/strings.h"

#include <algorithm>
#include <iterator>

namespace zov {
namespace {

struct Entry {
    unsigned id;
    const char* text;
};

constexpr Entry kTable[] = {
#define ZOV_STRING(id, text) {id, text},
#include "res/string_table.inc"
#undef ZOV_STRING
};

} // namespace

const char* builtinString(unsigned id) {
    auto it = std::find_if(std::begin(kTable), std::end(kTable), [id](const Entry& e) { return e.id == id; });
    return it == std::end(kTable) ? nullptr : it->text;
}

} // namespace zov
