// The program's string table as data, shared by the resource script and the native build.
#pragma once

namespace zov {

// The text of a numbered string, or nullptr when the table has no such entry.
const char* builtinString(unsigned id);

} // namespace zov
