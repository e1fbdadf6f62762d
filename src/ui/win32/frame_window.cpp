#include "ui/win32/frame_window.h"
#include "res/resource.h"
#include "ui/movie_media.h"

#include <commctrl.h>

namespace zov::win32 {

using namespace appearance::setting;

FrameWindow::~FrameWindow() {
    if (brush_ != nullptr)
        DeleteObject(brush_);
    if (pen_ != nullptr)
        DeleteObject(pen_);
}

WindowHandle FrameWindow::create() {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    className_ = look_.text(IDS_FRAME_CLASS);
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_FRAME));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className_.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 0;
    const std::string title = look_.text(IDS_CAPTION);
    hwnd_ = CreateWindowA(className_.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr)
        return 0;
    // The bitmap background until a movie is made over it (createMovie); without one, for good.
    useBackground(IDB_FRAME_BACKGROUND, kFrameTiled, kFrameLeft, kFrameTop);
    const COLORREF colour = look_.colour(kFrameBackground);
    brush_ = CreateSolidBrush(colour);
    pen_ = CreatePen(PS_SOLID, 1, colour);
    // The frame always fills the screen: nothing to restore, move or size.
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    SetTimer(hwnd_, kFrameTimer, kFrameTimerPeriodMs, nullptr);
    if (onCreated_)
        onCreated_(hwnd_);
    return handle();
}

void FrameWindow::useBackground(unsigned bitmapId, unsigned tiledId, unsigned leftId, unsigned topId) {
    if (!background_.load(instance_, bitmapId))
        return;
    background_.setTiled(look_.flag(tiledId));
    const int left = look_.number(leftId), top = look_.number(topId);
    background_.setOffset(left, top);
    // On a denser display the picture keeps its place and size in inches.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi > 96)
        background_.stretchTo(RECT{MulDiv(left, dpi, 96), MulDiv(top, dpi, 96),
                                   MulDiv(left + background_.width(), dpi, 96),
                                   MulDiv(top + background_.height(), dpi, 96)});
}

void FrameWindow::show(bool visible) {
    if (hwnd_ == nullptr)
        return;
    ShowWindow(hwnd_, visible ? SW_SHOWMAXIMIZED : SW_HIDE);
    UpdateWindow(hwnd_);
}

