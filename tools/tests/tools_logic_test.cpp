// The tools' decisions that need no Windows: what the engine makes of install.ini and its
// control file, how it sizes and reports, what it takes back on a cancel, and the wire
// formats of the client's pipe and the Trace Monitor.
#include "common/engine_logic.h"
#include "common/tool_options.h"
#include "common/wire_formats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>

using namespace zov::tools;

TEST(ParseInteger, AcceptsOnlyWholeDecimalNumbers) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("  -7 "), -7);
    EXPECT_EQ(parseInteger("+3"), 3);
    EXPECT_EQ(parseInteger(""), std::nullopt);
    EXPECT_EQ(parseInteger("-"), std::nullopt);
    EXPECT_EQ(parseInteger("12x"), std::nullopt);
    EXPECT_EQ(parseInteger("1 2"), std::nullopt);
    EXPECT_EQ(parseInteger("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseInteger("9223372036854775808"), std::nullopt);
}

TEST(ParseFrameHandle, ReadsTheSignedDecimalTheSetupWrote) {
    EXPECT_EQ(parseFrameHandle("196906"), 196906);
    // A handle with the top bit set is written negative and must come back sign-extended,
    // as the system widens 32-bit handles.
    EXPECT_EQ(parseFrameHandle("-2147287040"), static_cast<std::intptr_t>(INT32_C(-2147287040)));
    EXPECT_EQ(parseFrameHandle("4294967295"), static_cast<std::intptr_t>(-1));
}

TEST(ParseFrameHandle, RejectsWhatIsNoWindow) {
    EXPECT_EQ(parseFrameHandle(""), 0);
    EXPECT_EQ(parseFrameHandle("0x1234"), 0);
    EXPECT_EQ(parseFrameHandle("12abc"), 0);
    EXPECT_EQ(parseFrameHandle("4294967296"), 0);
    EXPECT_EQ(parseFrameHandle("-2147483649"), 0);
    // The broadcast handle would turn every report into a message to every window.
    EXPECT_EQ(parseFrameHandle("65535"), 0);
}

TEST(Sizes, RoundEachFileUpToWholeKilobytes) {
    EXPECT_EQ(kilobytesFor(0), 0u);
    EXPECT_EQ(kilobytesFor(1), 1u);
    EXPECT_EQ(kilobytesFor(1024), 1u);
    EXPECT_EQ(kilobytesFor(1025), 2u);
    // Two one-byte files need two kilobytes, not one.
    InstallSizes sizes = installSizesFor({{"a", 1}, {"b", 1}, {"c\\d", 3000}});
    EXPECT_EQ(sizes.base, 5u);
    EXPECT_EQ(sizes.total(), 5u);
}

TEST(PercentOf, StaysWithinZeroToHundred) {
    EXPECT_EQ(percentOf(0, 0), 100); // nothing to copy is complete
    EXPECT_EQ(percentOf(0, 3), 0);
    EXPECT_EQ(percentOf(1, 3), 33);
    EXPECT_EQ(percentOf(3, 3), 100);
    EXPECT_EQ(percentOf(5, 3), 100);
    // Totals near the top of the range must not overflow into nonsense.
    EXPECT_EQ(percentOf(UINT64_MAX / 2, UINT64_MAX), 49);
    EXPECT_EQ(percentOf(UINT64_MAX - 1, UINT64_MAX), 99);
}

TEST(Paths, DriveRootedFoldersOnly) {
    EXPECT_TRUE(isDriveRootedPath("C:\\Program Files\\ZOV"));
    EXPECT_TRUE(isDriveRootedPath("d:/zov"));
    EXPECT_FALSE(isDriveRootedPath("C:zov"));
    EXPECT_FALSE(isDriveRootedPath("\\\\server\\share"));
    EXPECT_FALSE(isDriveRootedPath("zov"));
    EXPECT_FALSE(isDriveRootedPath(""));
}

TEST(Paths, NormalizeAndJoin) {
    EXPECT_EQ(normalizeFolder("C:\\ZOV\\\\"), "C:\\ZOV");
    EXPECT_EQ(normalizeFolder("C:/ZOV/sub/"), "C:\\ZOV\\sub");
    EXPECT_EQ(normalizeFolder("C:\\"), "C:\\");
    EXPECT_EQ(joinPath("C:\\ZOV", "wzov.exe"), "C:\\ZOV\\wzov.exe");
    EXPECT_EQ(joinPath("C:\\", "wzov.exe"), "C:\\wzov.exe");
    EXPECT_EQ(joinPath("", "wzov.exe"), "wzov.exe");
}

TEST(FoldersToCreate, OutermostMissingFirstAndNeverTheRoot) {
    std::set<std::string> existing = {"C:\\A"};
    auto isDirectory = [&](const std::string& path) { return existing.count(path) != 0; };
    EXPECT_EQ(foldersToCreate("C:\\A\\B\\C\\", isDirectory),
              (std::vector<std::string>{"C:\\A\\B", "C:\\A\\B\\C"}));
    EXPECT_EQ(foldersToCreate("C:\\A", isDirectory), std::vector<std::string>{});
    EXPECT_EQ(foldersToCreate("C:\\", isDirectory), std::vector<std::string>{});
    EXPECT_EQ(foldersToCreate("relative\\x", isDirectory), std::vector<std::string>{});
}

namespace {
EngineControl controlOf(const std::map<std::string, std::string>& keys) {
    return readControl([&](const char* key) {
        auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    });
}
} // namespace

TEST(ReadControl, NothingSetChangesNothing) {
    EngineControl control = controlOf({});
    EXPECT_FALSE(control.result);
    EXPECT_FALSE(control.noResult);
    EXPECT_FALSE(control.skipInstall || control.restart || control.diskFail || control.engineBox ||
                 control.crash);
    EXPECT_EQ(control.delayMs, 0u);
    EXPECT_FALSE(control.phase);
    EXPECT_FALSE(control.cancelAt);
}

TEST(ReadControl, ResultOverridesOrSuppressesRc) {
    EXPECT_EQ(controlOf({{"result", "7x"}}).result, "7x");
    EngineControl none = controlOf({{"result", "none"}});
    EXPECT_TRUE(none.noResult);
    EXPECT_FALSE(none.result);
}

TEST(ReadControl, FlagsAndNumbers) {
    EngineControl control = controlOf({{"restart", "1"},
                                       {"diskfail", "yes"},
                                       {"enginebox", "0"},
                                       {"crash", "no"},
                                       {"skip_install", "TRUE"},
                                       {"delay_ms", "250"},
                                       {"phase", "-2"},
                                       {"cancel_at", "50"},
                                       {"record", " C:\\rec.txt "}});
    EXPECT_TRUE(control.restart);
    EXPECT_TRUE(control.diskFail);
    EXPECT_FALSE(control.engineBox);
    EXPECT_FALSE(control.crash);
    EXPECT_TRUE(control.skipInstall);
    EXPECT_EQ(control.delayMs, 250u);
    EXPECT_EQ(control.phase, -2);
    EXPECT_EQ(control.cancelAt, 50);
    EXPECT_EQ(control.record, "C:\\rec.txt");
}

TEST(ReadControl, MalformedOrOutOfRangeNumbersAreIgnored) {
    EngineControl control =
        controlOf({{"delay_ms", "-5"}, {"phase", "two"}, {"cancel_at", "101"}, {"result", ""}});
    EXPECT_EQ(control.delayMs, 0u);
    EXPECT_FALSE(control.phase);
    EXPECT_FALSE(control.cancelAt);
    EXPECT_FALSE(control.result);
    EXPECT_EQ(controlOf({{"cancel_at", "-1"}}).cancelAt, std::nullopt);
    EXPECT_EQ(controlOf({{"cancel_at", "0"}}).cancelAt, 0);
    // A typo must not leave an engine asleep for days.
    EXPECT_EQ(controlOf({{"delay_ms", "999999999999"}}).delayMs, kMaxControlDelayMs);
}

TEST(ReadControl, HoldPointsNeedTheirReleaseFile) {
    EngineControl control = controlOf({{"hold", "50, start,x,10"}, {"hold_file", "C:\\go"}});
    EXPECT_TRUE(control.holdAtStart);
    EXPECT_EQ(control.holdAt, (std::vector<int>{10, 50}));
    // Without a file nothing could ever release the engine.
    EXPECT_TRUE(controlOf({{"hold", "start,50"}}).holdAt.empty());
    EXPECT_FALSE(controlOf({{"hold", "start"}}).holdAtStart);
}

TEST(InstallJournal, UndoesNewestFirstSoFilesGoBeforeTheirFolders) {
    InstallJournal journal;
    journal.createdDirectory("C:\\Z");
    journal.createdFile("C:\\Z\\a");
    journal.replacedFile("C:\\Z\\b", "C:\\Z\\zbk1.tmp");
    journal.pendingReplacement("C:\\Z\\zup2.tmp");
    auto undo = journal.undoOrder();
    ASSERT_EQ(undo.size(), 4u);
    EXPECT_EQ(undo[0].kind, InstallJournal::Kind::PendingReplacement);
    EXPECT_EQ(undo[1].kind, InstallJournal::Kind::ReplacedFile);
    EXPECT_EQ(undo[1].backup, "C:\\Z\\zbk1.tmp");
    EXPECT_EQ(undo[3].kind, InstallJournal::Kind::CreatedDirectory);
    EXPECT_EQ(journal.backupsToDiscard(), std::vector<std::string>{"C:\\Z\\zbk1.tmp"});
}

TEST(InstallJournal, DropLastForgetsAChangeThatDidNotHappen) {
    InstallJournal journal;
    journal.createdFile("C:\\Z\\a");
    journal.replacedFile("C:\\Z\\b", "C:\\Z\\zbk1.tmp");
    journal.dropLast();
    EXPECT_EQ(journal.entries().size(), 1u);
    EXPECT_TRUE(journal.backupsToDiscard().empty());
    journal.dropLast();
    journal.dropLast(); // on an empty journal: nothing
    EXPECT_TRUE(journal.entries().empty());
}

TEST(ClientOptions, SlashesAndAnyLetterCase) {
    ClientOptions options =
        parseClientOptions({"/16BIT", "/ExitDelay", "1500", "-NoExit", "-unknown", "-variant"});
    EXPECT_TRUE(options.sixteenBit);
    EXPECT_EQ(options.exitDelayMs, 1500u);
    EXPECT_TRUE(options.noExit);
    EXPECT_EQ(options.sign, ClientSign::Variant);
    EXPECT_EQ(parseClientOptions({"/Sibling"}).sign, ClientSign::Sibling);
    EXPECT_EQ(parseClientOptions({"-uninstaller"}).sign, ClientSign::Uninstaller);
}

TEST(ToolOptions, DefaultsAndMissingValues) {
    ClientOptions none = parseClientOptions({});
    EXPECT_FALSE(none.sixteenBit || none.noExit);
    EXPECT_EQ(none.sign, ClientSign::Client);
    EXPECT_EQ(none.exitDelayMs, 0u);
    EXPECT_EQ(none.appTitle, "ZOV");
    EXPECT_FALSE(none.userName);
    // A switch where the count should be is not eaten as the count.
    ClientOptions options = parseClientOptions({"-exitdelay", "-16bit"});
    EXPECT_EQ(options.exitDelayMs, 0u);
    EXPECT_TRUE(options.sixteenBit);
    EXPECT_EQ(parseClientOptions({"-exitdelay"}).exitDelayMs, 0u);
    EXPECT_EQ(parseClientOptions({"-exitdelay", "-20"}).exitDelayMs, 0u);
    EXPECT_FALSE(parseClientOptions({"-username"}).userName);
    MonitorOptions monitor = parseMonitorOptions({"-o", "-hang-after", "x"});
    EXPECT_EQ(monitor.outputFile, "-hang-after"); // a file name may look like anything
    EXPECT_EQ(monitor.hangAfter, 0u);
    EXPECT_TRUE(parseMonitorOptions({"-o"}).outputFile.empty());
}

TEST(PipeProtocol, CommandOfARequest) {
    std::string request = pipeRequest(3);
    ASSERT_EQ(request.size(), 8u);
    auto bytes = reinterpret_cast<const unsigned char*>(request.data());
    EXPECT_EQ(pipeCommand(bytes, request.size()), 3u);
    const unsigned char wide[] = {0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(pipeCommand(wide, 4), 256u); // not command 0
    const unsigned char shortRequest[] = {3};
    EXPECT_EQ(pipeCommand(shortRequest, 1), 3u);
    EXPECT_EQ(pipeCommand(shortRequest, 0), std::nullopt);
    EXPECT_EQ(pipeCommand(nullptr, 8), std::nullopt);
}

TEST(PipeProtocol, RepliesAreTextAndOneNulWithinTheLimit) {
    EXPECT_EQ(pipeAnswer(kPipeUserName, "Tester", "ZOV"), std::string("Tester", 7));
    EXPECT_EQ(pipeAnswer(kPipeAppTitle, "Tester", "ZOV"), std::string("ZOV", 4));
    EXPECT_EQ(pipeAnswer(7, "Tester", "ZOV"), "");
    // Unknown user: the empty reply, not a lone NUL.
    EXPECT_EQ(pipeAnswer(kPipeUserName, "", "ZOV"), "");
    std::string reply = pipeReply(std::string(400, 'u'));
    EXPECT_EQ(reply.size(), kPipeMessageMax);
    EXPECT_EQ(reply.back(), '\0');
    EXPECT_EQ(pipeReply(std::string("ab\0cd", 5)), std::string("ab", 3));
    EXPECT_EQ(pipeReply(std::string("\0x", 2)), "");
}

TEST(CopyDataText, NeverReadsPastCbData) {
    EXPECT_EQ(copyDataText("line", 5), "line");
    EXPECT_EQ(copyDataText("abcdef", 3), "abc"); // no NUL within the bytes given
    EXPECT_EQ(copyDataText("in\0hidden", 10), "in");
    EXPECT_EQ(copyDataText(nullptr, 100), "");
    EXPECT_EQ(copyDataText("x", 0), "");
    std::string huge(kTraceTextMax + 100, 'h');
    EXPECT_EQ(copyDataText(huge.data(), huge.size()).size(), kTraceTextMax);
}

TEST(MonitorLine, StripsTrailingLineEndsUnlessRaw) {
    EXPECT_EQ(monitorLine("OK\n", false), "OK");
    EXPECT_EQ(monitorLine("Last Error: 2-The system cannot find the file specified.\r\n", false),
              "Last Error: 2-The system cannot find the file specified.");
    EXPECT_EQ(monitorLine("a\nb\n\n", false), "a\nb");
    EXPECT_EQ(monitorLine("\n", false), "");
    EXPECT_EQ(monitorLine("OK\n", true), "OK\n");
}
