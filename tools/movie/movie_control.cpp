// zovmovie.ocx: the movie control the setup's frame hosts. An in-process ActiveX control
// (a COM server DLL, no ATL) with the automation members the frame uses, by their dispatch
// ids, and the FSCommand event through a connection point. It plays the movies of
// common/movie_format.h in a child window of its site, drawn with GDI at the control's size.
//
// Registration (DllRegisterServer) puts it under the client's own class id; the test CD's
// stand-in player installer registers the same file under the public class id as well, and
// DllGetClassObject serves both.
#include "common/movie_format.h"

#include <windows.h>
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>

#include <new>
#include <optional>
#include <string>

namespace {

using zov::tools::DrawItem;
using zov::tools::ElementKind;
using zov::tools::MoviePlayer;

// {C1145550-A454-11D4-9020-00D0B7239081}: the client's own control.
const CLSID kOwnClass = {0xC1145550, 0xA454, 0x11D4, {0x90, 0x20, 0x00, 0xD0, 0xB7, 0x23, 0x90, 0x81}};
// {D27CDB6E-AE6D-11CF-96B8-444553540000}: the public player's class, which the test CD's
// stand-in installer points here.
const CLSID kPublicClass = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const char* const kOwnClassKey = "CLSID\\{C1145550-A454-11D4-9020-00D0B7239081}";
const char* const kWindowClass = "ZOVMovieControl";
// The version the control reports: 10.0 (major in the high 16 bits).
constexpr LONG kVersion = 0x000A0000;

enum Dispid : DISPID {
    kMovie = 0x66,
    kLoop = 0x6A,
    kFrameNum = 0x6B,
    kPlay = 0x70,
    kStop = 0x71,
    kAlignMode = 0x79,
    kTotalFrames = 0x7C,
    kStopPlay = 0x7E,
    kGotoFrame = 0x7F,
    kCurrentFrame = 0x80,
    kIsPlaying = 0x81,
    kFlashVersion = 0x84,
    kMenu = 0x87,
    kBGColor = 0x8C,
    kTGotoLabel = 0x90,
    kFSCommand = 0x96,
    kSetVariable = 0x97,
};

const struct {
    const wchar_t* name;
    DISPID id;
} kNames[] = {
    {L"Movie", kMovie},
    {L"Loop", kLoop},
    {L"FrameNum", kFrameNum},
    {L"Play", kPlay},
    {L"Stop", kStop},
    {L"AlignMode", kAlignMode},
    {L"TotalFrames", kTotalFrames},
    {L"StopPlay", kStopPlay},
    {L"GotoFrame", kGotoFrame},
    {L"CurrentFrame", kCurrentFrame},
    {L"IsPlaying", kIsPlaying},
    {L"FlashVersion", kFlashVersion},
    {L"Menu", kMenu},
    {L"BGColor", kBGColor},
    {L"TGotoLabel", kTGotoLabel},
    {L"SetVariable", kSetVariable},
    {L"FSCommand", kFSCommand},
};

HINSTANCE gModule = nullptr;
LONG gObjects = 0, gLocks = 0;

std::string narrow(const wchar_t* text) {
    if (text == nullptr)
        return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

BSTR wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, n > 0 ? static_cast<UINT>(n - 1) : 0);
    if (out != nullptr && n > 1)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, n);
    return out;
}

COLORREF rgb(std::uint32_t c) {
    return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

bool readFile(const std::string& path, std::string& out) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out.assign(zov::tools::MovieLimits::kMaxFileBytes + 1, '\0');
    DWORD got = 0;
    BOOL ok = ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(file);
    out.resize(got);
    return ok != FALSE;
}

// The reference count of a COM object of this server; the object ends with its last release.
template <class Object> class RefCounted {
  protected:
    ULONG addRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG release() {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete static_cast<Object*>(this);
        return static_cast<ULONG>(n);
    }

  private:
    LONG refs_ = 1;
};

