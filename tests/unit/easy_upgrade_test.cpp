// Easy upgrade ("-eu") as whole unattended runs on the simulated machine: the registered
// client is found, tested and read, and its folder, language and country reach the engine.
#include "common/client_db_writer.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace zov;
using Writer = zov::tools::ClientDatabaseWriter;

namespace {

const std::string kEngine = "D:\\comp01.000";
const std::string kCopy = "C:\\copy.ini";
const std::string kClient = "C:\\Program Files\\ZOV 9.0";
const std::string kVelquonet = "Software\\Velquonet\\Velquonet";

class EasyUpgrade : public sim::InstallerFixture {
  protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        sim.traceWire.monitor = 0x4242;
        sim.processes.registerProgram(kEngine, {[](sim::SimMachine& s, const std::string&) {
                                                    s.profile.writeString(s.tempFile("install.ini"), "exit",
                                                                          "rc", "0");
                                                },
                                                0, 0});
    }

    void installClient(const std::string& folder, const std::vector<std::uint8_t>& database) {
        sim.files.writeText(folder + "\\wzov.exe", "MZ");
        sim.files.writeBytes(folder + "\\idb\\main.idx", database);
    }

    // "-u": the system checks are not what these runs are about.
    std::uint32_t run(const std::string& line) { return InstallerFixture::run("-u " + line); }
    std::string copied(const std::string& key) {
        return sim.profile.readString(kCopy, "enter", key, "<absent>", 1024);
    }
};

TEST_F(EasyUpgrade, LastRegisteredClientIsUpgradedWithoutAQuestion) {
    Writer db;
    db.version("8.0")
        .build(3000, 12, 'b', 1)
        .language(6)
        .country(1)
        .codebase("3000.12")
        .screenNames({"Alice"});
    installClient(kClient, db.bytes());
    sim.registry.setString(RegRoot::LocalMachine, kVelquonet, "LastRegisteredAppPath", kClient);
    EXPECT_EQ(run("-eu -? " + kCopy), 0u);
    EXPECT_EQ(copied("INSTALL_TYPE"), "C");
    EXPECT_EQ(copied("OLDDIR"), kClient);
    EXPECT_EQ(copied("OLDLANGUAGECODE"), "6");
    EXPECT_EQ(copied("OLDCOUNTRYCODE"), "1");
    EXPECT_EQ(history("qi"), "1");
    EXPECT_EQ(history("upc"), "3000.12");
    EXPECT_EQ(history("ucb"), "3000.12b");
    EXPECT_EQ(history("udir"), kClient);
    EXPECT_TRUE(traced("Performing Easy Upgrade. User will not be prompted for install options."));
    EXPECT_TRUE(traced("Upgrading from Client Version '3000.12b' (Codebase '3000.12')"));
    EXPECT_TRUE(traced("Location of client to upgrade '" + kClient + "'"));
    EXPECT_EQ(sim.registry.readString(RegRoot::LocalMachine, kVelquonet + "\\Installs", kClient), "8.0,1,6");
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(EasyUpgrade, TheEnginesOwnDatabaseIsFoundAgain) {
    installClient(kClient, tools::installedClientDatabase("ZOV Member"));
    sim.registry.setString(RegRoot::LocalMachine, kVelquonet, "LastRegisteredAppPath", kClient);
    EXPECT_EQ(run("-eu -? " + kCopy), 0u);
    EXPECT_EQ(copied("INSTALL_TYPE"), "C");
    EXPECT_EQ(copied("OLDLANGUAGECODE"), "0");
    EXPECT_EQ(copied("OLDCOUNTRYCODE"), "1");
    EXPECT_EQ(history("upc"), "4327.271");
    EXPECT_EQ(history("ucb"), "4327.271");
}

TEST_F(EasyUpgrade, RegisteredClientWhenNothingWasLastRegistered) {
    installClient("C:\\ZOV8", Writer().version("8.0").language(0).country(1).screenNames({"Bob"}).bytes());
    sim.registry.setString(RegRoot::LocalMachine, kVelquonet + "\\CurrentVersion", "Apppath", "C:\\ZOV8");
    EXPECT_EQ(run("-eu -? " + kCopy), 0u);
    EXPECT_EQ(copied("INSTALL_TYPE"), "C");
    EXPECT_EQ(copied("OLDDIR"), "C:\\ZOV8");
    EXPECT_EQ(history("udir"), "C:\\ZOV8");
}

TEST_F(EasyUpgrade, NothingSuitableMakesAnAdditionalAccount) {
    EXPECT_EQ(run("-eu -? " + kCopy), 0u);
    EXPECT_EQ(copied("INSTALL_TYPE"), "E");
    EXPECT_EQ(copied("OLDDIR"), "");
    EXPECT_EQ(history("udir"), "<absent>");
}

TEST_F(EasyUpgrade, RejectedLastRegisteredClientIsNotReplacedByApppath) {
    // An unregistered client in the last registered folder; a good one under Apppath.
    installClient("C:\\Guest", Writer().version("8.0").screenNames({"Guest     "}).bytes());
    installClient("C:\\Good", Writer().version("8.0").screenNames({"Bob"}).bytes());
    sim.registry.setString(RegRoot::LocalMachine, kVelquonet, "LastRegisteredAppPath", "C:\\Guest");
    sim.registry.setString(RegRoot::LocalMachine, kVelquonet + "\\CurrentVersion", "Apppath", "C:\\Good");
    EXPECT_EQ(run("-eu -? " + kCopy), 0u);
    EXPECT_EQ(copied("INSTALL_TYPE"), "E");
    EXPECT_EQ(copied("OLDDIR"), "");
}

} // namespace
