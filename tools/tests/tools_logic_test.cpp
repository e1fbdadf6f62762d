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

TEST(Paths, UninstallRecordStaysInsideTheClientFolder) {
    EXPECT_TRUE(isInsideRelative("wzov.exe"));
    EXPECT_TRUE(isInsideRelative("idb\\main.idx"));
    EXPECT_TRUE(isInsideRelative("a/b..c/.d"));
    for (const char* outside :
         {"", "..\\boot.ini", "idb\\..\\..\\x", "idb/../../x", "\\Windows\\x", "/x", "C:\\x", "C:x",
          "x:stream", "\\\\server\\share\\x", "idb\\...\\x", "idb\\.. \\x", ".\\x"})
        EXPECT_FALSE(isInsideRelative(outside)) << outside;
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

// The movie control's own logic: the file format and the playing head.
#include "common/movie_format.h"

namespace {

const char* const kProgressMovie = R"(zmovie 1
# a progress movie in three frames
size 320 240
rate 10
frames 3
background 0A1E3C
label start 0
label wizardback 2
stop 2
rect 0 2 10 10 20 5 FFFFFF 4 0
text 0 2 5 5 12 FFFFFF "Installing {MainProgress}%"
bar 0 2 10 200 300 10 203040 2878FF MainProgress
bar 0 2 10 220 300 10 203040 2878FF SecProgress if ShowSec=1
button 1 2 250 5 60 20 C8E0F0 003060 "Cancel" cancel if MainProgress!=
)";

} // namespace

TEST(MovieFormat, ReadsEveryStatementAndRefusesWhatIsOutOfBounds) {
    std::string error;
    std::optional<Movie> movie = parseMovie(kProgressMovie, &error);
    ASSERT_TRUE(movie) << error;
    EXPECT_EQ(movie->width, 320);
    EXPECT_EQ(movie->frames, 3);
    EXPECT_EQ(movie->background, 0x0A1E3Cu);
    EXPECT_EQ(movie->labels.at("wizardback"), 2);
    ASSERT_EQ(movie->elements.size(), 5u);
    EXPECT_EQ(movie->elements[3].ifName, "ShowSec");
    EXPECT_TRUE(movie->elements[4].ifNot);
    EXPECT_EQ(movie->elements[4].command, "cancel");

    const char* bad[] = {
        "",                                              // no header
        "zmovie 2\n",                                    // another version
        "zmovie 1\nframes 2\nlabel end 2\n",             // label past the end
        "zmovie 1\nframes 2\nrect 0 2 0 0 1 1 FFFFFF\n", // frame range past the end
        "zmovie 1\nrect 0 0 0 0 1 1 FFFFFG\n",           // colour
        "zmovie 1\ntext 0 0 0 0 10 FFFFFF \"open\n",     // unclosed quote
        "zmovie 1\nsize 5000 10\n",                      // too large
        "zmovie 1\nframes 2\nframes 3\n",                // frames twice
        "zmovie 1\nbutton 0 0 0 0 1 1 FFFFFF 000000 \"x\" \"two words\"\n",
        "zmovie 1\njump 3\n",
    };
    for (const char* text : bad)
        EXPECT_FALSE(parseMovie(text)) << text;
    std::string many = "zmovie 1\n";
    for (std::size_t i = 0; i <= MovieLimits::kMaxElements; ++i)
        many += "rect 0 0 0 0 1 1 FFFFFF\n";
    EXPECT_FALSE(parseMovie(many));
}

TEST(MoviePlayer, PlaysStopsAtItsStopFramesLoopsAndShowsItsVariables) {
    MoviePlayer player;
    player.load(*parseMovie(kProgressMovie));
    EXPECT_TRUE(player.playing());
    EXPECT_TRUE(player.tick());
    EXPECT_TRUE(player.tick()); // onto the stop frame
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.tick());
    player.play(); // from the last frame: loops to the first
    EXPECT_TRUE(player.tick());
    EXPECT_EQ(player.currentFrame(), 0);
    player.loop = false;
    ASSERT_TRUE(player.gotoFrame(1));
    player.play();
    player.tick();
    player.play();
    EXPECT_FALSE(player.tick()); // the end of a movie that does not loop
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.gotoFrame(3));
    EXPECT_FALSE(player.gotoLabel("nowhere"));
    ASSERT_TRUE(player.gotoLabel("start"));
    EXPECT_EQ(player.currentFrame(), 0);

    player.setVariable("ShowSec", "0");
    ASSERT_TRUE(player.gotoFrame(1));
    EXPECT_EQ(player.scene().size(), 3u) << "no button before the progress is set";
    ASSERT_TRUE(player.gotoFrame(0));
    player.setVariable("MainProgress", "42");
    std::vector<DrawItem> scene = player.scene();
    ASSERT_EQ(scene.size(), 3u); // no button before frame 1, no secondary bar
    EXPECT_EQ(scene[1].text, "Installing 42%");
    EXPECT_EQ(scene[2].percent, 42);
    player.setVariable("MainProgress", "101"); // out of range: an empty bar
    player.setVariable("ShowSec", "1");
    ASSERT_TRUE(player.gotoFrame(2));
    scene = player.scene();
    ASSERT_EQ(scene.size(), 5u);
    EXPECT_EQ(scene[0].x, 18); // moved 4 a frame for two frames
    EXPECT_EQ(scene[2].percent, 0);
    EXPECT_EQ(player.buttonAt(260, 10), std::optional<std::size_t>(4));
    EXPECT_EQ(player.buttonAt(249, 10), std::nullopt);
}
