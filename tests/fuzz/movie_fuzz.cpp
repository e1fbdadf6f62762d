// The movie control's file format and playing head (tools/common/movie_format): a movie
// file comes from the CD, so any bytes may arrive.
//
// Input: u8 steps (what the head does after the load, two bits a step: tick, play, a jump
// to the frame in the next u16, a jump to the first label), then the movie text (the rest).
//
// A parsed movie keeps its bounds; the head never leaves the movie; what a frame shows names
// real elements, with percentages in 0..100 and texts within the limit; a button hit is a
// button.
#include "common/movie_format.h"
#include "fuzz/fuzz_input.h"

using namespace zov;
using namespace zov::tools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t steps = in.u8();
    const std::uint16_t target = in.u16();
    std::optional<Movie> movie = parseMovie(in.rest());
    if (!movie)
        return 0;
    fuzz::check(movie->frames >= 1 && movie->frames <= MovieLimits::kMaxFrames);
    fuzz::check(movie->elements.size() <= MovieLimits::kMaxElements);
    for (const MovieElement& e : movie->elements)
        fuzz::check(e.from <= e.to && e.to < movie->frames);
    const std::string firstLabel = movie->labels.empty() ? std::string() : movie->labels.begin()->first;
    MoviePlayer player;
    player.load(*movie);
    player.setVariable("MainProgress", std::to_string(target % 128));
    for (int i = 0; i < 4; ++i) {
        switch ((steps >> (2 * i)) & 3) {
        case 0:
            player.tick();
            break;
        case 1:
            player.play();
            break;
        case 2:
            player.gotoFrame(target);
            break;
        default:
            player.gotoLabel(firstLabel);
            break;
        }
        fuzz::check(player.currentFrame() >= 0 && player.currentFrame() < player.totalFrames());
        for (const DrawItem& item : player.scene()) {
            fuzz::check(item.element < movie->elements.size());
            fuzz::check(item.percent >= 0 && item.percent <= 100);
            fuzz::check(item.text.size() <= MovieLimits::kMaxText);
        }
        if (std::optional<std::size_t> hit = player.buttonAt(target % 700, target / 100))
            fuzz::check(movie->elements[*hit].kind == ElementKind::Button);
    }
    return 0;
}
