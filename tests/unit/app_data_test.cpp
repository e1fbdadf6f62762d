// The data folder of an installed client and the all-users application-data folder.
#include "run/app_data.h"
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

using namespace zov;
using zov::sim::SimMachine;

namespace {

const std::string kClient = "C:\\Program Files\\ZOV 8.0";
const std::string kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

class AppData : public ::testing::Test {
  protected:
    SimMachine sim;
    std::optional<std::string> shellAnswer = std::string("C:\\ProgramData");
    int shellCalls = 0;
    ShellAppDataLookup shell = [this] {
        ++shellCalls;
        return shellAnswer;
    };

    void appdataIni(const std::string& common, const std::string& folder) {
        sim.writeText(kClient + "\\appdata.ini",
                      "[appdata]\r\nCommon=" + common + "\r\nFolder=" + folder + "\r\n");
    }
    std::string dataFolder() {
        return ClientDataFolder(sim.profile, shell, sim.registry, sim.system, kClient);
    }
};

TEST_F(AppData, WithoutFolderTheDataLivesInTheClientFolderWhateverCommonSays) {
    EXPECT_EQ(dataFolder(), kClient); // no appdata.ini at all
    appdataIni("D:\\Shared", "");
    EXPECT_EQ(dataFolder(), kClient);
    EXPECT_EQ(shellCalls, 0);
}

TEST_F(AppData, FolderBelowCommon) {
    appdataIni("D:\\Shared", "ZOV\\Data");
    EXPECT_EQ(dataFolder(), "D:\\Shared\\ZOV\\Data");
    EXPECT_EQ(shellCalls, 0);
}

TEST_F(AppData, FolderBelowTheAllUsersFolderWhenCommonIsEmpty) {
    appdataIni("", "ZOV");
    EXPECT_EQ(dataFolder(), "C:\\ProgramData\\ZOV");

    shellAnswer.reset();
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Common AppData", "E:\\All Users Data");
    EXPECT_EQ(dataFolder(), "E:\\All Users Data\\ZOV");

    sim.registry.deleteValue(RegRoot::LocalMachine, kCurrentVersion, "Common AppData");
    EXPECT_EQ(dataFolder(), "C:\\Windows\\All Users\\Application Data\\ZOV");
}

TEST_F(AppData, EmptyAnswersCountAsNone) {
    shellAnswer = std::string();
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Common AppData", "");
    EXPECT_FALSE(CommonAppDataFolder(shell, sim.registry));
    EXPECT_EQ(AllUsersAppDataFolder(shell, sim.registry, sim.system),
              "C:\\Windows\\All Users\\Application Data");
}

TEST_F(AppData, LongFolderIsNotCut) {
    const std::string folder(240, 'f');
    appdataIni("D:\\Shared", folder);
    EXPECT_EQ(dataFolder(), "D:\\Shared\\" + folder);
}

} // namespace
