#include "ui/appearance.h"
#include "res/resource.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zov::appearance {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
}

Rgb average(Rgb a, Rgb b) {
    return {static_cast<std::uint8_t>((a.r + b.r) / 2), static_cast<std::uint8_t>((a.g + b.g) / 2),
            static_cast<std::uint8_t>((a.b + b.b) / 2)};
}

} // namespace

Rgb colour(const std::string& text) {
    if (text.size() != 6)
        return {};
    int v[6];
    for (int i = 0; i < 6; ++i)
        if ((v[i] = hexDigit(text[static_cast<std::size_t>(i)])) < 0)
            return {};
    return {static_cast<std::uint8_t>(v[0] * 16 + v[1]), static_cast<std::uint8_t>(v[2] * 16 + v[3]),
            static_cast<std::uint8_t>(v[4] * 16 + v[5])};
}

int number(const std::string& text) {
    if (text.empty())
        return 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value > 1000000 || value < -1000000)
        return 0;
    return static_cast<int>(value);
}

bool flag(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == "TRUE" || upper == "Y";
}

FontSetting font(StringTable& strings, unsigned faceId, unsigned heightId, unsigned boldId,
                 unsigned italicId) {
    FontSetting f;
    f.face = strings.get(faceId);
    f.height = number(strings.get(heightId));
    f.bold = flag(strings.get(boldId));
    f.italic = italicId != 0 && flag(strings.get(italicId));
    return f;
}

unsigned pageButtonBitmap(int controlId) {
    switch (controlId) {
    case IDC_PAGE_NEXT:
        return IDB_NEXT;
    case IDC_PAGE_BACK:
        return IDB_BACK;
    case IDC_NEW_MEMBER:
        return IDB_NEW_MEMBER;
    case IDC_CURRENT_MEMBER:
        return IDB_CURRENT_MEMBER;
    case IDC_SCREEN_NAME:
        return IDB_SCREEN_NAME;
    case IDC_SCAN_DRIVES:
        return IDB_SCAN_DRIVES;
    case IDC_DIR_CHANGE:
        return IDB_CHANGE_DIR;
    case IDC_SPACE_CLEANUP:
        return IDB_DISK_CLEANUP;
    case IDC_SPACE_CHANGE:
        return IDB_CHANGE_DRIVE;
    case IDC_SPACE_CANCEL:
        return IDB_CANCEL;
    default:
        return 0;
    }
}

int stripFrames(unsigned bitmapId) {
    return (bitmapId == IDB_EMPTY_BIN || bitmapId == IDB_DELETE_TEMP) ? ZOV_STRIP_FRAMES_DISABLE
                                                                      : ZOV_STRIP_FRAMES;
}

int buttonFrame(bool pressed, bool focused, bool disabled, int frames) {
    if (disabled)
        return frames >= 5 ? 4 : 0;
    return (pressed ? 1 : 0) + (focused ? 2 : 0);
}

Slice frameSlice(int stripWidth, int frames, int index) {
    if (frames <= 0)
        return {0, stripWidth};
    int width = stripWidth / frames;
    return {width * index, width};
}

unsigned busyTextId(int busyKind) {
    switch (busyKind) {
    case 1:
        return IDS_BUSY_FEATURES;
    case 2:
        return IDS_BUSY_SPACE;
    case 3:
        return IDS_BUSY_SETTINGS;
    case 5:
        return IDS_BUSY_FEATURES2;
    case 6:
        return IDS_BUSY_SHUTDOWN;
    default:
        return IDS_BUSY_SEARCH;
    }
}

std::optional<GradientMesh> gradient(int left, int top, int right, int bottom, Rgb start, Rgb end,
                                     int angle) {
    GradientMesh mesh;
    switch (((angle % 180) + 180) % 180) {
    case 0:
    case 90:
        mesh.kind = (angle % 180 == 0) ? GradientMesh::Kind::Horizontal : GradientMesh::Kind::Vertical;
        mesh.vertices = {{left, top, start}, {right, bottom, end}};
        return mesh;
    case 45:
    case 135: {
        // Start at one corner, end at the opposite one; 135 mirrors the corners left to right.
        const bool mirrored = ((angle % 180) + 180) % 180 == 135;
        const Rgb middle = average(start, end);
        const int x0 = mirrored ? right : left, x1 = mirrored ? left : right;
        mesh.kind = GradientMesh::Kind::Triangles;
        mesh.vertices = {{x0, top, start}, {x1, top, middle}, {x1, bottom, end}, {x0, bottom, middle}};
        mesh.triangles = {0, 1, 2, 0, 2, 3};
        return mesh;
    }
    default:
        return std::nullopt;
    }
}

BarGeometry textProgress(int minimum, int maximum, int position, int width) {
    BarGeometry g;
    if (minimum >= maximum)
        return g;
    const double f =
        static_cast<double>(std::clamp(position, minimum, maximum) - minimum) / (maximum - minimum);
    g.draw = true;
    g.barWidth = static_cast<int>(f * width);
    g.percent = static_cast<int>(f * 100.0);
    return g;
}

double frameTextScale(bool scaled, int width, int height) {
    if (!scaled)
        return 1.0;
    return std::min(width * 0.0015625, height * 0.0020833334);
}

} // namespace zov::appearance
