// The fakes' behaviour that other tests rely on without seeing it.
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using zov::BoxAnswer;
using zov::BoxKind;
using zov::sim::SimMachine;

namespace {

using Strings = std::vector<std::string>;
const std::string kIni = "C:\\Users\\user\\AppData\\Local\\Temp\\install.ini";

} // namespace

TEST(SimProfile, KeysAndSectionsAppendInOrderAndMatchWithoutCase) {
    SimMachine m;
    auto& p = m.profile;
    EXPECT_TRUE(p.writeString(kIni, "IETOOLBAR", "VelaInstallSelected", "0"));
    EXPECT_TRUE(p.writeString(kIni, "enter", "MAINDIR", "C:\\Program Files\\ZOV 9.0"));
    EXPECT_TRUE(p.writeString(kIni, "enter", "OLDDIR", ""));
    EXPECT_TRUE(p.writeString(kIni, "ENTER", "maindir", "D:\\x")); // replaced in place
    EXPECT_TRUE(p.writeString(kIni, "ietoolbar", "More", "1"));
    EXPECT_EQ(m.readText(kIni), "[IETOOLBAR]\r\nVelaInstallSelected=0\r\nMore=1\r\n"
                                "[enter]\r\nMAINDIR=D:\\x\r\nOLDDIR=\r\n");

    EXPECT_TRUE(p.deleteKey(kIni, "Enter", "olddir"));
    EXPECT_TRUE(p.deleteSection(kIni, "IETOOLBAR"));
    EXPECT_TRUE(p.deleteSection(kIni, "exit")); // absent: nothing to do
    EXPECT_EQ(m.readText(kIni), "[enter]\r\nMAINDIR=D:\\x\r\n");
}

TEST(SimProfile, ReadsParseHandWrittenFiles) {
    SimMachine m;
    m.writeText(kIni, "; comment\n[exit]\n  rc = 7x  \nquoted=\"a b\"\n\n[exit2]\nrc=1\n");
    auto& p = m.profile;
    EXPECT_EQ(p.readString(kIni, "EXIT", "RC", "", 2048), "7x");
    EXPECT_EQ(p.readString(kIni, "exit", "quoted", "", 2048), "a b");
    EXPECT_EQ(p.readString(kIni, "exit", "rc", "", 2), "7");         // bufferSize - 1 characters
    EXPECT_EQ(p.readString(kIni, "exit", "none", "N  ", 2048), "N"); // default without trailing blanks
    EXPECT_EQ(p.readString(kIni, "missing", "rc", "dflt", 3), "df");
    EXPECT_EQ(p.readString("C:\\nowhere\\x.ini", "exit", "rc", "", 2048), "");
}

TEST(SimProfile, SectionNamesStopAtTheBuffer) {
    SimMachine m;
    m.writeText(kIni, "[abc]\r\n[defg]\r\n[hi]\r\n");
    auto& p = m.profile;
    EXPECT_EQ(p.sectionNames(kIni, 1024), (Strings{"abc", "defg", "hi"}));
    // "abc\0defg\0" takes 9 of 10 bytes, leaving one for the list's end.
    EXPECT_EQ(p.sectionNames(kIni, 10), (Strings{"abc", "defg"}));
    // One byte short: the last name that started is cut.
    EXPECT_EQ(p.sectionNames(kIni, 9), (Strings{"abc", "def"}));
    EXPECT_EQ(p.sectionNames(kIni, 1), Strings{});
}

TEST(SimProfile, WritesFailWhereFilesCannotBeWritten) {
    SimMachine m;
    EXPECT_FALSE(m.profile.writeString("C:\\missing\\x.ini", "s", "k", "v"));
    EXPECT_EQ(m.system.error, 3u);
    m.files.readOnlyPrefixes.push_back("c:/users/user/appdata/local/temp");
    EXPECT_FALSE(m.profile.writeString(kIni, "s", "k", "v"));
    EXPECT_EQ(m.system.error, 5u);
    EXPECT_FALSE(m.files.fileExists(kIni));
    EXPECT_TRUE(m.profile.writeString("C:\\Users\\user\\x.ini", "s", "k", "v")); // beside it is fine
}