class Control final : public IOleObject,
                      public IOleInPlaceObject,
                      public IDispatch,
                      public IConnectionPointContainer,
                      public IConnectionPoint,
                      public RefCounted<Control> {
  public:
    explicit Control(const CLSID& clsid) : clsid_(clsid) { InterlockedIncrement(&gObjects); }
    ~Control() {
        destroyWindow();
        if (sink_ != nullptr)
            sink_->Release();
        if (site_ != nullptr)
            site_->Release();
        InterlockedDecrement(&gObjects);
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOleObject)
            *out = static_cast<IOleObject*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
            *out = static_cast<IOleInPlaceObject*>(this);
        else if (iid == IID_IDispatch)
            *out = static_cast<IDispatch*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }

    // IOleObject: what a host needs to site, show and close the control.
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        if (site != nullptr)
            site->AddRef();
        if (site_ != nullptr)
            site_->Release();
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        if (site == nullptr)
            return E_POINTER;
        *site = site_;
        if (site_ != nullptr)
            site_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override {
        InPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT pos) override {
        if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE &&
            verb != OLEIVERB_PRIMARY)
            return OLEOBJ_S_INVALIDVERB;
        if (site != nullptr && site_ == nullptr)
            SetClientSite(site);
        return activate(parent, pos);
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return OLEOBJ_E_NOVERBS; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override {
        if (clsid == nullptr)
            return E_POINTER;
        *clsid = clsid_;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return S_OK; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    // Unadvise(DWORD) is one method for IOleObject and IConnectionPoint alike: the one below.
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (status == nullptr)
            return E_POINTER;
        *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                  OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* window) override {
        if (window == nullptr)
            return E_POINTER;
        *window = hwnd_;
        return hwnd_ != nullptr ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        if (hwnd_ == nullptr)
            return S_OK;
        destroyWindow();
        IOleInPlaceSite* inPlace = nullptr;
        if (site_ != nullptr &&
            SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->OnInPlaceDeactivate();
            inPlace->Release();
        }
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (pos == nullptr)
            return E_POINTER;
        if (hwnd_ != nullptr)
            MoveWindow(hwnd_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IDispatch: the members by their dispatch ids; no type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const auto& entry : kNames)
                if (lstrcmpiW(entry.name, names[i]) == 0)
                    ids[i] = entry.id;
            if (ids[i] == DISPID_UNKNOWN)
                result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* badArgument) override;

    // IConnectionPointContainer: one outgoing interface, FSCommand, to a plain IDispatch sink.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (point == nullptr)
            return E_POINTER;
        *point = nullptr;
        if (iid != IID_IDispatch)
            return CONNECT_E_NOCONNECTION;
        *point = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (iid == nullptr)
            return E_POINTER;
        *iid = IID_IDispatch;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr)
            return E_POINTER;
        *container = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink == nullptr || cookie == nullptr)
            return E_POINTER;
        if (sink_ != nullptr)
            return CONNECT_E_ADVISELIMIT;
        if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink_))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie != 1 || sink_ == nullptr)
            return CONNECT_E_NOCONNECTION;
        sink_->Release();
        sink_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    HRESULT activate(HWND parent, LPCRECT pos);
    void destroyWindow();
    void loadMovie(const std::string& path);
    void restartTimer();
    void paint(HDC dc);
    void click(int x, int y);
    void fire(const std::string& command, const std::string& arguments);
    void redraw() {
        if (hwnd_ != nullptr)
            InvalidateRect(hwnd_, nullptr, FALSE);
    }

    CLSID clsid_;
    IOleClientSite* site_ = nullptr;
    IDispatch* sink_ = nullptr;
    HWND hwnd_ = nullptr;
    MoviePlayer player_;
    std::string moviePath_;
    int align_ = 0;
    bool menu_ = true;
    bool hasBackground_ = false;
    std::uint32_t background_ = 0;
    // Movie units → pixels, kept from the last paint for clicks.
    double scale_ = 1;
    int offsetX_ = 0, offsetY_ = 0;
};

// -- Automation ---------------------------------------------------------------------------

bool argument(DISPPARAMS* params, UINT index, VARTYPE type, VARIANT& out) {
    // The arguments come last first.
    if (params == nullptr || index >= params->cArgs)
        return false;
    VariantInit(&out);
    return SUCCEEDED(VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - index], 0, type));
}

