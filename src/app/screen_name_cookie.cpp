// The screen name that the registration web site left in a browser cookie: taken over at
// start-up, deleted from its browser once the install has succeeded.
#include "app/installer.h"

namespace zov {
namespace {

const char kScreenNameCookie[] = "webregSN";
constexpr unsigned kRegistrationAddress = 1378;

} // namespace

void InstallerApp::lookUpScreenNameCookie() {
    cookies_ = std::make_unique<CCookieJar>(
        CookiePorts{machine_.browsers, machine_.files, machine_.system, machine_.registry, machine_.clock});
    std::vector<CookieResult> found;
    cookies_->collect(stringAt(kRegistrationAddress), kScreenNameCookie, found);
    if (found.empty())
        return;
    // The system browser first, then Mozilla, the profile manager and Quillstone.
    session_.brandScreenName = found[0].value;
    session_.screenNameWelcome = true;
    session_.installType = 'E';
    cookieStore_ = found[0].storeType;
}

void InstallerApp::deleteScreenNameCookie() {
    // A screen name from "-b" came from no browser: there is nothing to delete.
    if (cookies_ != nullptr)
        cookies_->deleteCookie(cookieStore_, stringAt(kRegistrationAddress), kScreenNameCookie, nullptr, 0);
}

} // namespace zov
