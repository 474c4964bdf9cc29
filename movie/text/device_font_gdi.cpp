// Device fonts on Windows: GDI's font mapper picks the font, GetGlyphOutline reads the
// outlines (quadratic B-splines, y up) at an em of kEmPixels.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "movie/text/glyph_outline.h"

namespace movie {

namespace {

constexpr int kEmPixels = 1024;
constexpr DWORD kMaxOutlineBytes = 1u << 20;  // a glyph's outline larger than this is refused

double FromFixed(const FIXED& f) { return f.value + f.fract / 65536.0; }

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Narrow(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n - 1));
    return s;
}

class GdiFont final : public CachedGlyphFont {
public:
    GdiFont(HDC dc, HFONT font) : dc_(dc), font_(font) {
        TEXTMETRICW tm{};
        HGDIOBJ old = SelectObject(dc_, font_);
        if (GetTextMetricsW(dc_, &tm)) {
            ascent_ = static_cast<float>(tm.tmAscent);
            descent_ = static_cast<float>(tm.tmDescent);
        }
        SelectObject(dc_, old);
    }
    ~GdiFont() override { DeleteObject(font_); }
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    float emUnits() const override { return kEmPixels; }
    float ascent() const override { return ascent_; }
    float descent() const override { return descent_; }

private:
    void load(uint32_t code, Glyph& e) const override {
        if (code > 0xFFFF) return;
        HGDIOBJ old = SelectObject(dc_, font_);
        WORD index = 0;
        const wchar_t ch = static_cast<wchar_t>(code);
        if (GetGlyphIndicesW(dc_, &ch, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR || index == 0xFFFF) {
            SelectObject(dc_, old);
            return;
        }
        MAT2 identity{};
        identity.eM11.value = 1;
        identity.eM22.value = 1;
        GLYPHMETRICS gm{};
        const DWORD size = GetGlyphOutlineW(dc_, code, GGO_NATIVE | GGO_UNHINTED, &gm, 0, nullptr, &identity);
        if (size == GDI_ERROR || size > kMaxOutlineBytes) {
            SelectObject(dc_, old);
            return;
        }
        e.advance = static_cast<float>(gm.gmCellIncX);
        std::vector<uint8_t> buffer(size);
        if (size > 0 && GetGlyphOutlineW(dc_, code, GGO_NATIVE | GGO_UNHINTED, &gm, size, buffer.data(), &identity) ==
                            GDI_ERROR) {
            SelectObject(dc_, old);
            return;
        }
        SelectObject(dc_, old);
        OutlineBuilder builder(true);
        size_t at = 0;
        while (at + sizeof(TTPOLYGONHEADER) <= buffer.size()) {
            TTPOLYGONHEADER header;
            std::memcpy(&header, buffer.data() + at, sizeof header);
            if (header.cb < sizeof header || at + header.cb > buffer.size()) break;
            double px = FromFixed(header.pfxStart.x), py = FromFixed(header.pfxStart.y);
            builder.moveTo(px, py);
            size_t c = at + sizeof header;
            const size_t end = at + header.cb;
            while (c + 4 <= end) {
                WORD type, count;
                std::memcpy(&type, buffer.data() + c, 2);
                std::memcpy(&count, buffer.data() + c + 2, 2);
                const size_t points = c + 4;
                if (points + size_t{count} * sizeof(POINTFX) > end) break;
                std::vector<POINTFX> p(count);
                if (count > 0) std::memcpy(p.data(), buffer.data() + points, size_t{count} * sizeof(POINTFX));
                if (type == TT_PRIM_LINE) {
                    for (const POINTFX& q : p) builder.lineTo(FromFixed(q.x), FromFixed(q.y));
                } else if (type == TT_PRIM_QSPLINE) {
                    // Off-curve points; between two of them lies an implied on-curve midpoint.
                    for (size_t k = 0; k + 1 < p.size(); ++k) {
                        const double cx = FromFixed(p[k].x), cy = FromFixed(p[k].y);
                        double ex = FromFixed(p[k + 1].x), ey = FromFixed(p[k + 1].y);
                        if (k + 2 < p.size()) {
                            ex = (cx + ex) / 2;
                            ey = (cy + ey) / 2;
                        }
                        builder.quadTo(cx, cy, ex, ey);
                    }
                } else if (type == TT_PRIM_CSPLINE) {
                    for (size_t k = 0; k + 2 < p.size(); k += 3) {
                        builder.cubicTo(FromFixed(p[k].x), FromFixed(p[k].y), FromFixed(p[k + 1].x), FromFixed(p[k + 1].y),
                                        FromFixed(p[k + 2].x), FromFixed(p[k + 2].y));
                    }
                }
                c = points + size_t{count} * sizeof(POINTFX);
            }
            builder.close();
            at = end;
        }
        e.shape = std::make_shared<const ShapeGeometry>(builder.finish());
        e.present = true;
    }

    HDC dc_;
    HFONT font_;
    float ascent_ = kEmPixels * 0.8f, descent_ = kEmPixels * 0.2f;
};

class GdiSource final : public DeviceFontSource {
public:
    GdiSource() : dc_(CreateCompatibleDC(nullptr)) {}
    ~GdiSource() override {
        closeFonts();
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    GdiSource(const GdiSource&) = delete;
    GdiSource& operator=(const GdiSource&) = delete;

protected:
    // The face GDI's font mapper chooses for the family.
    std::string pick(const std::string& family, bool bold, bool italic) override {
        HFONT font = create(family, bold, italic);
        if (font == nullptr) return {};
        wchar_t face[LF_FACESIZE] = {};
        HGDIOBJ old = SelectObject(dc_, font);
        const int n = GetTextFaceW(dc_, LF_FACESIZE, face);
        SelectObject(dc_, old);
        DeleteObject(font);
        return n > 0 ? Narrow(face) : std::string();
    }

    std::unique_ptr<GlyphFont> open(const std::string& face, bool bold, bool italic) override {
        HFONT font = create(face, bold, italic);
        if (font == nullptr) return nullptr;
        return std::make_unique<GdiFont>(dc_, font);
    }

private:
    HFONT create(const std::string& family, bool bold, bool italic) const {
        if (dc_ == nullptr) return nullptr;
        LOGFONTW lf{};
        lf.lfHeight = -kEmPixels;  // the em, not the cell
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = italic ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        lf.lfQuality = ANTIALIASED_QUALITY;
        const std::wstring face = Widen(family);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        return CreateFontIndirectW(&lf);
    }

    HDC dc_;
};

}  // namespace

std::unique_ptr<DeviceFontSource> MakeDeviceFontSource() { return std::make_unique<GdiSource>(); }

}  // namespace movie