std::string textArgument(DISPPARAMS* params, UINT index) {
    VARIANT v;
    if (!argument(params, index, VT_BSTR, v))
        return {};
    std::string out = narrow(v.bstrVal);
    VariantClear(&v);
    return out;
}

HRESULT Control::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* badArgument) {
    if (badArgument != nullptr)
        *badArgument = 0;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const UINT args = params != nullptr ? params->cArgs : 0;
    VARIANT v;
    auto needs = [&](UINT n) { return args >= n; };
    auto returnLong = [&](LONG value) {
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = value;
        }
        return S_OK;
    };
    auto returnBool = [&](bool value) {
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    };
    switch (id) {
    case kMovie:
        if (put) {
            if (!needs(1))
                return DISP_E_BADPARAMCOUNT;
            loadMovie(textArgument(params, 0));
            return S_OK;
        }
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = wide(moviePath_);
        }
        return S_OK;
    case kLoop:
        if (put) {
            if (!argument(params, 0, VT_BOOL, v))
                return DISP_E_TYPEMISMATCH;
            player_.loop = v.boolVal != VARIANT_FALSE;
            return S_OK;
        }
        return returnBool(player_.loop);
    case kFrameNum:
    case kCurrentFrame:
        if (put && id == kFrameNum) {
            if (!argument(params, 0, VT_I4, v))
                return DISP_E_TYPEMISMATCH;
            player_.gotoFrame(v.lVal);
            redraw();
            return S_OK;
        }
        return returnLong(player_.currentFrame());
    case kTotalFrames:
        return returnLong(player_.totalFrames());
    case kAlignMode:
        if (put) {
            if (!argument(params, 0, VT_I4, v))
                return DISP_E_TYPEMISMATCH;
            align_ = v.lVal;
            return S_OK;
        }
        return returnLong(align_);
    case kMenu:
        if (put) {
            if (!argument(params, 0, VT_BOOL, v))
                return DISP_E_TYPEMISMATCH;
            menu_ = v.boolVal != VARIANT_FALSE;
            return S_OK;
        }
        return returnBool(menu_);
    case kBGColor:
        if (put) {
            std::string text = textArgument(params, 0);
            char* end = nullptr;
            unsigned long value = std::strtoul(text.c_str(), &end, 16);
            if (text.size() == 6 && end != nullptr && *end == '\0') {
                hasBackground_ = true;
                background_ = static_cast<std::uint32_t>(value);
                redraw();
            }
            return S_OK;
        }
        if (result != nullptr) {
            char text[8];
            wsprintfA(text, "%06lX",
                      static_cast<unsigned long>(hasBackground_ ? background_ : player_.movie().background));
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = wide(text);
        }
        return S_OK;
    case kPlay:
        player_.play();
        return S_OK;
    case kStop:
    case kStopPlay:
        player_.stop();
        return S_OK;
    case kGotoFrame:
        if (!argument(params, 0, VT_I4, v))
            return DISP_E_BADPARAMCOUNT;
        player_.gotoFrame(v.lVal);
        redraw();
        return S_OK;
    case kIsPlaying:
        return returnBool(player_.playing());
    case kFlashVersion:
        return returnLong(kVersion);
    case kTGotoLabel:
        if (!needs(2))
            return DISP_E_BADPARAMCOUNT;
        // One timeline: the target names the main one ("/") or nothing else we have.
        player_.gotoLabel(textArgument(params, 1));
        redraw();
        return S_OK;
    case kSetVariable:
        if (!needs(2))
            return DISP_E_BADPARAMCOUNT;
        player_.setVariable(textArgument(params, 0), textArgument(params, 1));
        redraw();
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

void Control::loadMovie(const std::string& path) {
    moviePath_ = path;
    hasBackground_ = false;
    std::string text;
    std::optional<zov::tools::Movie> movie;
    if (readFile(path, text))
        movie = zov::tools::parseMovie(text);
    if (movie) {
        const bool loop = player_.loop;
        player_.load(std::move(*movie));
        player_.loop = loop;
    } else {
        player_.unload();
    }
    restartTimer();
    redraw();
}