TEST(SimFiles, FindMatchesWildcardsInOneFolderOnly) {
    SimMachine m;
    const std::string t = "C:\\Users\\user\\AppData\\Local\\Temp\\";
    for (const char* name : {"GL1.TMP", "gl22.tmp", "XGL1.TMP", "GL3.TMPX", "GL.TMP", "readme"})
        m.writeText(t + name, "");
    m.writeText(t + "sub\\GL9.TMP", "");
    EXPECT_EQ(m.files.find(t + "GL*.TMP"), (Strings{t + "GL.TMP", t + "GL1.TMP", t + "gl22.tmp"}));
    EXPECT_EQ(m.files.find(t + "GL?.TMP"), (Strings{t + "GL1.TMP"}));
    EXPECT_EQ(m.files.find(t + "*.*").size(), 6u); // names without a dot too
    EXPECT_EQ(m.files.find("c:/users/user/appdata/local/temp/readme"),
              (Strings{"c:\\users\\user\\appdata\\local\\temp\\readme"}));
    EXPECT_TRUE(m.files.find("C:\\nowhere\\*").empty());
}

TEST(SimFiles, UniqueFileAndCopy) {
    SimMachine m;
    const std::string t = m.system.temp;
    m.writeText(t + "GL1.TMP", "taken");
    EXPECT_EQ(m.files.uniqueFile(t, "GL"), t + "GL2.TMP");
    EXPECT_EQ(m.files.uniqueFile("C:\\Windows", "TMPX"), "C:\\Windows\\TMP3.TMP"); // three characters
    EXPECT_EQ(m.files.uniqueFile("C:\\absent", "TMP"), "");

    m.writeText("C:\\a.txt", "data");
    m.files.setHidden("C:\\a.txt");
    EXPECT_TRUE(m.files.copyFile("c:\\A.TXT", "C:\\Windows\\b.txt"));
    EXPECT_EQ(m.readText("C:\\windows\\B.txt"), "data");
    EXPECT_TRUE(m.files.isHidden("C:\\Windows\\b.txt"));
    EXPECT_FALSE(m.files.copyFile("C:\\none.txt", "C:\\c.txt"));
    EXPECT_EQ(m.system.error, 2u);
}

TEST(SimFiles, OutputFileStopsWhenTheDiskIsFull) {
    SimMachine m;
    m.files.diskFullAfterBytes = 1500;
    auto out = m.files.create(m.system.temp + "progupd.dll");
    ASSERT_TRUE(out);
    std::string block(1024, 'b');
    EXPECT_EQ(out->write(block.data(), block.size()), 1024u);
    EXPECT_EQ(out->write(block.data(), block.size()), 476u);
    EXPECT_EQ(m.system.error, 112u);
    EXPECT_EQ(m.files.openOutputFiles, 1);
    out->close();
    EXPECT_EQ(m.files.openOutputFiles, 0);
    EXPECT_EQ(m.readText(m.system.temp + "progupd.dll").size(), 1500u);
    EXPECT_FALSE(m.files.create("C:\\no folder\\x.dll"));
}

TEST(SimProcesses, ProgramsRunByPathAndEndAfterPolls) {
    SimMachine m;
    std::string seen;
    m.processes.registerProgram("D:\\Setup Files\\comp01.000",
                                {[&](SimMachine& s, const std::string& line) {
                                     seen = line;
                                     s.profile.writeString(s.tempFile("install.ini"), "exit", "rc", "0");
                                 },
                                 7, 2});
    auto h = m.processes.start({"d:\\setup files\\COMP01.000", "-z"}, false);
    ASSERT_TRUE(h);
    EXPECT_EQ(seen, "\"d:\\setup files\\COMP01.000\" -z");
    EXPECT_EQ(m.profile.readString(m.tempFile("install.ini"), "exit", "rc", "", 8), "0");
    EXPECT_EQ(m.processes.exitCode(h), 259u);
    EXPECT_FALSE(m.processes.hasEnded(h));
    EXPECT_FALSE(m.processes.hasEnded(h));
    EXPECT_TRUE(m.processes.hasEnded(h));
    EXPECT_EQ(m.processes.exitCode(h), 7u);
    m.processes.close(h);
    EXPECT_FALSE(h);
    EXPECT_EQ(m.processes.openHandles(), 0);

    EXPECT_FALSE(m.processes.start({"C:\\nothing.exe", "/a"}, true));
    EXPECT_EQ(m.system.error, 2u);
    ASSERT_EQ(m.processes.starts.size(), 2u);
    EXPECT_FALSE(m.processes.starts[1].started);
}

