// The product's look as rules the window code follows: the appearance settings of the string
// table (fonts, colours, numbers, flags), which bitmap strip each skinned button takes and
// which of its frames it shows, the gradient mesh of the skinned dialogs, and the text
// progress bar's geometry. The Win32 side only draws what these say.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zov::appearance {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Six hexadecimal digits, red, green, blue; anything else reads as black.
Rgb colour(const std::string& text);
// Decimal, an optional sign; 0 when anything but digits follows.
int number(const std::string& text);
// "TRUE" or "Y" in any letter case.
bool flag(const std::string& text);

struct FontSetting {
    std::string face;
    int height = 0;
    bool bold = false;
    bool italic = false;
};
// A font from its settings; italicId 0 means upright.
FontSetting font(StringTable& strings, unsigned faceId, unsigned heightId, unsigned boldId,
                 unsigned italicId = 0);

// The settings the pages and dialogs read.
namespace setting {
inline constexpr unsigned kPageFont = 2000;  // face; height and bold follow
inline constexpr unsigned kPageText = 2003;  // text colour of page controls
inline constexpr unsigned kTitleFont = 2005; // face; height and bold follow
inline constexpr unsigned kTitleColour = 2008;
inline constexpr unsigned kHintBold = 2010;
inline constexpr unsigned kListFont = 2015; // face; height and bold follow
inline constexpr unsigned kListText = 2018;
inline constexpr unsigned kListBackground = 2019;
inline constexpr unsigned kFrameBackground = 2020;
inline constexpr unsigned kBusyBackground = 2021;
inline constexpr unsigned kBusyFont = 2022; // face; height and bold follow
inline constexpr unsigned kProgressBackground = 2027;
inline constexpr unsigned kBusyFrames = 2030;
inline constexpr unsigned kFrameTiled = 2038, kProgressTiled = 2039;
inline constexpr unsigned kFrameLeft = 2040, kFrameTop = 2041;
inline constexpr unsigned kProgressLeft = 2042, kProgressTop = 2043;
inline constexpr unsigned kTextLeft = 2049, kTextTop = 2051, kTextScaled = 2053;
inline constexpr unsigned kHeadlineColour = 2055, kHeadlineFace = 2057, kHeadlineHeight = 2059,
                          kHeadlineBold = 2061, kHeadlineItalic = 2063;
inline constexpr unsigned kFeatureColour = 2068, kFeatureFace = 2069, kFeatureHeight = 2070,
                          kFeatureBold = 2071, kFeatureItalic = 2072;
inline constexpr unsigned kScreenNameInset = 2084; // left, top, right, bottom: 2084..2087
inline constexpr unsigned kBarColour = 2088, kBarBackground = 2089;
} // namespace setting

// The strip a wizard page's button takes, by control id; 0 for a control drawn as it is.
unsigned pageButtonBitmap(int controlId);
// Strips that can show a disabled button hold five frames, the others four.
int stripFrames(unsigned bitmapId);
// Frame of a bitmap button: 0 normal, +1 pressed, +2 focused; a disabled button shows frame
// 4 of a five-frame strip and frame 0 of a four-frame one.
int buttonFrame(bool pressed, bool focused, bool disabled, int frames);

// Frame i of a strip of `frames` equal slices: left edge and width (integer division).
struct Slice {
    int left = 0;
    int width = 0;
};
Slice frameSlice(int stripWidth, int frames, int index);

// The busy display's text by busy kind.
unsigned busyTextId(int busyKind);

// A gradient over a rectangle at an angle, as GradientFill takes it: one rectangle between
// two vertices (angle 0 horizontal, 90 vertical) or two triangles over four corners (45 and
// 135, the corners between taking the channel-wise average). Other angles draw nothing.
struct Vertex {
    int x = 0, y = 0;
    Rgb colour;
};
struct GradientMesh {
    enum class Kind { Horizontal, Vertical, Triangles } kind = Kind::Vertical;
    std::vector<Vertex> vertices;         // 2 for a rectangle, 4 corners for triangles
    std::vector<std::uint32_t> triangles; // vertex indices, three per triangle
};
std::optional<GradientMesh> gradient(int left, int top, int right, int bottom, Rgb start, Rgb end, int angle);

// What a text progress bar draws: nothing when the range is empty; otherwise the bar's width
// in pixels and the percentage its text shows.
struct BarGeometry {
    bool draw = false;
    int barWidth = 0;
    int percent = 0;
};
BarGeometry textProgress(int minimum, int maximum, int position, int width);

// The frame text's scale: 1, or with scaling on the smaller of width/640 and height/480.
double frameTextScale(bool scaled, int width, int height);

} // namespace zov::appearance
