// The movies' settings file, "media\media.ini" beside the setup: the validation that decides
// whether the frame may use a movie at all, the settings of one movie section, and the stop
// points of a progress movie.
#pragma once

#include "platform/ports.h"
#include "run/frame_view.h"

#include <optional>
#include <string>

namespace zov {

// The eight sections every movie-playing run may ask for, in the order they are validated.
inline constexpr const char* kMovieSections[] = {"start",   "initializing", "searching", "newmember",
                                                 "upgrade", "ending",       "bband",     "bband2"};

// Media.ini must exist in `folder` (ending in a backslash), and each section must either be
// unused (Action 0) or name a file that exists there. `failed` names the first section that
// did not pass ("media.ini" when the file is missing).
std::optional<MovieMedia> ValidateMedia(ProfileStore& profile, FileSystem& files, const std::string& folder,
                                        std::string* failed = nullptr);

// One section as a load sees it: only a section with Action exactly 1 has a movie.
struct MovieSection {
    std::string file;    // relative to the media folder
    std::string bgColor; // applied only when exactly six characters long
    int align = 10;      // applied only when below 5
};
std::optional<MovieSection> ReadMovieSection(ProfileStore& profile, const std::string& folder,
                                             const std::string& section);

// How many of a progress movie's `stops` stop points a percentage has reached.
int StopPointsDue(int percent, int stops);

} // namespace zov
