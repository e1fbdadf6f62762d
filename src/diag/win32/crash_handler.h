// The crash handler installs itself when the program is loaded (crash_handler.cpp); this
// header only offers the test builds' way to crash on purpose.
#pragma once

namespace zov::win32 {

// Test builds (ZOV_TEST_HOOKS) only, and only when the environment variable ZOV_TEST_CRASH
// names a crash: "divide" (integer divide by zero), "access" (write to address 0),
// "badframe" (a frame pointer into unmapped memory, then an access violation), "raise"
// (an exception code outside the name table), "filter" (an access violation, and another
// inside the crash filter), "heap" (an access violation while another thread holds the C
// runtime's heap), "twice" (a raised exception 0xE0000001 that the filter installed for
// ZOV_TEST_CRASH_PREVIOUS lets the program survive, then an integer divide by zero). Does
// nothing otherwise, and nothing at all in a release build.
void CrashForTestsIfAsked();

} // namespace zov::win32
