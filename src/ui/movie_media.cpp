#include "ui/movie_media.h"

namespace zov {
namespace {

// One reader for every value of the file: the callers pass plain texts, so that each read is
// a call, not a row of strings made in place (the setup's size is counted in kilobytes).
class MediaIni {
  public:
    MediaIni(ProfileStore& profile, const std::string& folder)
        : profile_(profile), path_(folder + "media.ini") {}

    [[gnu::noinline]] std::string text(const char* section, const char* key, const char* fallback,
                                       std::size_t buffer = 260) {
        return profile_.readString(path_, section, key, fallback, buffer);
    }
    // A number as the profile functions read one: optional blanks and sign, then digits; a
    // value without digits is 0, a missing key the default.
    [[gnu::noinline]] int number(const char* section, const char* key, int fallback) {
        const std::string value = text(section, key, "\x7f");
        if (value == "\x7f")
            return fallback;
        const char* p = value.c_str();
        while (*p == ' ' || *p == '\t')
            ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+')
            ++p;
        long long n = 0;
        for (; *p >= '0' && *p <= '9' && n <= 0x7FFFFFFF; ++p)
            n = n * 10 + (*p - '0');
        if (n > 0x7FFFFFFF)
            n = 0x7FFFFFFF;
        return static_cast<int>(negative ? -n : n);
    }
    const std::string& path() const { return path_; }

  private:
    ProfileStore& profile_;
    std::string path_;
};

} // namespace

std::optional<MovieMedia> ValidateMedia(ProfileStore& profile, FileSystem& files, const std::string& folder,
                                        std::string* failed) {
    MediaIni ini(profile, folder);
    const char* failing = nullptr;
    if (!files.exists(ini.path()))
        failing = "media.ini";
    for (const char* section : kMovieSections) {
        if (failing != nullptr)
            break;
        if (ini.number(section, "Action", 3) == 0)
            continue;
        const std::string file = folder + ini.text(section, "File", "!");
        if (file.size() == folder.size() || !files.exists(file) || files.isDirectory(file))
            failing = section;
    }
    if (failing != nullptr) {
        if (failed != nullptr)
            *failed = failing;
        return std::nullopt;
    }
    MovieMedia media;
    media.folder = folder;
    media.useFlashProgress = ini.number("settings", "use_flash_progress", 0) != 0;
    media.stopsNewMember = ini.number("newmember", "stops", 10);
    media.stopsUpgrade = ini.number("upgrade", "stops", 10);
    // A fixed size counts only when both sides are given.
    const int width = ini.number("settings", "flash_hsize", 0),
              height = ini.number("settings", "flash_vsize", 0);
    if (width > 0 && height > 0) {
        media.width = width;
        media.height = height;
    }
    return media;
}

std::optional<MovieSection> ReadMovieSection(ProfileStore& profile, const std::string& folder,
                                             const std::string& section) {
    MediaIni ini(profile, folder);
    const char* name = section.c_str();
    if (ini.number(name, "Action", 0) != 1)
        return std::nullopt;
    return MovieSection{ini.text(name, "File", ""), ini.text(name, "BGColor", "", 10),
                        ini.number(name, "Align", 10)};
}

int StopPointsDue(int percent, int stops) {
    if (percent < 0 || percent > 100 || stops < 0)
        return 0;
    // floor(p × 0.01 × (stops + 1)) in whole numbers.
    const long long due = static_cast<long long>(percent) * (static_cast<long long>(stops) + 1) / 100;
    return due > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(due);
}

} // namespace zov
