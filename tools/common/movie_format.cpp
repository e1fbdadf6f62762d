#include "common/movie_format.h"

#include <algorithm>
#include <cstdlib>

namespace zov::tools {
namespace {

constexpr long kMaxCoordinate = 100000;

// The words of one line: blanks separate, a double-quoted word may hold blanks.
bool splitLine(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '"') {
            std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            words.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
                ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool number(const std::string& text, long low, long high, int& out) {
    if (text.empty() || text.size() > 7)
        return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == nullptr || *end != '\0' || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool colour(const std::string& text, std::uint32_t& out) {
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        }))
        return false;
    out = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

bool name(const std::string& text) {
    return !text.empty() && text.size() <= 32 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    });
}

bool textOk(const std::string& t) {
    return t.size() <= MovieLimits::kMaxText;
}

class Parser {
  public:
    std::optional<Movie> run(const std::string& text, std::string* error) {
        if (text.size() > MovieLimits::kMaxFileBytes)
            return fail(error, 0, "file too large");
        std::size_t start = 0;
        int lineNumber = 0;
        bool header = false;
        std::vector<std::string> w;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            ++lineNumber;
            if (!splitLine(line, w))
                return fail(error, lineNumber, "unclosed quote");
            if (w.empty() || w[0][0] == '#')
                continue;
            if (!header) {
                if (w.size() != 2 || w[0] != "zmovie" || w[1] != "1")
                    return fail(error, lineNumber, "not a movie (\"zmovie 1\" first)");
                header = true;
                continue;
            }
            if (const char* problem = statement(w))
                return fail(error, lineNumber, problem);
        }
        if (!header)
            return fail(error, lineNumber, "empty");
        for (auto& [label, frame] : movie_.labels)
            if (frame >= movie_.frames)
                return fail(error, 0, "a label lies past the last frame");
        std::sort(movie_.stops.begin(), movie_.stops.end());
        return std::move(movie_);
    }

  private:
    static std::optional<Movie> fail(std::string* error, int line, const char* what) {
        if (error != nullptr)
            *error = "line " + std::to_string(line) + ": " + what;
        return std::nullopt;
    }

    const char* statement(const std::vector<std::string>& w) {
        const std::string& verb = w[0];
        if (verb == "size")
            return w.size() == 3 && number(w[1], 1, MovieLimits::kMaxSide, movie_.width) &&
                           number(w[2], 1, MovieLimits::kMaxSide, movie_.height)
                       ? nullptr
                       : "size W H";
        if (verb == "rate")
            return w.size() == 2 && number(w[1], 1, MovieLimits::kMaxRate, movie_.rate) ? nullptr
                                                                                        : "rate FPS";
        if (verb == "frames")
            return w.size() == 2 && !framesSeen_ && number(w[1], 1, MovieLimits::kMaxFrames, movie_.frames) &&
                           (framesSeen_ = true)
                       ? nullptr
                       : "frames N, once, before frame numbers";
        if (verb == "background")
            return w.size() == 2 && colour(w[1], movie_.background) ? nullptr : "background RRGGBB";
        if (verb == "label") {
            int frame = 0;
            if (w.size() != 3 || !name(w[1]) || !number(w[2], 0, MovieLimits::kMaxFrames - 1, frame) ||
                movie_.labels.size() >= MovieLimits::kMaxLabels)
                return "label NAME FRAME";
            movie_.labels[w[1]] = frame;
            return nullptr;
        }
        if (verb == "stop") {
            int frame = 0;
            if (w.size() != 2 || !number(w[1], 0, movie_.frames - 1, frame) ||
                movie_.stops.size() >= MovieLimits::kMaxLabels)
                return "stop FRAME";
            movie_.stops.push_back(frame);
            return nullptr;
        }
        if (verb == "rect" || verb == "text" || verb == "bar" || verb == "button")
            return element(w);
        return "unknown statement";
    }

    // Every element: KIND FROM TO X Y ..., then optionally "if NAME=VALUE".
    const char* element(std::vector<std::string> w) {
        if (movie_.elements.size() >= MovieLimits::kMaxElements)
            return "too many elements";
        MovieElement e;
        if (w.size() >= 2 && w[w.size() - 2] == "if") {
            const std::string& test = w.back();
            std::size_t eq = test.find('=');
            e.ifNot = eq != std::string::npos && eq > 0 && test[eq - 1] == '!';
            std::size_t nameEnd = e.ifNot ? eq - 1 : eq;
            if (eq == std::string::npos || !name(test.substr(0, nameEnd)) || !textOk(test))
                return "if NAME=VALUE or NAME!=VALUE";
            e.ifName = test.substr(0, nameEnd);
            e.ifValue = test.substr(eq + 1);
            w.resize(w.size() - 2);
        }
        const std::string& verb = w[0];
        if (w.size() < 5 || !number(w[1], 0, movie_.frames - 1, e.from) ||
            !number(w[2], e.from, movie_.frames - 1, e.to) ||
            !number(w[3], -kMaxCoordinate, kMaxCoordinate, e.x) ||
            !number(w[4], -kMaxCoordinate, kMaxCoordinate, e.y))
            return "KIND FROM TO X Y ...: frames inside the movie";
        auto size = [&](std::size_t i) {
            return number(w[i], 0, kMaxCoordinate, e.width) && number(w[i + 1], 0, kMaxCoordinate, e.height);
        };
        if (verb == "rect") {
            e.kind = ElementKind::Rect;
            if (!((w.size() == 8 || w.size() == 10) && size(5) && colour(w[7], e.colour)))
                return "rect FROM TO X Y W H RRGGBB [DX DY]";
            if (w.size() == 10 && !(number(w[8], -1000, 1000, e.dx) && number(w[9], -1000, 1000, e.dy)))
                return "rect: DX DY";
        } else if (verb == "text") {
            e.kind = ElementKind::Text;
            if (!(w.size() == 8 && number(w[5], 1, 1000, e.height) && colour(w[6], e.colour) && textOk(w[7])))
                return "text FROM TO X Y SIZE RRGGBB \"TEXT\"";
            e.text = w[7];
        } else if (verb == "bar") {
            e.kind = ElementKind::Bar;
            if (!(w.size() == 10 && size(5) && colour(w[7], e.colour) && colour(w[8], e.colour2) &&
                  name(w[9])))
                return "bar FROM TO X Y W H TRACK FILL VARIABLE";
            e.variable = w[9];
        } else {
            e.kind = ElementKind::Button;
            if (!(w.size() == 11 && size(5) && colour(w[7], e.colour) && colour(w[8], e.colour2) &&
                  textOk(w[9]) && name(w[10])))
                return "button FROM TO X Y W H FACE TEXT \"CAPTION\" COMMAND";
            e.text = w[9];
            e.command = w[10];
        }
        movie_.elements.push_back(std::move(e));
        return nullptr;
    }

    Movie movie_;
    bool framesSeen_ = false;
};

} // namespace

