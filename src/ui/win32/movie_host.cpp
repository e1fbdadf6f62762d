#include "ui/win32/movie_host.h"

#include <ocidl.h>
#include <ole2.h>

#include <vector>

namespace zov::win32 {

namespace {

std::string narrow(const wchar_t* text) {
    int n = text != nullptr ? WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr) : 0;
    std::string out(n > 1 ? static_cast<std::size_t>(n - 1) : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string textArgument(const DISPPARAMS* params, UINT index) {
    if (params == nullptr || index >= params->cArgs)
        return {};
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, &params->rgvarg[params->cArgs - 1 - index], 0, VT_BSTR)))
        return {};
    std::string out = narrow(v.bstrVal);
    VariantClear(&v);
    return out;
}

} // namespace

// The container side of one in-place control: the frame window is its window, its document
// and its frame; no menus, borders or status line. Its IDispatch is the event sink.
class MovieSite final : public IOleClientSite,
                        public IOleInPlaceSite,
                        public IOleInPlaceFrame,
                        public IDispatch {
  public:
    MovieSite(HWND parent, const RECT& place, MovieHost::CommandHandler onCommand)
        : parent_(parent), place_(place), onCommand_(std::move(onCommand)) {}

    void setPlace(const RECT& r) { place_ = r; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IDispatch)
            *out = static_cast<IDispatch*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, for the in-place site and the frame alike
    STDMETHODIMP GetWindow(HWND* w) override {
        *w = parent_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = this;
        AddRef();
        *doc = nullptr;
        *pos = place_;
        GetClientRect(parent_, clip);
        if (info != nullptr) {
            info->fMDIApp = FALSE;
            info->hwndFrame = parent_;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: the control's events; only FSCommand (command, arguments) is listened to.
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (id == MovieHost::FSCommand && onCommand_)
            onCommand_(textArgument(params, 0), textArgument(params, 1));
        return S_OK;
    }

  private:
    ULONG refs_ = 1;
    HWND parent_;
    RECT place_;
    MovieHost::CommandHandler onCommand_;
};

bool MovieHost::create(HWND parent, const std::string& classId, const RECT& place, CommandHandler onCommand) {
    destroy();
    // Start-up leaves OLE alone; the first control enters it (a second entry only counts).
    static const bool ole = SUCCEEDED(OleInitialize(nullptr));
    if (!ole)
        return false;
    std::vector<wchar_t> wideId(classId.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, classId.c_str(), -1, wideId.data(), static_cast<int>(wideId.size()));
    CLSID clsid;
    if (FAILED(CLSIDFromString(wideId.data(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_))))
        return false;
    site_ = new MovieSite(parent, place, std::move(onCommand));
    RECT r = place;
    if (FAILED(object_->SetClientSite(site_)) ||
        FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent, &r)) ||
        FAILED(object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_)))) {
        destroy();
        return false;
    }
    IConnectionPointContainer* points = nullptr;
    if (SUCCEEDED(
            object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
        if (SUCCEEDED(points->FindConnectionPoint(IID_IDispatch, &events_)) &&
            FAILED(events_->Advise(static_cast<IDispatch*>(site_), &cookie_))) {
            events_->Release();
            events_ = nullptr;
        }
        points->Release();
    }
    return true;
}

void MovieHost::destroy() {
    if (events_ != nullptr) {
        events_->Unadvise(cookie_);
        events_->Release();
        events_ = nullptr;
    }
    if (dispatch_ != nullptr) {
        dispatch_->Release();
        dispatch_ = nullptr;
    }
    if (object_ != nullptr) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_->Release();
        object_ = nullptr;
    }
    if (site_ != nullptr) {
        static_cast<IOleClientSite*>(site_)->Release();
        site_ = nullptr;
    }
}

HWND MovieHost::window() const {
    HWND w = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    if (object_ != nullptr &&
        SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->GetWindow(&w);
        inPlace->Release();
    }
    return w;
}

void MovieHost::place(const RECT& r) {
    IOleInPlaceObject* inPlace = nullptr;
    if (object_ == nullptr ||
        FAILED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
        return;
    site_->setPlace(r);
    inPlace->SetObjectRects(&r, &r);
    inPlace->Release();
}

HRESULT MovieHost::invoke(Member m, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result) {
    // Automation takes the arguments last first; the helpers own them and clear them here.
    std::vector<VARIANT> reversed(args.begin(), args.end());
    for (std::size_t i = 0, j = reversed.size(); i + 1 < j; ++i, --j)
        std::swap(reversed[i], reversed[j - 1]);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr,
                      static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    HRESULT hr = dispatch_ != nullptr ? dispatch_->Invoke(m, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                                          result, nullptr, nullptr)
                                      : E_FAIL;
    for (VARIANT& v : reversed)
        VariantClear(&v);
    return hr;
}

void MovieHost::put(Member m, const VARIANT& value) {
    invoke(m, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

void MovieHost::call(Member m, std::initializer_list<VARIANT> args) {
    invoke(m, DISPATCH_METHOD, args, nullptr);
}

long MovieHost::readLong(Member m, std::initializer_list<VARIANT> args) {
    VARIANT result;
    VariantInit(&result);
    long value = 0;
    if (SUCCEEDED(invoke(m, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &result)) &&
        SUCCEEDED(VariantChangeType(&result, &result, 0, VT_I4)))
        value = result.lVal;
    VariantClear(&result);
    return value;
}

std::string MovieHost::readText(Member m) {
    VARIANT result;
    VariantInit(&result);
    std::string value;
    if (SUCCEEDED(invoke(m, DISPATCH_PROPERTYGET, {}, &result)) &&
        SUCCEEDED(VariantChangeType(&result, &result, 0, VT_BSTR)))
        value = narrow(result.bstrVal);
    VariantClear(&result);
    return value;
}

VARIANT MovieHost::text(const std::string& value) {
    VARIANT v;
    VariantInit(&v);
    int n = MultiByteToWideChar(CP_ACP, 0, value.c_str(), -1, nullptr, 0);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(nullptr, n > 0 ? static_cast<UINT>(n - 1) : 0);
    if (v.bstrVal != nullptr && n > 1)
        MultiByteToWideChar(CP_ACP, 0, value.c_str(), -1, v.bstrVal, n);
    return v;
}

VARIANT MovieHost::number(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT MovieHost::boolean(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

} // namespace zov::win32
