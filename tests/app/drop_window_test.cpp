// The drop window and its hyperlink label under Wine: the dialog template as the program
// carries it, drops built in this process, keys, closing, and the label's colours, fonts,
// capture and clean-up.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/drop_window.h"
#include "app/hyperlink.h"
#include "app/job_state.h"
#include "res/resource.h"

namespace {

constexpr WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);

HWND CreateDropWindow() {
    InitCommonControls();
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DROPWINDOW), nullptr, DropWindowProc, 0);
}

// An HDROP as the shell makes it: DROPFILES followed by the ANSI paths, each ended by a NUL,
// and one more NUL.
HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
    size_t bytes = sizeof(DROPFILES) + 2;  // the closing NUL, and one more for an empty list
    for (const auto& p : paths) bytes += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const auto& p : paths) {
        std::memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

// Reads the dialog template's words as the resource holds them.
struct TemplateReader {
    const uint8_t* at;
    uint16_t word() {
        uint16_t v;
        std::memcpy(&v, at, 2);
        at += 2;
        return v;
    }
    uint32_t dword() {
        uint32_t v;
        std::memcpy(&v, at, 4);
        at += 4;
        return v;
    }
    std::wstring text() {  // a string, or an ordinal shown as "#n"
        if (word() == 0xFFFF) return L"#" + std::to_wstring(word());
        at -= 2;
        std::wstring s;
        while (uint16_t c = word()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    void align() { at = reinterpret_cast<const uint8_t*>((reinterpret_cast<uintptr_t>(at) + 3) & ~uintptr_t(3)); }
};

TEST(DropWindowResources, TemplatePictureAndIconAreTheProgramsOwn) {
    const HMODULE self = GetModuleHandleA(nullptr);
    const HRSRC dialog = FindResourceExA(self, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(IDD_DROPWINDOW),
                                         kFrench);
    ASSERT_NE(dialog, nullptr) << "the dialog carries language 1036";
    TemplateReader r{static_cast<const uint8_t*>(LockResource(LoadResource(self, dialog)))};
    EXPECT_EQ(r.word(), 1);       // dlgVer
    EXPECT_EQ(r.word(), 0xFFFF);  // an extended template
    EXPECT_EQ(r.dword(), 0u);     // help id
    EXPECT_EQ(r.dword(), 0x10u) << "WS_EX_ACCEPTFILES";
    EXPECT_EQ(r.dword(), 0x80CA00C8u);
    ASSERT_EQ(r.word(), 4) << "four controls";
    EXPECT_EQ(r.word(), 0);
    EXPECT_EQ(r.word(), 0);
    EXPECT_EQ(r.word(), 192);
    EXPECT_EQ(r.word(), 151);
    EXPECT_EQ(r.text(), L"");  // no menu
    EXPECT_EQ(r.text(), L"");  // the standard class
    EXPECT_EQ(r.text(), L"Tevlin");
    EXPECT_EQ(r.word(), 8);
    EXPECT_EQ(r.word(), 400);
    EXPECT_EQ(r.word() & 0xFF, 0);  // not italic; character set in the high byte
    EXPECT_EQ(r.text(), L"MS Shell Dlg");
    const struct {
        uint32_t id, style, exStyle;
        int16_t x, y, cx, cy;
        std::wstring cls, text;
    } controls[] = {
        {IDC_PROGRESS, 0x50800000u, 0, 30, 94, 133, 14, L"msctls_progress32", L""},
        {IDC_STATUS, 0x50020001u, 0, 31, 112, 130, 11, L"#130", L"Static"},
        {IDC_WEBLINK, 0x50020001u, 0, 26, 132, 140, 11, L"#130", L"" TEVLIN_WEB_ADDRESS},
        {IDC_PICTURE, 0x50800A0Eu, 0x20, 7, 7, 177, 75, L"#130", L"#106"},
    };
    for (const auto& c : controls) {
        r.align();
        EXPECT_EQ(r.dword(), 0u) << c.id;  // help id
        EXPECT_EQ(r.dword(), c.exStyle) << c.id;
        EXPECT_EQ(r.dword(), c.style) << c.id;
        EXPECT_EQ(static_cast<int16_t>(r.word()), c.x) << c.id;
        EXPECT_EQ(static_cast<int16_t>(r.word()), c.y) << c.id;
        EXPECT_EQ(static_cast<int16_t>(r.word()), c.cx) << c.id;
        EXPECT_EQ(static_cast<int16_t>(r.word()), c.cy) << c.id;
        EXPECT_EQ(r.dword(), c.id);
        // The class may be named (in any case) or given by its atom, 0x82 for a static.
        std::wstring cls = r.text();
        for (wchar_t& ch : cls) ch = static_cast<wchar_t>(towlower(ch));
        if (cls == L"static") cls = L"#130";
        EXPECT_EQ(cls, c.cls) << c.id;
        EXPECT_EQ(r.text(), c.text) << c.id;
        r.at += r.word();  // creation data
    }
    // The picture: 266 x 122, 24 bits.
    const HRSRC bitmap = FindResourceExA(self, MAKEINTRESOURCEA(2) /* RT_BITMAP */, MAKEINTRESOURCEA(IDB_DROPHINT),
                                         kFrench);
    ASSERT_NE(bitmap, nullptr);
    const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(self, bitmap)));
    EXPECT_EQ(info->biWidth, 266);
    EXPECT_EQ(info->biHeight, 122);
    EXPECT_EQ(info->biBitCount, 24);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
    // The icon group: 128, 48, 32, 24 and 16 pixels, 32 bits each.
    const HRSRC group = FindResourceExA(self, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(IDI_TEVLIN),
                                        kFrench);
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(self, group)));
    uint16_t count;
    std::memcpy(&count, dir + 4, 2);
    ASSERT_EQ(count, 5);
    const int sizes[] = {128, 48, 32, 24, 16};
    for (int i = 0; i < 5; ++i) {
        const uint8_t* entry = dir + 6 + 14 * i;
        uint16_t bits;
        std::memcpy(&bits, entry + 6, 2);
        EXPECT_EQ(entry[0], sizes[i]);
        EXPECT_EQ(bits, 32);
    }
}

class DropWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateDropWindow();
        ASSERT_NE(window_, nullptr);
        g_bJobPending = g_bQuit = false;
        g_szFileName[0] = '\0';
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    HWND window_ = nullptr;
};

TEST_F(DropWindow, StartsEmptyAndCentred) {
    char status[64] = "x";
    GetDlgItemTextA(window_, IDC_STATUS, status, sizeof status);
    EXPECT_STREQ(status, "") << "the template's \"Static\" is cleared";
    EXPECT_EQ(SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_GETPOS, 0, 0), 0);
    RECT r;
    GetWindowRect(window_, &r);
    const POINT at = CentredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), r.right - r.left,
                                     r.bottom - r.top);
    EXPECT_EQ(r.left, at.x);
    EXPECT_EQ(r.top, at.y);
    EXPECT_EQ(CentredPosition(1024, 768, 291, 200).x, 366);
    EXPECT_EQ(CentredPosition(1024, 768, 1025, 200).x, 0) << "truncated toward zero, not -1";
    SetProgress(window_, 42);
    EXPECT_EQ(SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_GETPOS, 0, 0), 42);
    SetStatusText(window_, "Frame 7");
    GetDlgItemTextA(window_, IDC_STATUS, status, sizeof status);
    EXPECT_STREQ(status, "Frame 7");
}

TEST_F(DropWindow, ADropTakesTheFirstPathOnly) {
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\a\\one.swf", "C:\\b.swf", "C:\\c.swf"})),
                 0);
    EXPECT_STREQ(g_szFileName, "C:\\a\\one.swf");
    EXPECT_TRUE(g_bJobPending);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"D:\\two.swf"})), 0);
    EXPECT_STREQ(g_szFileName, "D:\\two.swf") << "a later drop replaces the pending one";
    // A path too long for the slot is refused whole, not cut into another file's name.
    g_bJobPending = false;
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\" + std::string(300, 'x') + ".swf"})),
                 0);
    EXPECT_FALSE(g_bJobPending);
    EXPECT_STREQ(g_szFileName, "D:\\two.swf");
    // A drop of nothing.
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({})), 0);
    EXPECT_FALSE(g_bJobPending);
}