void Control::fire(const std::string& command, const std::string& arguments) {
    if (sink_ == nullptr)
        return;
    VARIANT args[2];
    // Last first: the arguments, then the command.
    VariantInit(&args[0]);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = wide(arguments);
    VariantInit(&args[1]);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = wide(command);
    DISPPARAMS params{args, nullptr, 2, 0};
    IDispatch* sink = sink_;
    sink->AddRef();
    sink->Invoke(kFSCommand, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    sink->Release();
    VariantClear(&args[0]);
    VariantClear(&args[1]);
}

// -- The window ---------------------------------------------------------------------------

HRESULT Control::activate(HWND parent, LPCRECT pos) {
    if (hwnd_ != nullptr)
        return S_OK;
    IOleInPlaceSite* inPlace = nullptr;
    if (site_ == nullptr ||
        FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
        return E_UNEXPECTED;
    RECT place{0, 0, 160, 120};
    if (inPlace->CanInPlaceActivate() != S_OK) {
        inPlace->Release();
        return E_FAIL;
    }
    inPlace->OnInPlaceActivate();
    HWND window = nullptr;
    if (SUCCEEDED(inPlace->GetWindow(&window)) && window != nullptr)
        parent = window;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT posRect, clipRect;
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &posRect, &clipRect, &info)))
        place = posRect;
    if (frame != nullptr)
        frame->Release();
    if (document != nullptr)
        document->Release();
    inPlace->Release();
    if (pos != nullptr)
        place = *pos;
    if (parent == nullptr)
        return E_UNEXPECTED;
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = gModule;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc); // a second control finds it registered
    hwnd_ =
        CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, place.left, place.top,
                        place.right - place.left, place.bottom - place.top, parent, nullptr, gModule, this);
    if (hwnd_ == nullptr)
        return E_FAIL;
    restartTimer();
    return S_OK;
}

