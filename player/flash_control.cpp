#include "player/flash_control.h"
#include "player/dib.h"

#include <algorithm>
#include <string>
#include <vector>

#include "movie/engine.h"

namespace player {

namespace {

constexpr HRESULT kNotLoaded = E_UNEXPECTED;

class FlashControl final : public IShockwaveFlash, public IViewObjectEx {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidShockwaveFlash)) {
            *object = static_cast<IShockwaveFlash*>(this);
        } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2) ||
                   IsEqualIID(iid, IID_IViewObjectEx)) {
            *object = static_cast<IViewObjectEx*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: the control has no type information; it is driven through its methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    // IShockwaveFlash
    HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) override {
        if (frames == nullptr) return E_POINTER;
        if (!loaded_) return kNotLoaded;
        *frames = engine_.totalFrames();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_BackgroundColor(long rgb) override {
        engine_.setBackgroundColor({static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                    static_cast<uint8_t>(rgb), 255});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }  // the control never plays by itself
    HRESULT STDMETHODCALLTYPE GotoFrame(long frame) override {
        if (!loaded_) return kNotLoaded;
        if (frame < 0) return E_INVALIDARG;
        // Past the last frame the player stays on the last one.
        engine_.gotoFrame(static_cast<int>(std::min<long>(frame, std::max(engine_.totalFrames() - 1, 0))));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CurrentFrame(long* frame) override {
        if (frame == nullptr) return E_POINTER;
        if (!loaded_) return kNotLoaded;
        *frame = std::max(engine_.currentFrame(), 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override {
        if (layer != 0 || url == nullptr) return E_INVALIDARG;
        // The path in the system code page, as the program's own file functions take it.
        const int bytes = WideCharToMultiByte(CP_ACP, 0, url, -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 1) return E_INVALIDARG;
        std::string path(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, url, -1, path.data(), bytes, nullptr, nullptr);
        std::string error;
        loaded_ = engine_.loadFile(path.c_str(), error);
        if (!loaded_) return E_FAIL;
        engine_.gotoFrame(0);
        return S_OK;
    }

#define TEVLIN_RESERVED_SLOT(n) \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }
    TEVLIN_RESERVED_SLOT(07) TEVLIN_RESERVED_SLOT(09) TEVLIN_RESERVED_SLOT(10) TEVLIN_RESERVED_SLOT(11)
    TEVLIN_RESERVED_SLOT(12) TEVLIN_RESERVED_SLOT(13) TEVLIN_RESERVED_SLOT(14) TEVLIN_RESERVED_SLOT(15)
    TEVLIN_RESERVED_SLOT(16) TEVLIN_RESERVED_SLOT(17) TEVLIN_RESERVED_SLOT(19) TEVLIN_RESERVED_SLOT(20)
    TEVLIN_RESERVED_SLOT(21) TEVLIN_RESERVED_SLOT(22) TEVLIN_RESERVED_SLOT(23) TEVLIN_RESERVED_SLOT(24)
    TEVLIN_RESERVED_SLOT(25) TEVLIN_RESERVED_SLOT(26) TEVLIN_RESERVED_SLOT(27) TEVLIN_RESERVED_SLOT(28)
    TEVLIN_RESERVED_SLOT(30) TEVLIN_RESERVED_SLOT(31) TEVLIN_RESERVED_SLOT(32) TEVLIN_RESERVED_SLOT(33)
    TEVLIN_RESERVED_SLOT(36) TEVLIN_RESERVED_SLOT(37) TEVLIN_RESERVED_SLOT(38) TEVLIN_RESERVED_SLOT(39)
    TEVLIN_RESERVED_SLOT(40) TEVLIN_RESERVED_SLOT(41) TEVLIN_RESERVED_SLOT(42) TEVLIN_RESERVED_SLOT(43)
    TEVLIN_RESERVED_SLOT(44) TEVLIN_RESERVED_SLOT(45) TEVLIN_RESERVED_SLOT(46) TEVLIN_RESERVED_SLOT(47)
    TEVLIN_RESERVED_SLOT(48) TEVLIN_RESERVED_SLOT(49) TEVLIN_RESERVED_SLOT(50) TEVLIN_RESERVED_SLOT(51)
    TEVLIN_RESERVED_SLOT(52) TEVLIN_RESERVED_SLOT(53) TEVLIN_RESERVED_SLOT(54) TEVLIN_RESERVED_SLOT(55)
    TEVLIN_RESERVED_SLOT(56) TEVLIN_RESERVED_SLOT(57)
#undef TEVLIN_RESERVED_SLOT

    // IViewObject
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc, LPCRECTL bounds, LPCRECTL,
                                   WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (hdc == nullptr || bounds == nullptr) return E_INVALIDARG;
        if (!loaded_) return kNotLoaded;
        const LONG w = bounds->right - bounds->left, h = bounds->bottom - bounds->top;
        if (w <= 0 || h <= 0) return E_INVALIDARG;
        if (static_cast<long long>(w) * h > kMaxDrawPixels) return E_OUTOFMEMORY;
        GdiFlush();  // pending GDI work on the bitmap lands before its memory is written
        DIBSECTION dib{};
        const HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
        const bool isDib = bitmap != nullptr && GetObjectA(bitmap, sizeof dib, &dib) == static_cast<int>(sizeof dib) &&
                           dib.dsBm.bmBits != nullptr && dib.dsBm.bmBitsPixel == 32 &&
                           dib.dsBmih.biCompression == BI_RGB;
        const LONG bitmapHeight = isDib ? std::abs(dib.dsBmih.biHeight) : 0;
        if (isDib && bounds->left >= 0 && bounds->top >= 0 && bounds->right <= dib.dsBm.bmWidth &&
            bounds->bottom <= bitmapHeight) {
            // Straight into the section's memory, in the bounds.
            const ptrdiff_t pitch = dib.dsBm.bmWidthBytes;
            const raster::Target whole =
                dib.dsBmih.biHeight > 0
                    ? raster::Target::BottomUp(dib.dsBm.bmBits, dib.dsBm.bmWidth, bitmapHeight, pitch)
                    : raster::Target::TopDown(dib.dsBm.bmBits, dib.dsBm.bmWidth, bitmapHeight, pitch);
            raster::Target part = whole;
            part.origin = whole.origin + bounds->top * whole.stride + bounds->left * 4;
            part.width = w;
            part.height = h;
            engine_.drawOverBackground(part);
            return S_OK;
        }
        // Any other context: a section of our own, copied into it.
        return drawThroughOwnBitmap(hdc, *bounds, w, h);
    }
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override {
        if (colors != nullptr) *colors = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD, DWORD, IAdviseSink*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    // IViewObject2: the stage size in HIMETRIC units.
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        if (size == nullptr) return E_POINTER;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!loaded_) return kNotLoaded;
        size->cx = MulDiv(engine_.stageWidth(), 2540, 96);
        size->cy = MulDiv(engine_.stageHeight(), 2540, 96);
        return S_OK;
    }
    // IViewObjectEx
    HRESULT STDMETHODCALLTYPE GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override {
        if (status == nullptr) return E_POINTER;
        *status = VIEWSTATUS_OPAQUE;  // the background colour fills what the movie leaves
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD, LPCRECT, POINT, LONG, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override {
        return E_NOTIMPL;
    }

private:
    // A frame larger than this is refused rather than allocated (64 M pixels, 256 MiB).
    static constexpr long long kMaxDrawPixels = 64LL * 1024 * 1024;

    HRESULT drawThroughOwnBitmap(HDC hdc, const RECTL& bounds, LONG w, LONG h) {
        const BITMAPINFO info = DibInfo32(w, h);
        void* bits = nullptr;
        const HBITMAP own = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (own == nullptr || bits == nullptr) return E_OUTOFMEMORY;
        engine_.drawOverBackground(raster::Target::BottomUp(bits, w, h, static_cast<ptrdiff_t>(w) * 4));
        const HDC memory = CreateCompatibleDC(hdc);
        const HGDIOBJ kept = SelectObject(memory, own);
        const BOOL copied = BitBlt(hdc, bounds.left, bounds.top, w, h, memory, 0, 0, SRCCOPY);
        SelectObject(memory, kept);
        DeleteDC(memory);
        DeleteObject(own);
        return copied ? S_OK : E_FAIL;
    }

    LONG references_ = 1;
    movie::Engine engine_;
    bool loaded_ = false;
};

class FlashControlFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object: its lifetime is the process's.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateFlashControl(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

FlashControlFactory g_factory;
DWORD g_registration = 0;

}  // namespace

HRESULT CreateFlashControl(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    FlashControl* control = new (std::nothrow) FlashControl();
    if (control == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = control->QueryInterface(iid, object);
    control->Release();  // the caller's reference is the only one left, or none
    return hr;
}

bool RegisterFlashControlClass() {
    if (g_registration != 0) return true;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(kClsidFlashControl, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                     &cookie))) {
        return false;
    }
    g_registration = cookie;
    return true;
}

void RevokeFlashControlClass() {
    if (g_registration == 0) return;
    CoRevokeClassObject(g_registration);
    g_registration = 0;
}

}  // namespace player
