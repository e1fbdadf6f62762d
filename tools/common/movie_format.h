// The movies the movie control plays: a small text format of our own (docs/notes/issue-14.md
// describes it), the parser, and the playing state (frame, labels, stops, variables, what a
// frame shows). No <windows.h>: the control draws what `scene` lists, the native tests and
// the fuzz target drive the rest.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zov::tools {

// Limits of a movie file: anything beyond them is refused, never cut.
struct MovieLimits {
    static constexpr int kMaxSide = 4096;
    static constexpr int kMaxFrames = 10000;
    static constexpr int kMaxRate = 60;
    static constexpr std::size_t kMaxElements = 512;
    static constexpr std::size_t kMaxLabels = 64;
    static constexpr std::size_t kMaxText = 255;
    static constexpr std::size_t kMaxFileBytes = 256 * 1024;
    static constexpr std::size_t kMaxVariables = 64;
};

enum class ElementKind { Rect, Text, Bar, Button };

// One thing a movie draws on a range of frames, in the movie's own units.
struct MovieElement {
    ElementKind kind = ElementKind::Rect;
    int from = 0, to = 0;                    // frames, inclusive
    int x = 0, y = 0, width = 0, height = 0; // text: height is the font height
    int dx = 0, dy = 0;                      // rect: movement per frame since `from`
    std::uint32_t colour = 0;                // 0xRRGGBB: fill, text or a bar's track
    std::uint32_t colour2 = 0;               // a bar's fill, a button's text
    std::string text;                        // text, button caption; may name {VARIABLE}s
    std::string variable;                    // bar: the percentage it shows
    std::string command;                     // button: the command it raises
    std::string ifName, ifValue;             // shown only when the variable has this value,
    bool ifNot = false;                      // or, with ifNot, any other
};

struct Movie {
    int width = 640, height = 480;
    int rate = 12;
    int frames = 1;
    std::uint32_t background = 0xFFFFFF;
    std::map<std::string, int> labels;
    std::vector<int> stops; // sorted
    std::vector<MovieElement> elements;
};

// The movie in `text`, or nothing (with the line and what is wrong in `error`).
std::optional<Movie> parseMovie(const std::string& text, std::string* error = nullptr);

// What a frame shows, placed and resolved: variables filled in, bars at their percentage.
struct DrawItem {
    ElementKind kind = ElementKind::Rect;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t colour = 0, colour2 = 0;
    int percent = 0; // bar
    std::string text;
    std::size_t element = 0; // index into the movie's elements
};

// The playing head. Frames count from 0, as the control's members do.
class MoviePlayer {
  public:
    void load(Movie movie); // starts at frame 0, playing
    void unload();
    bool loaded() const { return loaded_; }
    const Movie& movie() const { return movie_; }

    int totalFrames() const { return loaded_ ? movie_.frames : 0; }
    int currentFrame() const { return frame_; }
    bool playing() const { return playing_; }
    bool loop = true;

    void play();
    void stop() { playing_ = false; }
    // Moves the head; arriving on a stop frame stops the movie. False for a frame outside it.
    bool gotoFrame(int frame);
    bool gotoLabel(const std::string& label);
    // One frame of time: true when the head moved.
    bool tick();

    void setVariable(const std::string& name, const std::string& value);
    std::string variable(const std::string& name) const;

    std::vector<DrawItem> scene() const;
    // The button under a point of the movie's own units, if any: its element's index.
    std::optional<std::size_t> buttonAt(int x, int y) const;

  private:
    void arrive(int frame);
    bool visible(const MovieElement& e) const;
    std::string fill(const std::string& text) const;

    Movie movie_;
    bool loaded_ = false;
    int frame_ = 0;
    bool playing_ = false;
    std::map<std::string, std::string> variables_;
};

// "12" → 12; the text of a percentage variable, held to 0..100 (anything else is 0).
int percentOf(const std::string& text);

} // namespace zov::tools
