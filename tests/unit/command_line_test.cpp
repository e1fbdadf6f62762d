#include "app/command_line.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using zov::InstallerCommandLine;

namespace {

InstallerCommandLine parsed(const std::string& line, std::set<std::string> drives = {}) {
    InstallerCommandLine cl([drives](const std::string& root) { return drives.count(root) != 0; });
    EXPECT_TRUE(cl.parse(line));
    return cl;
}

} // namespace

TEST(CommandLine, EmptyLineGivesEmptyTable) {
    auto cl = parsed("");
    EXPECT_EQ(cl.size(), 0u);
}

TEST(CommandLine, LineStartingWithALetterIsNotParsedEvenWithSwitchesLater) {
    auto cl = parsed("setup /s -t");
    EXPECT_EQ(cl.size(), 0u);
}

TEST(CommandLine, FlagsAndValuedSwitches) {
    auto cl = parsed("/s -t -g C:\\Games\\Zov /oem1");
    EXPECT_TRUE(cl.has("/s"));
    EXPECT_TRUE(cl.has("-t"));
    EXPECT_TRUE(cl.has("/oem1"));
    EXPECT_EQ(cl.value("-g"), "C:\\Games\\Zov");
    EXPECT_EQ(cl.value("/s"), "");
    EXPECT_FALSE(cl.value("-h").has_value());
}

TEST(CommandLine, SwitchAfterValuedSwitchIsNotItsArgument) {
    auto cl = parsed("-h -t");
    EXPECT_EQ(cl.value("-h"), "");
    EXPECT_TRUE(cl.has("-t"));
}

TEST(CommandLine, QuotedArgumentKeepsBlanksWithoutQuotes) {
    EXPECT_EQ(parsed("-b \"Jane Doe\"").value("-b"), "Jane Doe");
    EXPECT_EQ(parsed("-b\"Jane Doe\"").value("-b"), "Jane Doe");
    EXPECT_FALSE(parsed("-b \"Jane\r\n[DLLs]\"").has("-b")); // a line end: dropped, never cut
}

TEST(CommandLine, ValuedSwitchAtTheEndGetsEmptyArgument) {
    EXPECT_EQ(parsed("-t -b").value("-b"), "");
    EXPECT_EQ(parsed("-b \"unterminated").value("-b"), "");
}

TEST(CommandLine, LastValueWins) {
    EXPECT_EQ(parsed("-g C:\\One -g C:\\Two").value("-g"), "C:\\Two");
}

TEST(CommandLine, UnknownCandidatesAndDashesInsidePathsAreDropped) {
    auto cl = parsed("-g C:\\my-stuff\\dir /q -zz -eu");
    EXPECT_EQ(cl.value("-g"), "C:\\my-stuff\\dir");
    EXPECT_FALSE(cl.has("-stuff"));
    EXPECT_FALSE(cl.has("/q"));
    EXPECT_FALSE(cl.has("-zz"));
    EXPECT_FALSE(cl.has("-z"));
    EXPECT_TRUE(cl.has("-eu"));
    EXPECT_FALSE(cl.has("-e"));
}

TEST(CommandLine, SlashXTakesItsArgument) {
    auto cl = parsed("/s /x foo");
    EXPECT_EQ(cl.value("/x"), "foo");
    EXPECT_TRUE(cl.has("/s"));
}

TEST(CommandLine, ShortDriveFormNeedsAnExistingRoot) {
    EXPECT_EQ(parsed("-vE", {"E:\\"}).value("-v"), "E");
    EXPECT_FALSE(parsed("-vQ", {"E:\\"}).has("-v"));
    EXPECT_EQ(parsed("-v E", {}).value("-v"), "E");
}

TEST(CommandLine, OverLongTokenIsDroppedWithoutHarm) {
    std::string token = "-" + std::string(199, 'h');
    auto cl = parsed(token + " -t");
    EXPECT_TRUE(cl.has("-t"));
    EXPECT_EQ(cl.size(), 1u);
}

TEST(CommandLine, OverLongArgumentDropsTheSwitch) {
    std::string path(5000, 'x');
    auto cl = parsed("-g " + path + " -t");
    EXPECT_FALSE(cl.has("-g"));
    EXPECT_TRUE(cl.has("-t"));
    // The longest argument that fits is kept whole.
    std::string fits(259, 'y');
    EXPECT_EQ(parsed("-g " + fits).value("-g"), fits);
}

TEST(CommandLine, UnbalancedQuotesAndStraySwitchCharactersDoNotCrash) {
    for (std::string line : {"-b \"", "\"", "-", "/", "- / -- //", "-g \"C:\\a b -t", "-?\"", "/x\""}) {
        InstallerCommandLine cl;
        EXPECT_TRUE(cl.parse(line)) << line;
    }
    EXPECT_TRUE(parsed("-g \"C:\\a b -t").has("-t"));
}

TEST(CommandLine, ProgramNameIsRemovedFromTheProcessLine) {
    EXPECT_EQ(zov::withoutProgramName("\"D:\\setup.exe\"  /s -t"), "/s -t");
    EXPECT_EQ(zov::withoutProgramName("setup.exe\t-j"), "-j");
    EXPECT_EQ(zov::withoutProgramName("setup.exe"), "");
    EXPECT_EQ(zov::withoutProgramName("\"D:\\unterminated"), "");
}
