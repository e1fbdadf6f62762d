// The look's rules: the settings' parsing, the button frames, the gradient mesh and the text
// progress bar.
#include "ui/appearance.h"

#include "sim/sim_machine.h"

#include <gtest/gtest.h>

namespace zov::appearance {
namespace {

TEST(Appearance, SettingsParseLikeTheShippedTable) {
    EXPECT_EQ(colour("2878ff"), (Rgb{0x28, 0x78, 0xFF}));
    for (const char* bad : {"2878F", "2878FF0", "2878FG", ""})
        EXPECT_EQ(colour(bad), Rgb{}) << bad; // black

    EXPECT_EQ(number("-18"), -18);
    EXPECT_EQ(number("16px"), 0);
    EXPECT_EQ(number(""), 0);

    EXPECT_TRUE(flag("y"));
    EXPECT_TRUE(flag("True"));
    EXPECT_FALSE(flag("YES"));
    EXPECT_FALSE(flag("N"));

    sim::SimStringTable strings;
    FontSetting headline = font(strings, setting::kHeadlineFace, setting::kHeadlineHeight,
                                setting::kHeadlineBold, setting::kHeadlineItalic);
    EXPECT_EQ(headline.face, "Arial");
    EXPECT_EQ(headline.height, 30);
    EXPECT_TRUE(headline.bold);
    EXPECT_FALSE(headline.italic);
}

TEST(Appearance, ButtonFramesFollowStateAndStrip) {
    EXPECT_EQ(buttonFrame(true, true, false, 4), 3);
    EXPECT_EQ(buttonFrame(false, true, false, 4), 2);
    // Only a five-frame strip has a disabled look.
    EXPECT_EQ(buttonFrame(true, true, true, 5), 4);
    EXPECT_EQ(buttonFrame(false, true, true, 4), 0);
    EXPECT_EQ(stripFrames(163), 5);
    EXPECT_EQ(stripFrames(131), 4);

    Slice third = frameSlice(485, 5, 2);
    EXPECT_EQ(third.left, 194);
    EXPECT_EQ(third.width, 97);
    EXPECT_EQ(frameSlice(1180, 4, 3).width, 295);
}

TEST(Appearance, GradientMeshByAngle) {
    const Rgb a{200, 224, 240}, b{0, 0, 100};
    auto vertical = gradient(0, 0, 10, 20, a, b, 270);
    ASSERT_TRUE(vertical);
    EXPECT_EQ(vertical->kind, GradientMesh::Kind::Vertical);

    auto diagonal = gradient(0, 0, 10, 20, a, b, 135);
    ASSERT_TRUE(diagonal);
    ASSERT_EQ(diagonal->vertices.size(), 4u);
    EXPECT_EQ(diagonal->vertices[0].x, 10); // mirrored: the start colour at the top right
    EXPECT_EQ(diagonal->vertices[0].colour, a);
    EXPECT_EQ(diagonal->vertices[2].colour, b);
    EXPECT_EQ(diagonal->vertices[1].colour, (Rgb{100, 112, 170}));
    EXPECT_EQ(diagonal->triangles.size(), 6u);

    EXPECT_FALSE(gradient(0, 0, 10, 20, a, b, 30));
}

TEST(Appearance, TextProgressBar) {
    EXPECT_FALSE(textProgress(5, 5, 5, 100).draw);
    BarGeometry half = textProgress(0, 100, 50, 201);
    EXPECT_TRUE(half.draw);
    EXPECT_EQ(half.barWidth, 100);
    EXPECT_EQ(half.percent, 50);
    EXPECT_EQ(textProgress(0, 100, 150, 200).barWidth, 200);

    EXPECT_DOUBLE_EQ(frameTextScale(false, 1280, 960), 1.0);
    EXPECT_NEAR(frameTextScale(true, 1280, 480), 1.0, 1e-6);
}

} // namespace
} // namespace zov::appearance