TEST_F(DropWindow, EscapeDoesNothingAndClosingSetsTheQuitFlag) {
    ShowWindow(window_, SW_SHOWNORMAL);
    SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(g_hActiveDlg, window_);
    // Escape and Enter arrive as commands 2 and 1: ignored.
    MSG key{window_, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    IsDialogMessageA(window_, &key);
    SendMessageA(window_, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(window_, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(g_bQuit);
    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(g_hActiveDlg, nullptr);
    SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(g_bQuit);
    EXPECT_FALSE(IsWindowVisible(window_)) << "EndDialog hides it";
}

// What a window-procedure hook sees as the label is destroyed, after its own WM_DESTROY.
HWND g_watched = nullptr;
HFONT g_underline = nullptr;
bool g_propertiesGone = false, g_fontDeleted = false;
LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code >= 0 && m->hwnd == g_watched && m->message == WM_NCDESTROY) {
        g_propertiesGone = GetPropA(m->hwnd, kHyperlinkOriginalProc) == nullptr &&
                           GetPropA(m->hwnd, kHyperlinkOriginalFont) == nullptr &&
                           GetPropA(m->hwnd, kHyperlinkUnderlineFont) == nullptr &&
                           GetPropA(m->hwnd, kHyperlinkFromStatic) == nullptr;
        g_fontDeleted = GetObjectType(g_underline) == 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(DropWindow, LinkIsBlueUnderlinedUnderThePointerAndLeavesNothingBehind) {
    const HWND link = GetDlgItem(window_, IDC_WEBLINK);
    const HWND status = GetDlgItem(window_, IDC_STATUS);
    EXPECT_NE(GetPropA(link, kHyperlinkFromStatic), nullptr);
    EXPECT_NE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY, 0);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window_, GWLP_WNDPROC)), HyperlinkParentProc);
    // A second label on the same dialog leaves the dialog's stored procedure alone.
    const auto stored = GetPropA(window_, kHyperlinkOriginalProc);
    InstallHyperlinkLabel(status);
    EXPECT_EQ(GetPropA(window_, kHyperlinkOriginalProc), stored);
    EXPECT_NE(reinterpret_cast<WNDPROC>(stored), HyperlinkParentProc);
    RemovePropA(status, kHyperlinkFromStatic);  // the status line is no link again for the colour check

    // Colours: the link's text blue, the status line's not.
    const HDC dc = GetDC(window_);
    SetTextColor(dc, 0);
    SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(GetTextColor(dc), kHyperlinkColor);
    SetTextColor(dc, 0x000102);
    SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(status));
    EXPECT_NE(GetTextColor(dc), kHyperlinkColor);
    ReleaseDC(window_, dc);

    // The pointer comes in: underlined, captured; moves inside change nothing; out: undone.
    const auto original = reinterpret_cast<HFONT>(GetPropA(link, kHyperlinkOriginalFont));
    g_underline = reinterpret_cast<HFONT>(GetPropA(link, kHyperlinkUnderlineFont));
    ASSERT_NE(g_underline, nullptr);
    LOGFONTA lf{};
    GetObjectA(g_underline, sizeof lf, &lf);
    EXPECT_EQ(lf.lfUnderline, 1);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(GetCapture(), link);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), g_underline);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(GetCapture(), link);
    RECT r;
    GetClientRect(link, &r);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(r.right + 20, 2));
    EXPECT_NE(GetCapture(), link);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), original);
    // The hand over the label.
    EXPECT_EQ(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    // A click reaches the dialog as its command; the label itself opens nothing.
    EXPECT_EQ(GetDlgCtrlID(link), IDC_WEBLINK);

    g_watched = link;
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
    DestroyWindow(window_);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(g_propertiesGone);
    EXPECT_TRUE(g_fontDeleted);
}

}  // namespace