void FrameWindow::destroy() {
    busy_.reset();
    destroyProgress();
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void FrameWindow::shutdownFramework() {
    if (!className_.empty())
        UnregisterClassA(className_.c_str(), instance_);
}

// -- The movie ----------------------------------------------------------------------------

std::uint32_t FrameWindow::createMovie(const std::string& classId, const MovieMedia& media) {
    if (hwnd_ == nullptr)
        return 0;
    auto movie = std::make_unique<MovieHost>();
    if (!movie->create(hwnd_, classId, RECT{0, 0, 160, 120},
                       [this](const std::string& command, const std::string&) {
                           if (onMovieCommand_)
                               onMovieCommand_(command);
                       }))
        return 0;
    const auto version = static_cast<std::uint32_t>(movie->readLong(MovieHost::FlashVersion));
    if (version <= 0x5FFFF)
        return 0;
    movie->put(MovieHost::Menu, MovieHost::boolean(false));
    if (HWND control = movie->window())
        SetWindowLongPtrA(control, GWLP_ID, IDC_FLASH);
    // The movie covers the frame: the frame no longer paints under it.
    SetWindowLongPtrA(hwnd_, GWL_STYLE, GetWindowLongPtrA(hwnd_, GWL_STYLE) | WS_CLIPCHILDREN);
    movie_ = std::move(movie);
    media_ = media;
    layOutMovie();
    return version;
}

void FrameWindow::layOutMovie() {
    if (movie_ == nullptr)
        return;
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT r = client;
    if (media_.width > 0 && media_.height > 0) {
        r.left = (client.right - media_.width) / 2;
        r.top = (client.bottom - media_.height) / 2;
        r.right = r.left + media_.width;
        r.bottom = r.top + media_.height;
    }
    movie_->place(r);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

bool FrameWindow::loadMovieSection(const std::string& section) {
    if (movie_ == nullptr || profile_ == nullptr)
        return false;
    std::optional<MovieSection> s = ReadMovieSection(*profile_, media_.folder, section);
    if (!s)
        return false;
    if (trace_ != nullptr)
        trace_->printf("Update movie file %s", s->file.c_str());
    movie_->put(MovieHost::Movie, MovieHost::text(media_.folder + s->file));
    movie_->put(MovieHost::Menu, MovieHost::boolean(false));
    if (s->align < 5)
        movie_->put(MovieHost::AlignMode, MovieHost::number(s->align));
    if (s->bgColor.size() == 6)
        movie_->put(MovieHost::BGColor, MovieHost::text(s->bgColor));
    return true;
}

void FrameWindow::gotoLabel(const std::string& target, const std::string& label) {
    if (movie_ != nullptr)
        movie_->call(MovieHost::TGotoLabel, {MovieHost::text(target), MovieHost::text(label)});
}

void FrameWindow::playMovie() {
    if (movie_ != nullptr)
        movie_->call(MovieHost::Play);
}

void FrameWindow::pauseMovie() {
    if (movie_ == nullptr || movie_->readLong(MovieHost::IsPlaying) == 0)
        return;
    movie_->call(MovieHost::StopPlay);
    movie_->call(MovieHost::Stop);
    moviePaused_ = true;
}

void FrameWindow::resumeMovie() {
    if (movie_ == nullptr || !moviePaused_ ||
        movie_->readLong(MovieHost::CurrentFrame) + 1 >= movie_->readLong(MovieHost::TotalFrames))
        return;
    movie_->call(MovieHost::Play);
    moviePaused_ = false;
}

void FrameWindow::setMovieLoop(bool loop) {
    if (movie_ != nullptr)
        movie_->put(MovieHost::Loop, MovieHost::boolean(loop));
}

void FrameWindow::setMovieVariable(const std::string& name, const std::string& value) {
    if (movie_ != nullptr)
        movie_->call(MovieHost::SetVariable, {MovieHost::text(name), MovieHost::text(value)});
}

void FrameWindow::saveMovie() {
    if (movie_ == nullptr)
        return;
    savedMovie_ = movie_->readText(MovieHost::Movie);
    savedFrame_ = movie_->readLong(MovieHost::FrameNum);
}

void FrameWindow::restoreMovie() {
    if (movie_ == nullptr)
        return;
    movie_->put(MovieHost::Movie, MovieHost::text(savedMovie_));
    movie_->call(MovieHost::GotoFrame, {MovieHost::number(savedFrame_)});
}

void FrameWindow::movieProgress(int percent, bool newMember) {
    if (movie_ == nullptr)
        return;
    // The stop points are the movie's own business: reckoned and asked, nothing commanded.
    StopPointsDue(percent, newMember ? media_.stopsNewMember : media_.stopsUpgrade);
    movie_->readLong(MovieHost::IsPlaying);
}

// -- The progress and busy displays -------------------------------------------------------

void FrameWindow::createProgress() {
    if (progress_ != nullptr || hwnd_ == nullptr)
        return;
    auto dialog = std::make_unique<ProgressDialog>(
        look_,
        [this] {
            if (onCancel_)
                onCancel_();
        },
        movie_ != nullptr);
    if (!dialog->createOver(hwnd_))
        return;
    progress_ = std::move(dialog);
    if (onDialog_)
        onDialog_(progress_->hwnd(), true);
}

void FrameWindow::showProgress(bool outOfSight) {
    if (progress_ == nullptr)
        return;
    if (outOfSight) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        SetWindowPos(progress_->hwnd(), nullptr, r.right + 100, r.bottom + 100, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        progress_->place(hwnd_);
    }
    ShowWindow(progress_->hwnd(), SW_SHOW);
}

bool FrameWindow::progressHidden() {
    return progress_ != nullptr && !progress_->visible();
}

void FrameWindow::destroyProgress() {
    if (progress_ == nullptr)
        return;
    if (onDialog_)
        onDialog_(progress_->hwnd(), false);
    progress_.reset();
}

void FrameWindow::setMainProgress(int percent) {
    if (progress_ != nullptr)
        progress_->setMain(percent);
}

void FrameWindow::setSecondaryProgress(int percent) {
    if (progress_ != nullptr)
        progress_->setSecondary(percent);
}

void FrameWindow::showSecondary(bool shown) {
    if (progress_ != nullptr)
        progress_->showSecondary(shown);
}

void FrameWindow::showPartnerNote(const std::string& text) {
    if (progress_ != nullptr)
        progress_->showPartnerNote(text);
}

bool FrameWindow::drawProgressAnimation(int frame) {
    return progress_ != nullptr && progress_->visible() && progress_->drawAnimation(frame);
}

void FrameWindow::showBusy(int dialogKind, int busyKind) {
    destroyBusy();
    if (hwnd_ == nullptr)
        return;
    auto dialog = std::make_unique<BusyDialog>(look_, dialogKind, busyKind);
    if (!dialog->create(hwnd_))
        return;
    busy_ = std::move(dialog);
    RECT frame, me;
    GetWindowRect(hwnd_, &frame);
    GetWindowRect(busy_->hwnd(), &me);
    SetWindowPos(busy_->hwnd(), nullptr, frame.left + (frame.right - frame.left - (me.right - me.left)) / 2,
                 frame.top + (frame.bottom - frame.top - (me.bottom - me.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(busy_->hwnd(), SW_SHOW);
    UpdateWindow(busy_->hwnd());
}

bool FrameWindow::destroyBusy() {
    if (busy_ == nullptr)
        return false;
    busy_.reset();
    return true;
}

// -- The frame itself ---------------------------------------------------------------------

void FrameWindow::setCloseEnabled(bool enabled) {
    if (hwnd_ != nullptr)
        EnableMenuItem(GetSystemMenu(hwnd_, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void FrameWindow::setMinimizeBox(bool present) {
    if (hwnd_ == nullptr)
        return;
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    style = present ? (style | WS_MINIMIZEBOX) : (style & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
    SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool FrameWindow::minimizedOrMaximized() {
    return hwnd_ != nullptr && (IsIconic(hwnd_) || IsZoomed(hwnd_));
}

void FrameWindow::bringToForeground() {
    if (hwnd_ != nullptr)
        SetForegroundWindow(hwnd_);
}

void FrameWindow::forceForeground() {
    // The system keeps other programs from taking the foreground; the setup was started by
    // the user and must come forward with every page.
    DWORD timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(hwnd_);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(timeout)), 0);
    HWND foreground = GetForegroundWindow();
    const DWORD mine = GetCurrentThreadId();
    const DWORD theirs = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : mine;
    if (theirs != mine && AttachThreadInput(mine, theirs, TRUE)) {
        SetForegroundWindow(hwnd_);
        AttachThreadInput(mine, theirs, FALSE);
    } else {
        SetForegroundWindow(hwnd_);
    }
}

void FrameWindow::useProgressBackground() {
    useBackground(IDB_FRAME_PROGRESS_BACKGROUND, kProgressTiled, kProgressLeft, kProgressTop);
    if (hwnd_ != nullptr)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void FrameWindow::eraseBackground(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    HGDIOBJ oldPen = SelectObject(dc, pen_);
    HGDIOBJ oldBrush = SelectObject(dc, brush_);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    background_.draw(dc, client);
}

void FrameWindow::drawFrameText(const FrameText& text) {
    if (hwnd_ == nullptr)
        return;
    HDC dc = GetDC(hwnd_);
    eraseBackground(dc);
    paintText(dc, text);
    ReleaseDC(hwnd_, dc);
}

void FrameWindow::paintText(HDC dc, const FrameText& text) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const double s = appearance::frameTextScale(look_.flag(kTextScaled), client.right, client.bottom);
    RECT area{look_.number(kTextLeft), look_.number(kTextTop), client.right - 10, client.bottom};
    if (area.right <= area.left)
        return;
    appearance::FontSetting headlineFont =
        appearance::font(look_.strings(), kHeadlineFace, kHeadlineHeight, kHeadlineBold, kHeadlineItalic);
    headlineFont.height = static_cast<int>(headlineFont.height * s);
    appearance::FontSetting featureFont =
        appearance::font(look_.strings(), kFeatureFace, kFeatureHeight, kFeatureBold, kFeatureItalic);
    featureFont.height = static_cast<int>(featureFont.height * s);

    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, look_.font(nullptr, headlineFont));
    SetTextColor(dc, look_.colour(kHeadlineColour));
    const std::string headline = text.headline + "\n";
    RECT measured = area;
    DrawTextA(dc, headline.c_str(), -1, &measured, DT_NOPREFIX | DT_WORDBREAK | DT_CALCRECT);
    DrawTextA(dc, headline.c_str(), -1, &area, DT_NOPREFIX | DT_WORDBREAK);
    std::string features = "\n\n";
    for (const std::string& line : text.lines)
        features += "\n" + line;
    RECT rest{area.left, measured.bottom, area.right, area.bottom};
    SelectObject(dc, look_.font(nullptr, featureFont));
    SetTextColor(dc, look_.colour(kFeatureColour));
    DrawTextA(dc, features.c_str(), -1, &rest, DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(dc, old);
}

void FrameWindow::onFocus(HWND lost) {
    // The frame never keeps the focus: it goes back to the window that had it, else to the
    // page, else to the progress dialog.
    HWND target = nullptr;
    if (lost != nullptr && IsWindow(lost) && IsWindowVisible(lost) &&
        (IsChild(hwnd_, lost) || GetWindow(lost, GW_OWNER) == hwnd_))
        target = lost;
    else if (currentPage_ != nullptr && IsWindowVisible(currentPage_))
        target = currentPage_;
    else if (currentPage_ == nullptr && progress_ != nullptr && progress_->visible() && !useFlashProgress())
        target = progress_->hwnd();
    if (target != nullptr)
        PostMessageA(hwnd_, WM_ACTIVATEPAGE, 0, reinterpret_cast<LPARAM>(target));
}

LRESULT CALLBACK FrameWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        reinterpret_cast<FrameWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ != hwnd)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->onMessage(message, wParam, lParam);
}

LRESULT FrameWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (router_) {
        LRESULT result = 0;
        if (router_(message, wParam, lParam, result))
            return result;
    }
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && IsWindowVisible(hwnd_)) {
            ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
            return 0;
        }
        if (wParam == SIZE_MAXIMIZED && currentPage_ != nullptr && IsWindow(currentPage_)) {
            SetActiveWindow(currentPage_);
            InvalidateRect(currentPage_, nullptr, FALSE);
        }
        layOutMovie();
        InvalidateRect(hwnd_, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint erases, then draws the text: one pass, no flicker
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        eraseBackground(dc);
        if (paintText_ && movie_ == nullptr)
            if (std::optional<FrameText> text = paintText_())
                paintText(dc, *text);
        EndPaint(hwnd_, &ps);
        SetWindowTextA(hwnd_, look_.text(IDS_CAPTION).c_str());
        return 0;
    }
    case WM_SETFOCUS:
        onFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_ACTIVATEPAGE: {
        HWND target = reinterpret_cast<HWND>(lParam);
        if (IsWindow(target)) {
            SetActiveWindow(target);
            SetForegroundWindow(target);
            InvalidateRect(target, nullptr, TRUE);
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kFrameTimer && onTimer_)
            onTimer_();
        return 0;
    case WM_CLOSE:
        if (onClose_)
            onClose_();
        return 0;
    case WM_DESTROY:
        movie_.reset();
        KillTimer(hwnd_, kFrameTimer);
        return 0;
    default:
        return DefWindowProcA(hwnd_, message, wParam, lParam);
    }
}

} // namespace zov::win32