TEST(SimWindows, PostedMessagesArriveWhilePumping) {
    SimMachine m;
    std::vector<std::uint32_t> got;
    auto frame = m.windows.addWindow("ZOVInstallerClass", "Install",
                                     [&](std::uint32_t msg, std::uintptr_t, std::intptr_t) {
                                         got.push_back(msg);
                                         return std::intptr_t{msg == 1124 ? 1 : 0};
                                     });
    EXPECT_EQ(m.windows.sendMessage(frame, 1124, 0, 0), 1);
    EXPECT_TRUE(m.windows.postMessage(frame, 1125, 0, 0));
    EXPECT_EQ(got, (std::vector<std::uint32_t>{1124}));
    m.windows.onPump = [&](SimMachine& s) {
        if (s.windows.pumps == 2)
            s.windows.postMessage(frame, 1154, 0, 0);
    };
    m.windows.pumpMessages();
    m.windows.pumpMessages();
    EXPECT_EQ(got, (std::vector<std::uint32_t>{1124, 1125}));
    m.windows.pumpMessages();
    EXPECT_EQ(got, (std::vector<std::uint32_t>{1124, 1125, 1154}));

    std::string cls = "zovinstallerclass";
    EXPECT_EQ(m.windows.findWindow(&cls, nullptr), frame);
    EXPECT_FALSE(m.windows.postMessage(0x1, 1, 0, 0));
}

TEST(SimWindows, MessageBoxesAnswerFromTheScriptThenAsASilentRun) {
    SimMachine m;
    m.windows.boxAnswers = {BoxAnswer::Retry};
    EXPECT_EQ(m.windows.messageBox(BoxKind::Error, "low", "cap"), BoxAnswer::Retry);
    EXPECT_EQ(m.windows.messageBox(BoxKind::Error, "low", "cap"), BoxAnswer::Cancel);
    EXPECT_EQ(m.windows.messageBox(BoxKind::Question, "q", "cap"), BoxAnswer::Yes);
    EXPECT_EQ(m.windows.messageBox(BoxKind::Warning, "w", "cap"), BoxAnswer::Ok);
    ASSERT_EQ(m.windows.boxes.size(), 4u);
    EXPECT_EQ(m.windows.boxes[0].text, "low");
}

TEST(SimClock, CalendarAndTicksFollowManualTime) {
    SimMachine m;
    auto t = m.clock.utcNow();
    EXPECT_EQ(t.year, 2026u);
    EXPECT_EQ(t.month, 3u);
    EXPECT_EQ(t.day, 2u);
    EXPECT_EQ(t.weekday, 1u);
    std::uint32_t tick = m.clock.tickCount();
    m.clock.sleep(50);
    EXPECT_EQ(m.clock.tickCount(), tick + 50);
    m.clock.setUtc(2024, 2, 29, 23, 59, 59, 999);
    t = m.clock.utcNow();
    EXPECT_EQ(t.month, 2u);
    EXPECT_EQ(t.day, 29u);
    EXPECT_EQ(t.weekday, 4u);
    EXPECT_EQ(m.clock.unixSeconds(), 1709251199u);
    EXPECT_EQ(m.clock.tickCount(), tick + 50); // a jump of the calendar does not move the tick count
    m.system.measureCpuMhz();
    EXPECT_EQ(m.clock.utcNow().month, 3u);
}

TEST(SimShell, ShortcutsAreFilesThatDeletePatternRemoves) {
    SimMachine m;
    const std::string desk = "C:\\Users\\user\\Desktop\\";
    EXPECT_TRUE(m.shell.createShortcut(desk + "Retry ZOV 9.0 VR.lnk", "D:\\setup.exe", "Install ZOV 9.0 VR"));
    EXPECT_EQ(m.shell.shortcutTarget(desk + "retry zov 9.0 vr.LNK"), "D:\\setup.exe");
    EXPECT_FALSE(m.shell.shortcutTarget(desk + "other.lnk"));
    EXPECT_FALSE(m.shell.createShortcut("C:\\No Desktop\\x.lnk", "D:\\setup.exe", ""));
    m.writeText(desk + "notes.txt", "");
    EXPECT_TRUE(m.shell.deletePattern(desk + "*.lnk"));
    EXPECT_EQ(m.files.find(desk + "*"), (Strings{desk + "notes.txt"}));
}

TEST(SimMachine, ExitThrowsAndStringsCanBeChanged) {
    SimMachine m;
    try {
        m.machine().exit.exit(1602);
        FAIL() << "exit returned";
    } catch (const zov::sim::Exited& e) {
        EXPECT_EQ(e.code, 1602u);
    }
    m.strings.set(2, "Caption");
    EXPECT_EQ(m.strings.get(2), "Caption");
    m.strings.remove(2);
    EXPECT_EQ(m.strings.get(2), "");
    EXPECT_EQ(m.strings.get(999999), "");
}