std::optional<Movie> parseMovie(const std::string& text, std::string* error) {
    return Parser().run(text, error);
}

int percentOf(const std::string& text) {
    int value = 0;
    return number(text, 0, 100, value) ? value : 0;
}

void MoviePlayer::load(Movie movie) {
    movie_ = std::move(movie);
    loaded_ = true;
    playing_ = true;
    frame_ = 0;
    arrive(0);
}

void MoviePlayer::unload() {
    movie_ = Movie();
    loaded_ = false;
    playing_ = false;
    frame_ = 0;
}

void MoviePlayer::arrive(int frame) {
    frame_ = frame;
    if (std::binary_search(movie_.stops.begin(), movie_.stops.end(), frame))
        playing_ = false;
}

void MoviePlayer::play() {
    if (loaded_)
        playing_ = true;
}

bool MoviePlayer::gotoFrame(int frame) {
    if (!loaded_ || frame < 0 || frame >= movie_.frames)
        return false;
    arrive(frame);
    return true;
}

bool MoviePlayer::gotoLabel(const std::string& label) {
    auto it = movie_.labels.find(label);
    return loaded_ && it != movie_.labels.end() && gotoFrame(it->second);
}

bool MoviePlayer::tick() {
    if (!loaded_ || !playing_)
        return false;
    if (frame_ + 1 < movie_.frames) {
        arrive(frame_ + 1);
        return true;
    }
    if (loop && movie_.frames > 1) {
        arrive(0);
        return true;
    }
    playing_ = false; // the last frame of a movie that does not loop
    return false;
}

void MoviePlayer::setVariable(const std::string& name, const std::string& value) {
    if (variables_.size() >= MovieLimits::kMaxVariables && variables_.find(name) == variables_.end())
        return;
    variables_[name.substr(0, 32)] = value.substr(0, MovieLimits::kMaxText);
}

std::string MoviePlayer::variable(const std::string& name) const {
    auto it = variables_.find(name);
    return it == variables_.end() ? std::string() : it->second;
}

bool MoviePlayer::visible(const MovieElement& e) const {
    if (frame_ < e.from || frame_ > e.to)
        return false;
    if (e.ifName.empty())
        return true;
    return (variable(e.ifName) == e.ifValue) != e.ifNot;
}

std::string MoviePlayer::fill(const std::string& text) const {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
        if (close != std::string::npos && close - i <= 33) {
            out += variable(text.substr(i + 1, close - i - 1));
            i = close;
        } else {
            out += text[i];
        }
    }
    return out.substr(0, MovieLimits::kMaxText);
}

std::vector<DrawItem> MoviePlayer::scene() const {
    std::vector<DrawItem> items;
    if (!loaded_)
        return items;
    for (std::size_t i = 0; i < movie_.elements.size(); ++i) {
        const MovieElement& e = movie_.elements[i];
        if (!visible(e))
            continue;
        DrawItem d;
        d.kind = e.kind;
        d.element = i;
        const int steps = frame_ - e.from;
        d.x = e.x + e.dx * steps;
        d.y = e.y + e.dy * steps;
        d.width = e.width;
        d.height = e.height;
        d.colour = e.colour;
        d.colour2 = e.colour2;
        if (e.kind == ElementKind::Bar)
            d.percent = percentOf(variable(e.variable));
        else
            d.text = fill(e.text);
        items.push_back(std::move(d));
    }
    return items;
}

std::optional<std::size_t> MoviePlayer::buttonAt(int x, int y) const {
    std::optional<std::size_t> hit;
    for (const DrawItem& d : scene())
        if (d.kind == ElementKind::Button && x >= d.x && x < d.x + d.width && y >= d.y && y < d.y + d.height)
            hit = d.element; // the last drawn is on top
    return hit;
}

} // namespace zov::tools
