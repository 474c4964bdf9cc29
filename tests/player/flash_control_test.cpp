// The player control through COM, as the program drives it: created by its class
// identifier through the hosting window, called at the method positions the program uses,
// and drawn into DIB sections over white and black.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "movie/engine.h"
#include "raster/alpha_compose.h"
#include "player/ax_host.h"
#include "player/flash_control.h"
#include "player/dib.h"
#include "support/demo_movie.h"
#include "support/temp_dir.h"
#include "swf/tags.h"

namespace {

using namespace player;

class Com {
public:
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

// Calls method `position` of the interface through its method table, as a caller that knows
// only the positions would.
template <typename... Args>
HRESULT CallAt(void* object, int position, Args... args) {
    void** table = *static_cast<void***>(object);
    using Method = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
    return reinterpret_cast<Method>(table[position])(object, args...);
}

struct Dib {
    HBITMAP bitmap = nullptr;
    uint32_t* pixels = nullptr;
    Dib(int w, int h) {
        const BITMAPINFO info = DibInfo32(w, h);
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<uint32_t*>(bits);
    }
    ~Dib() { DeleteObject(bitmap); }
};

class FlashControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterFlashControlClass());
        ASSERT_TRUE(RegisterAxHostClass(GetModuleHandleA(nullptr)));
        movie_ = dir_.file("demo.swf");
        testing_support::WriteFileBytes(movie_, testing_support::BuildDemoMovie());
    }
    // A control hosted the program's way: a window of the hosting class named by the CLSID.
    IShockwaveFlash* HostedControl() {
        host_ = CreateWindowExA(0, kAxHostClassName, kFlashControlClsidText, 0, 0, 0, 400, 400, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(host_, nullptr);
        IShockwaveFlash* flash = nullptr;
        EXPECT_EQ(AxHostControl(host_, kIidShockwaveFlash, reinterpret_cast<void**>(&flash)), S_OK);
        return flash;
    }
    void TearDown() override {
        if (host_ != nullptr) DestroyWindow(host_);
    }
    Com com_;
    testing_support::TempDir dir_;
    std::string movie_;
    HWND host_ = nullptr;
};

TEST_F(FlashControlTest, HostWindowCreatesTheControlNamedByItsText) {
    IShockwaveFlash* flash = HostedControl();
    ASSERT_NE(flash, nullptr);
    // The same object behind both interfaces.
    IViewObjectEx* view = nullptr;
    ASSERT_EQ(flash->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)), S_OK);
    IUnknown *a = nullptr, *b = nullptr;
    flash->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    view->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    view->Release();
    flash->Release();
    // Another class identifier, or none: the window is not created.
    EXPECT_EQ(CreateWindowExA(0, kAxHostClassName, "{00000000-0000-0000-0000-000000000001}", 0, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, kAxHostClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr),
              nullptr);
    // A window that holds no control answers null, which the helper turns into E_FAIL.
    const HWND plain = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(AxHostControl(plain, IID_IUnknown, reinterpret_cast<void**>(&none)), E_FAIL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(AxHostControl(host_, IID_IUnknown, nullptr), E_POINTER);
    DestroyWindow(plain);
}

TEST_F(FlashControlTest, OperationsSitAtTheirMethodPositions) {
    IShockwaveFlash* flash = HostedControl();
    ASSERT_NE(flash, nullptr);
    long frames = -1;
    EXPECT_EQ(CallAt(flash, kFlashTotalFrames, &frames), E_UNEXPECTED) << "nothing loaded yet";
    std::wstring wide(movie_.begin(), movie_.end());
    const BSTR url = SysAllocString(wide.c_str());
    EXPECT_EQ(CallAt(flash, kFlashLoadMovie, 0, url), S_OK);
    SysFreeString(url);
    EXPECT_EQ(CallAt(flash, kFlashTotalFrames, &frames), S_OK);
    EXPECT_EQ(frames, testing_support::kDemoFrames);
    long current = -1;
    EXPECT_EQ(CallAt(flash, kFlashCurrentFrame, &current), S_OK);
    EXPECT_EQ(current, 0) << "a loaded movie stands on its first frame";
    EXPECT_EQ(CallAt(flash, kFlashGotoFrame, 5L), S_OK);
    EXPECT_EQ(CallAt(flash, kFlashCurrentFrame, &current), S_OK);
    EXPECT_EQ(current, 5);
    EXPECT_EQ(CallAt(flash, kFlashGotoFrame, 1000L), S_OK);
    EXPECT_EQ(CallAt(flash, kFlashCurrentFrame, &current), S_OK);
    EXPECT_EQ(current, testing_support::kDemoFrames - 1) << "past the end the player stays on the last frame";
    EXPECT_EQ(CallAt(flash, kFlashBackgroundColor, 0x123456L), S_OK);
    EXPECT_EQ(CallAt(flash, kFlashStop), S_OK);
    // A reserved position answers without doing anything.
    EXPECT_EQ(CallAt(flash, 7), E_NOTIMPL);
    flash->Release();
}

