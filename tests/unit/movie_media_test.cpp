// The movies' settings file: which media folders let the frame play movies, what one section
// loads, and the stop points of a progress movie.
#include "ui/movie_media.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

using namespace zov;

namespace {

class Media : public zov::sim::RunFixture {
  protected:
    const std::string folder = "D:\\cd\\media\\";

    void SetUp() override {
        std::string ini = "[settings]\r\nuse_flash_progress=1\r\nflash_hsize=800\r\nflash_vsize=600\r\n";
        for (const char* section : kMovieSections) {
            ini += std::string("[") + section + "]\r\nAction=1\r\nFile=" + section + ".zmv\r\n";
            sim.files.writeText(folder + section + ".zmv", "zmovie 1\r\n");
        }
        sim.files.writeText(folder + "media.ini", ini);
        set("upgrade", "stops", "4");
    }
    void set(const char* section, const char* key, const char* value) {
        if (value == nullptr)
            sim.profile.deleteKey(folder + "media.ini", section, key);
        else
            sim.profile.writeString(folder + "media.ini", section, key, value);
    }
    std::string failing() {
        std::string failed;
        EXPECT_FALSE(ValidateMedia(sim.profile, sim.files, folder, &failed));
        return failed;
    }
};

TEST_F(Media, EverySectionMustBeUnusedOrNameAFileThatExists) {
    std::optional<MovieMedia> media = ValidateMedia(sim.profile, sim.files, folder);
    ASSERT_TRUE(media);
    EXPECT_TRUE(media->useFlashProgress);
    EXPECT_EQ(media->width, 800);
    EXPECT_EQ(media->stopsNewMember, 10);
    EXPECT_EQ(media->stopsUpgrade, 4);

    set("bband", "Action", "0"); // unused: passes without its file
    sim.files.removeFile(folder + "bband.zmv");
    EXPECT_TRUE(ValidateMedia(sim.profile, sim.files, folder));
    set("bband", "Action", "2"); // any other value needs the file
    EXPECT_EQ(failing(), "bband");
    set("bband", "Action", "0");

    set("searching", "File", nullptr); // no File: "!" names nothing
    EXPECT_EQ(failing(), "searching");
    set("searching", "File", "");
    EXPECT_EQ(failing(), "searching");
    set("searching", "File", "searching.zmv");
    set("start", "Action", nullptr); // no Action: validated as 3
    sim.files.removeFile(folder + "start.zmv");
    EXPECT_EQ(failing(), "start") << "the first failing section is named";

    sim.files.removeFile(folder + "media.ini");
    EXPECT_EQ(failing(), "media.ini");
}

TEST_F(Media, OnlyASectionWithActionOneLoads) {
    set("ending", "BGColor", "0A1E3C9999");
    set("ending", "Align", "3");
    std::optional<MovieSection> ending = ReadMovieSection(sim.profile, folder, "ending");
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->file, "ending.zmv");
    EXPECT_EQ(ending->bgColor, "0A1E3C999"); // up to 9 characters
    EXPECT_EQ(ending->align, 3);
    EXPECT_EQ(ReadMovieSection(sim.profile, folder, "start")->align, 10);
    set("start", "Action", "0");
    EXPECT_FALSE(ReadMovieSection(sim.profile, folder, "start"));
    set("start", "Action", nullptr); // a load's default is 0, unlike validation's
    EXPECT_FALSE(ReadMovieSection(sim.profile, folder, "start"));
    set("start", "Action", "2");
    EXPECT_FALSE(ReadMovieSection(sim.profile, folder, "start"));
}

TEST(StopPoints, AreThePercentageOfStopsPlusOneRoundedDown) {
    EXPECT_EQ(StopPointsDue(0, 10), 0);
    EXPECT_EQ(StopPointsDue(9, 10), 0);
    EXPECT_EQ(StopPointsDue(10, 10), 1);
    EXPECT_EQ(StopPointsDue(50, 10), 5);
    EXPECT_EQ(StopPointsDue(100, 10), 11);
    EXPECT_EQ(StopPointsDue(100, 0), 1);
    EXPECT_EQ(StopPointsDue(99, 4), 4);
    EXPECT_EQ(StopPointsDue(101, 10), 0);
    EXPECT_EQ(StopPointsDue(100, 0x7FFFFFFF), 0x7FFFFFFF) << "no overflow from a stops value at the limit";
}

} // namespace
