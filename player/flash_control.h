#pragma once
// The player control: Tevlin's movie engine as an in-process COM object, under the class
// and interface identifiers that the program drives. It offers IShockwaveFlash (the scripting
// interface; only the operations the program calls do anything, at their method positions)
// and IViewObjectEx (of which Draw renders the current frame into the 32-bit DIB section
// selected into the device context).
//
// The object is registered with COM in-process by RegisterFlashControlClass: nothing goes to
// the system registry and no library is loaded.

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

namespace player {

// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID kIidShockwaveFlash = {0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID kClsidFlashControl = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr char kFlashControlClsidText[] = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// The scripting interface, a dual interface on IDispatch. Method positions count from 0
// with the three methods of IUnknown and the four of IDispatch first; the positions that the
// program calls carry their operations, every other position is a reserved slot that
// answers E_NOTIMPL and takes no arguments.
#define TEVLIN_RESERVED_SLOT(n) virtual HRESULT STDMETHODCALLTYPE Reserved##n() = 0;
struct IShockwaveFlash : public IDispatch {
    TEVLIN_RESERVED_SLOT(07)
    virtual HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) = 0;  // 8
    TEVLIN_RESERVED_SLOT(09) TEVLIN_RESERVED_SLOT(10) TEVLIN_RESERVED_SLOT(11) TEVLIN_RESERVED_SLOT(12)
    TEVLIN_RESERVED_SLOT(13) TEVLIN_RESERVED_SLOT(14) TEVLIN_RESERVED_SLOT(15) TEVLIN_RESERVED_SLOT(16)
    TEVLIN_RESERVED_SLOT(17)
    virtual HRESULT STDMETHODCALLTYPE put_BackgroundColor(long rgb) = 0;  // 18: 0xRRGGBB
    TEVLIN_RESERVED_SLOT(19) TEVLIN_RESERVED_SLOT(20) TEVLIN_RESERVED_SLOT(21) TEVLIN_RESERVED_SLOT(22)
    TEVLIN_RESERVED_SLOT(23) TEVLIN_RESERVED_SLOT(24) TEVLIN_RESERVED_SLOT(25) TEVLIN_RESERVED_SLOT(26)
    TEVLIN_RESERVED_SLOT(27) TEVLIN_RESERVED_SLOT(28)
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;  // 29
    TEVLIN_RESERVED_SLOT(30) TEVLIN_RESERVED_SLOT(31) TEVLIN_RESERVED_SLOT(32) TEVLIN_RESERVED_SLOT(33)
    virtual HRESULT STDMETHODCALLTYPE GotoFrame(long frame) = 0;      // 34
    virtual HRESULT STDMETHODCALLTYPE CurrentFrame(long* frame) = 0;  // 35
    TEVLIN_RESERVED_SLOT(36) TEVLIN_RESERVED_SLOT(37) TEVLIN_RESERVED_SLOT(38) TEVLIN_RESERVED_SLOT(39)
    TEVLIN_RESERVED_SLOT(40) TEVLIN_RESERVED_SLOT(41) TEVLIN_RESERVED_SLOT(42) TEVLIN_RESERVED_SLOT(43)
    TEVLIN_RESERVED_SLOT(44) TEVLIN_RESERVED_SLOT(45) TEVLIN_RESERVED_SLOT(46) TEVLIN_RESERVED_SLOT(47)
    TEVLIN_RESERVED_SLOT(48) TEVLIN_RESERVED_SLOT(49) TEVLIN_RESERVED_SLOT(50) TEVLIN_RESERVED_SLOT(51)
    TEVLIN_RESERVED_SLOT(52) TEVLIN_RESERVED_SLOT(53) TEVLIN_RESERVED_SLOT(54) TEVLIN_RESERVED_SLOT(55)
    TEVLIN_RESERVED_SLOT(56) TEVLIN_RESERVED_SLOT(57)
    virtual HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) = 0;  // 58
};
#undef TEVLIN_RESERVED_SLOT

// Method positions, for the callers' and the tests' sake.
enum FlashMethod : int {
    kFlashTotalFrames = 8,
    kFlashBackgroundColor = 18,
    kFlashStop = 29,
    kFlashGotoFrame = 34,
    kFlashCurrentFrame = 35,
    kFlashLoadMovie = 58,
    kViewObjectDraw = 3,
};

// A new control instance, asked for `iid`.
HRESULT CreateFlashControl(REFIID iid, void** object);

// Registers the control's class object with COM for this process (the apartment must be
// entered). False when COM refuses. A second call does nothing and answers true.
bool RegisterFlashControlClass();
void RevokeFlashControlClass();

}  // namespace player