// The capture's way of drawing: over white into one DIB section, over black into another,
// then the composition. It gives the engine's own transparent frame exactly.
TEST_F(FlashControlTest, DrawsOverWhiteAndBlackIntoDibSections) {
    IShockwaveFlash* flash = HostedControl();
    ASSERT_NE(flash, nullptr);
    std::wstring wide(movie_.begin(), movie_.end());
    const BSTR url = SysAllocString(wide.c_str());
    ASSERT_EQ(flash->LoadMovie(0, url), S_OK);
    SysFreeString(url);
    IViewObjectEx* view = nullptr;
    ASSERT_EQ(flash->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)), S_OK);
    const int w = 160, h = 90;
    Dib white(w, h), black(w, h);
    const HDC dc = CreateCompatibleDC(nullptr);
    const RECTL bounds{0, 0, w, h};
    flash->GotoFrame(30);
    const HGDIOBJ kept = SelectObject(dc, white.bitmap);
    flash->put_BackgroundColor(0xFFFFFF);
    EXPECT_EQ(CallAt(view, kViewObjectDraw, DWORD(DVASPECT_CONTENT), LONG(-1), static_cast<void*>(nullptr),
                     static_cast<DVTARGETDEVICE*>(nullptr), HDC(nullptr), dc, &bounds, static_cast<LPCRECTL>(nullptr),
                     static_cast<void*>(nullptr), ULONG_PTR(0)),
              S_OK);
    SelectObject(dc, black.bitmap);
    flash->put_BackgroundColor(0);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    SelectObject(dc, kept);
    DeleteDC(dc);
    std::vector<uint32_t> composed(size_t(w) * h);
    raster::ComposeAlpha(white.pixels, black.pixels, composed.data(), composed.size());

    // The engine by itself, transparent, bottom-up like the sections.
    movie::Engine engine;
    std::string error;
    ASSERT_TRUE(engine.loadFile(movie_.c_str(), error)) << error;
    engine.gotoFrame(30);
    std::vector<uint32_t> expected(size_t(w) * h);
    engine.draw(raster::Target::BottomUp(expected.data(), w, h, w * 4), true, true);
    int differing = 0;
    for (size_t i = 0; i < expected.size(); ++i) differing += composed[i] != expected[i];
    EXPECT_EQ(differing, 0);
    // The corner of the stage is transparent; over white it showed white.
    EXPECT_EQ(white.pixels[size_t(h - 1) * w], 0xFFFFFFFFu);
    EXPECT_EQ(composed[size_t(h - 1) * w], 0u);
    // Bounds that leave the bitmap still draw, clipped, through a bitmap of the control's own.
    const HDC other = CreateCompatibleDC(nullptr);
    SelectObject(other, white.bitmap);
    const RECTL wider{-10, -10, w + 10, h + 10};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, other, &wider, nullptr, nullptr, 0), S_OK);
    const RECTL empty{0, 0, 0, 10};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, other, &empty, nullptr, nullptr, 0),
              E_INVALIDARG);
    DeleteDC(other);
    view->Release();
    flash->Release();
}

TEST_F(FlashControlTest, AMovieThatDoesNotLoadIsReported) {
    IShockwaveFlash* flash = HostedControl();
    ASSERT_NE(flash, nullptr);
    const std::string bad = dir_.file("bad.swf");
    testing_support::WriteFileBytes(bad, "not a movie at all");
    std::wstring wide(bad.begin(), bad.end());
    const BSTR url = SysAllocString(wide.c_str());
    EXPECT_NE(flash->LoadMovie(0, url), S_OK);
    SysFreeString(url);
    long frames = 0;
    EXPECT_NE(flash->get_TotalFrames(&frames), S_OK);
    EXPECT_EQ(flash->get_TotalFrames(nullptr), E_POINTER);
    flash->Release();
}

}  // namespace