void Control::destroyWindow() {
    if (hwnd_ == nullptr)
        return;
    HWND window = hwnd_;
    hwnd_ = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

void Control::restartTimer() {
    if (hwnd_ == nullptr)
        return;
    KillTimer(hwnd_, 1);
    if (player_.loaded())
        SetTimer(hwnd_, 1, static_cast<UINT>(1000 / player_.movie().rate), nullptr);
}

void Control::paint(HDC target) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    // Drawn off screen first: a frame never flickers through its layers.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const zov::tools::Movie& movie = player_.movie();
    COLORREF back = rgb(hasBackground_ || !player_.loaded() ? background_ : movie.background);
    HBRUSH backBrush = CreateSolidBrush(back);
    FillRect(dc, &client, backBrush);
    DeleteObject(backBrush);
    // The whole movie in view, kept in proportion and centred.
    const double sx = static_cast<double>(width) / movie.width,
                 sy = static_cast<double>(height) / movie.height;
    scale_ = sx < sy ? sx : sy;
    offsetX_ = static_cast<int>((width - movie.width * scale_) / 2);
    offsetY_ = static_cast<int>((height - movie.height * scale_) / 2);
    auto px = [&](int v, int offset) { return offset + static_cast<int>(v * scale_); };
    SetBkMode(dc, TRANSPARENT);
    for (const DrawItem& item : player_.scene()) {
        RECT r{px(item.x, offsetX_), px(item.y, offsetY_), px(item.x + item.width, offsetX_),
               px(item.y + item.height, offsetY_)};
        switch (item.kind) {
        case ElementKind::Rect: {
            HBRUSH brush = CreateSolidBrush(rgb(item.colour));
            FillRect(dc, &r, brush);
            DeleteObject(brush);
            break;
        }
        case ElementKind::Bar: {
            HBRUSH track = CreateSolidBrush(rgb(item.colour));
            FillRect(dc, &r, track);
            DeleteObject(track);
            RECT done = r;
            done.right = r.left + (r.right - r.left) * item.percent / 100;
            HBRUSH fill = CreateSolidBrush(rgb(item.colour2));
            FillRect(dc, &done, fill);
            DeleteObject(fill);
            break;
        }
        case ElementKind::Text:
        case ElementKind::Button: {
            const bool button = item.kind == ElementKind::Button;
            int fontHeight = static_cast<int>((button ? item.height * 0.55 : item.height) * scale_);
            HFONT font =
                CreateFontA(-(fontHeight > 1 ? fontHeight : 1), 0, 0, 0, button ? FW_BOLD : FW_NORMAL, 0, 0,
                            0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
            HGDIOBJ oldFont = SelectObject(dc, font);
            UINT format = DT_NOPREFIX | DT_SINGLELINE;
            if (button) {
                HBRUSH face = CreateSolidBrush(rgb(item.colour));
                HGDIOBJ oldBrush = SelectObject(dc, face);
                HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
                const int round = static_cast<int>(8 * scale_);
                RoundRect(dc, r.left, r.top, r.right, r.bottom, round, round);
                SelectObject(dc, oldPen);
                SelectObject(dc, oldBrush);
                DeleteObject(face);
                SetTextColor(dc, rgb(item.colour2));
                format |= DT_CENTER | DT_VCENTER;
            } else {
                SetTextColor(dc, rgb(item.colour));
                r.right = width;
                r.bottom = r.top + fontHeight * 2;
            }
            DrawTextA(dc, item.text.c_str(), -1, &r, format);
            SelectObject(dc, oldFont);
            DeleteObject(font);
            break;
        }
        }
    }
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void Control::click(int x, int y) {
    if (scale_ <= 0)
        return;
    auto unit = [&](int v, int offset) { return static_cast<int>((v - offset) / scale_); };
    if (std::optional<std::size_t> hit = player_.buttonAt(unit(x, offsetX_), unit(y, offsetY_)))
        fire(player_.movie().elements[*hit].command, "");
}

LRESULT CALLBACK Control::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        self->paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_TIMER:
        if (self->player_.tick())
            self->redraw();
        return 0;
    case WM_LBUTTONUP: {
        // The event may reach a host that ends this control: hold it until the call returns.
        self->AddRef();
        self->click(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        self->Release();
        return 0;
    }
    case WM_RBUTTONUP:
        return 0; // no menu
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// -- The class object and the server's exports ---------------------------------------------

class Factory final : public IClassFactory, public RefCounted<Factory> {
  public:
    explicit Factory(const CLSID& clsid) : clsid_(clsid) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto* control = new (std::nothrow) Control(clsid_);
        if (control == nullptr)
            return E_OUTOFMEMORY;
        HRESULT hr = control->QueryInterface(iid, out);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&gLocks);
        else
            InterlockedDecrement(&gLocks);
        return S_OK;
    }

  private:
    CLSID clsid_;
};

std::string modulePath() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(gModule, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

bool setValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
    return set == ERROR_SUCCESS;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (clsid != kOwnClass && clsid != kPublicClass)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) Factory(clsid);
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return gObjects == 0 && gLocks == 0 ? S_OK : S_FALSE;
}

// Registers this file as the client's own movie control.
HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::string path = modulePath();
    const std::string server = std::string(kOwnClassKey) + "\\InProcServer32";
    if (path.empty() || !setValue(HKEY_CLASSES_ROOT, kOwnClassKey, nullptr, "ZOV Movie Control") ||
        !setValue(HKEY_CLASSES_ROOT, server, nullptr, path) ||
        !setValue(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Apartment"))
        return SELFREG_E_CLASS;
    return S_OK;
}

// Removes the registration, but only one that names this file: another copy's stays.
HRESULT STDAPICALLTYPE DllUnregisterServer() {
    const std::string server = std::string(kOwnClassKey) + "\\InProcServer32";
    char registered[MAX_PATH + 1] = {};
    LONG size = sizeof registered - 1;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, server.c_str(), registered, &size) != ERROR_SUCCESS)
        return S_OK;
    if (lstrcmpiA(registered, modulePath().c_str()) != 0)
        return S_OK;
    RegDeleteKeyA(HKEY_CLASSES_ROOT, server.c_str());
    if (RegDeleteKeyA(HKEY_CLASSES_ROOT, kOwnClassKey) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    return S_OK;
}

} // extern "C"
