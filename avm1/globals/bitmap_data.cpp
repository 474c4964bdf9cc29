// flash.display.BitmapData: pixels scripts make, read, fill and copy, shown in clips through
// attachBitmap. The pixels are kept premultiplied as the reference players keep them, so a
// translucent colour reads back as they give it.
#include <algorithm>
#include <cmath>
#include <deque>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

uint32_t Premultiply(uint32_t argb, bool transparent) {
    const uint32_t a = transparent ? argb >> 24 : 255;
    if (a == 255) return argb | 0xFF000000u;
    if (a == 0) return 0;
    const auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale(argb >> 16 & 255) << 16 | scale(argb >> 8 & 255) << 8 | scale(argb & 255);
}

uint32_t Unpremultiply(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 255 || a == 0) return p;
    const auto scale = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return a << 24 | scale(p >> 16 & 255) << 16 | scale(p >> 8 & 255) << 8 | scale(p & 255);
}

// Source over destination, both premultiplied.
uint32_t Over(uint32_t d, uint32_t s) {
    const uint32_t inverse = 255 - (s >> 24);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        out |= std::min<uint32_t>((s >> shift & 255) + ((d >> shift & 255) * inverse + 127) / 255, 255) << shift;
    }
    return out;
}

// A colour argument as the 32 bits the file would hold.
uint32_t ColorArgument(Machine& m, const Value& v) {
    const double n = m.toNumber(v);
    if (!std::isfinite(n)) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(std::trunc(n), 4294967296.0)));
}

// The bitmap of a BitmapData that is not disposed, or null.
ScriptBitmap* BitmapOf(Machine& m, const Value& self) {
    Object* o = SelfObject(m, self);
    return o != nullptr ? o->bitmap.get() : nullptr;
}

// A rectangle argument in whole pixels: x, y, width, height; false for what has none.
bool RectArgument(Machine& m, const Value& v, int64_t (&r)[4]) {
    if (v.type() != Type::kObject) return false;
    const char* names[] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        const double n = m.toNumber(m.getMember(v, names[i]));
        if (std::isnan(n)) return false;
        r[i] = static_cast<int64_t>(std::clamp(std::trunc(n), -1e9, 1e9));
    }
    return true;
}

// A rectangle cut to the bitmap: false when nothing is left.
bool Clip(const ScriptBitmap& b, int64_t (&r)[4]) {
    const int64_t x0 = std::max<int64_t>(r[0], 0), y0 = std::max<int64_t>(r[1], 0);
    const int64_t x1 = std::min<int64_t>(r[0] + r[2], b.width), y1 = std::min<int64_t>(r[1] + r[3], b.height);
    if (x1 <= x0 || y1 <= y0) return false;
    r[0] = x0, r[1] = y0, r[2] = x1 - x0, r[3] = y1 - y0;
    return true;
}

// The largest bitmap a movie may make: 2880 pixels a side before version 10; from it 8191 a
// side and fewer than 2^24 pixels in all.
bool SizeAllowed(int version, double w, double h) {
    if (!(w >= 1) || !(h >= 1)) return false;
    if (version < 10) return w <= 2880 && h <= 2880;
    return w <= 8191 && h <= 8191 && w * h < 16777216.0;
}

std::shared_ptr<ScriptBitmap> MakeBitmap(Machine& m, int width, int height, bool transparent, uint32_t fill) {
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t);
    if (!m.admitBitmap(bytes)) return nullptr;
    auto b = std::make_shared<ScriptBitmap>();
    b->width = width;
    b->height = height;
    b->transparent = transparent;
    b->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Premultiply(fill, transparent));
    b->budget = m.bitmapBudget();
    *b->budget += bytes;
    return b;
}

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SelfObject(m, self);
    const double w = m.toNumber(Argument(args, 0)), h = m.toNumber(Argument(args, 1));
    if (o == nullptr || !SizeAllowed(m.version(), std::trunc(w), std::trunc(h))) {
        m.failConstruction();
        return Value();
    }
    const bool transparent = args.size() < 3 || m.toBoolean(args[2]);
    const uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : ColorArgument(m, args[3]);
    auto bitmap = MakeBitmap(m, static_cast<int>(w), static_cast<int>(h), transparent, fill);
    if (bitmap == nullptr) {
        m.failConstruction();
        return Value();
    }
    if (Object* again = SelfObject(m, self)) again->bitmap = std::move(bitmap);
    return Value();
}

// What a disposed bitmap answers to nearly everything.
Value Disposed() { return Value::Number(-1); }

template <int Which>
Value Size(Machine& m, const Value& self, std::vector<Value>&) {
    const ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    if (Which == 0) return Value::Number(b->width);
    if (Which == 1) return Value::Number(b->height);
    return Value::Bool(b->transparent);
}

Value Rectangle(Machine& m, const Value& self, std::vector<Value>&) {
    const ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    const Value rectangle = m.getMember(Value::Object(m.builtins().flashPackage), "geom");
    return m.construct(m.getMember(rectangle, "Rectangle"),
                       {Value::Number(0), Value::Number(0), Value::Number(b->width), Value::Number(b->height)});
}

// The pixel at (x, y), or null outside the bitmap.
uint32_t* PixelAt(Machine& m, ScriptBitmap& b, const std::vector<Value>& args) {
    const double x = m.toNumber(Argument(args, 0)), y = m.toNumber(Argument(args, 1));
    if (!(x >= 0 && x < b.width && y >= 0 && y < b.height)) return nullptr;
    return &b.pixels[static_cast<size_t>(y) * static_cast<size_t>(b.width) + static_cast<size_t>(x)];
}

template <bool WithAlpha>
Value GetPixel(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.size() < 2) return Disposed();
    const uint32_t* p = PixelAt(m, *b, args);
    if (p == nullptr) return Value::Number(0);
    const uint32_t c = Unpremultiply(*p);
    return Value::Number(WithAlpha ? static_cast<double>(static_cast<int32_t>(c)) : static_cast<double>(c & 0xFFFFFF));
}

template <bool WithAlpha>
Value SetPixel(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    uint32_t* p = PixelAt(m, *b, args);
    if (p == nullptr || args.size() < 3) return Value();
    uint32_t c = ColorArgument(m, args[2]);
    // setPixel keeps the pixel's alpha.
    if (!WithAlpha) c = (Unpremultiply(*p) & 0xFF000000u) | (c & 0xFFFFFF);
    *p = Premultiply(c, b->transparent);
    return Value();
}

Value FillRect(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    int64_t r[4];
    if (b == nullptr || args.size() < 2 || !RectArgument(m, args[0], r)) return Value();
    const uint32_t c = Premultiply(ColorArgument(m, args[1]), b->transparent);
    if (!Clip(*b, r)) return Value();
    for (int64_t y = r[1]; y < r[1] + r[3]; ++y) {
        std::fill_n(b->pixels.data() + static_cast<size_t>(y * b->width + r[0]), static_cast<size_t>(r[2]), c);
    }
    return Value();
}

Value Clone(Machine& m, const Value& self, std::vector<Value>&) {
    const ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    auto copy = MakeBitmap(m, b->width, b->height, b->transparent, 0);
    const Object* o = SelfObject(m, self);
    if (copy == nullptr || o == nullptr) return Value();
    copy->pixels = b->pixels;
    const ObjectHandle made = m.newObject(o->prototype);
    Object* c = m.heap().get(made);
    if (c == nullptr) return Value();
    c->bitmap = std::move(copy);
    return Value::Object(made);
}

Value Dispose(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = SelfObject(m, self);
    if (o == nullptr || o->bitmap == nullptr) return Disposed();
    // The pixels go; a clip showing them shows nothing from now on.
    o->bitmap->pixels.clear();
    o->bitmap->pixels.shrink_to_fit();
    *o->bitmap->budget -= static_cast<size_t>(o->bitmap->width) * static_cast<size_t>(o->bitmap->height) * sizeof(uint32_t);
    o->bitmap->budget.reset();
    o->bitmap->width = o->bitmap->height = 0;
    o->bitmap.reset();
    return Value();
}

// copyPixels(source, rect, point[, alphaBitmap, alphaPoint, mergeAlpha]): the source's pixels
// in `rect` to `point`, replacing what is there, or over it with mergeAlpha.
Value CopyPixels(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    const ScriptBitmap* source = args.empty() ? nullptr : BitmapOf(m, args[0]);
    int64_t r[4];
    if (source == nullptr || args.size() < 3 || !RectArgument(m, args[1], r) || args[2].type() != Type::kObject) return Value();
    const double px = m.toNumber(m.getMember(args[2], "x")), py = m.toNumber(m.getMember(args[2], "y"));
    if (std::isnan(px) || std::isnan(py)) return Value();
    // Merging is for a transparent bitmap: an opaque one takes the source's colour as stored.
    const bool merge = args.size() >= 6 && m.toBoolean(args[5]) && b->transparent;
    // The source rectangle cut to the source, the destination moved with it and cut too.
    int64_t dx = static_cast<int64_t>(std::clamp(std::trunc(px), -1e9, 1e9)), dy = static_cast<int64_t>(std::clamp(std::trunc(py), -1e9, 1e9));
    const int64_t sx0 = r[0], sy0 = r[1];
    if (!Clip(*source, r)) return Value();
    dx += r[0] - sx0;
    dy += r[1] - sy0;
    std::vector<uint32_t> copy;  // the source may be this bitmap
    copy.reserve(static_cast<size_t>(r[2] * r[3]));
    for (int64_t y = 0; y < r[3]; ++y) {
        for (int64_t x = 0; x < r[2]; ++x) copy.push_back(source->pixels[static_cast<size_t>((r[1] + y) * source->width + r[0] + x)]);
    }
    for (int64_t y = 0; y < r[3]; ++y) {
        const int64_t ty = dy + y;
        if (ty < 0 || ty >= b->height) continue;
        for (int64_t x = 0; x < r[2]; ++x) {
            const int64_t tx = dx + x;
            if (tx < 0 || tx >= b->width) continue;
            uint32_t s = copy[static_cast<size_t>(y * r[2] + x)];
            uint32_t& d = b->pixels[static_cast<size_t>(ty * b->width + tx)];
            if (merge) s = Over(d, s);
            // An opaque bitmap takes the colour as it is stored, its alpha dropped.
            d = b->transparent ? s : (s | 0xFF000000u);
        }
    }
    return Value();
}

// floodFill(x, y, color): the 4-connected area of the pixel's colour takes the new one.
Value FloodFill(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    uint32_t* start = PixelAt(m, *b, args);
    if (start == nullptr || args.size() < 3) return Value();
    const uint32_t from = *start, to = Premultiply(ColorArgument(m, args[2]), b->transparent);
    if (from == to) return Value();
    std::deque<std::pair<int, int>> todo;
    const auto index = static_cast<size_t>(start - b->pixels.data());
    todo.emplace_back(static_cast<int>(index % static_cast<size_t>(b->width)), static_cast<int>(index / static_cast<size_t>(b->width)));
    while (!todo.empty()) {
        const auto [x, y] = todo.front();
        todo.pop_front();
        if (x < 0 || y < 0 || x >= b->width || y >= b->height) continue;
        uint32_t& p = b->pixels[static_cast<size_t>(y) * static_cast<size_t>(b->width) + static_cast<size_t>(x)];
        if (p != from) continue;
        p = to;
        todo.emplace_back(x + 1, y);
        todo.emplace_back(x - 1, y);
        todo.emplace_back(x, y + 1);
        todo.emplace_back(x, y - 1);
    }
    return Value();
}

// scroll(dx, dy): the pixels move; what they leave keeps its old pixels.
Value Scroll(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr) return Disposed();
    const double fx = m.toNumber(Argument(args, 0)), fy = m.toNumber(Argument(args, 1));
    const int64_t dx = std::isfinite(fx) ? static_cast<int64_t>(std::clamp(std::trunc(fx), -1e9, 1e9)) : 0;
    const int64_t dy = std::isfinite(fy) ? static_cast<int64_t>(std::clamp(std::trunc(fy), -1e9, 1e9)) : 0;
    const std::vector<uint32_t> old = b->pixels;
    for (int64_t y = 0; y < b->height; ++y) {
        const int64_t sy = y - dy;
        if (sy < 0 || sy >= b->height) continue;
        for (int64_t x = 0; x < b->width; ++x) {
            const int64_t sx = x - dx;
            if (sx >= 0 && sx < b->width) b->pixels[static_cast<size_t>(y * b->width + x)] = old[static_cast<size_t>(sy * b->width + sx)];
        }
    }
    return Value();
}

// colorTransform(rect, transform): each pixel of the rectangle through the transform, on its
// unpremultiplied colour.
Value ColorTransformPixels(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.size() < 2) return Disposed();
    int64_t r[4];
    // The transform must be a ColorTransform: an object with its fields is not.
    const Value geom = m.getMember(Value::Object(m.builtins().flashPackage), "geom");
    if (!RectArgument(m, args[0], r) || !m.instanceOf(args[1], m.getMember(geom, "ColorTransform"))) return Disposed();
    double t[8];
    const char* names[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                           "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    for (int i = 0; i < 8; ++i) {
        t[i] = m.toNumber(m.getMember(args[1], names[i]));
        if (!std::isfinite(t[i])) t[i] = 0;
    }
    if (!Clip(*b, r)) return Value();
    for (int64_t y = r[1]; y < r[1] + r[3]; ++y) {
        for (int64_t x = r[0]; x < r[0] + r[2]; ++x) {
            uint32_t& p = b->pixels[static_cast<size_t>(y * b->width + x)];
            const uint32_t c = Unpremultiply(p);
            const auto channel = [&](int shift, int i) {
                return static_cast<uint32_t>(std::clamp(std::trunc((c >> shift & 255) * t[i] + t[i + 4]), 0.0, 255.0)) << shift;
            };
            p = Premultiply(channel(16, 0) | channel(8, 1) | channel(0, 2) | channel(24, 3), b->transparent);
        }
    }
    return Value();
}

// getColorBoundsRect(mask, color[, findColor]): the smallest rectangle holding every pixel
// whose masked colour is (or, findColor false, is not) the colour.
Value GetColorBoundsRect(Machine& m, const Value& self, std::vector<Value>& args) {
    const ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.size() < 2) return Disposed();
    const uint32_t mask = ColorArgument(m, args[0]), color = ColorArgument(m, args[1]);
    const bool find = args.size() < 3 || m.toBoolean(args[2]);
    // The reference players count the far corner from 0: a match at (0, 0) alone finds nothing.
    int x0 = b->width, y0 = b->height, x1 = 0, y1 = 0;
    for (int y = 0; y < b->height; ++y) {
        for (int x = 0; x < b->width; ++x) {
            const uint32_t c = Unpremultiply(b->pixels[static_cast<size_t>(y) * static_cast<size_t>(b->width) + static_cast<size_t>(x)]);
            if (((c & mask) == color) != find) continue;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    }
    const Value rectangle = m.getMember(m.getMember(Value::Object(m.builtins().flashPackage), "geom"), "Rectangle");
    if (x1 == 0 && y1 == 0) return m.construct(rectangle, {Value::Number(0), Value::Number(0), Value::Number(0), Value::Number(0)});
    return m.construct(rectangle, {Value::Number(x0), Value::Number(y0), Value::Number(x1 - x0 + 1), Value::Number(y1 - y0 + 1)});
}

// copyChannel(source, rect, point, sourceChannel, destChannel): one channel (1 red, 2 green,
// 4 blue, 8 alpha) of the source's pixels into one channel of these.
Value CopyChannel(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.size() < 5) return Disposed();
    const ScriptBitmap* source = BitmapOf(m, args[0]);
    int64_t r[4];
    if (source == nullptr || !RectArgument(m, args[1], r) || args[2].type() != Type::kObject) return Value();
    const auto shiftOf = [](double channel) {
        return channel == 1 ? 16 : channel == 2 ? 8 : channel == 4 ? 0 : channel == 8 ? 24 : -1;
    };
    const int from = shiftOf(m.toNumber(args[3])), to = shiftOf(m.toNumber(args[4]));
    const double px = m.toNumber(m.getMember(args[2], "x")), py = m.toNumber(m.getMember(args[2], "y"));
    if (from < 0 || to < 0 || std::isnan(px) || std::isnan(py)) return Value();
    const int64_t sx0 = r[0], sy0 = r[1];
    if (!Clip(*source, r)) return Value();
    const int64_t dx = static_cast<int64_t>(std::clamp(std::trunc(px), -1e9, 1e9)) + r[0] - sx0;
    const int64_t dy = static_cast<int64_t>(std::clamp(std::trunc(py), -1e9, 1e9)) + r[1] - sy0;
    std::vector<uint32_t> values;  // the source may be this bitmap
    for (int64_t y = 0; y < r[3]; ++y) {
        for (int64_t x = 0; x < r[2]; ++x) {
            values.push_back(Unpremultiply(source->pixels[static_cast<size_t>((r[1] + y) * source->width + r[0] + x)]) >> from & 255);
        }
    }
    for (int64_t y = 0; y < r[3]; ++y) {
        for (int64_t x = 0; x < r[2]; ++x) {
            const int64_t tx = dx + x, ty = dy + y;
            if (tx < 0 || ty < 0 || tx >= b->width || ty >= b->height) continue;
            uint32_t& p = b->pixels[static_cast<size_t>(ty * b->width + tx)];
            const uint32_t c = Unpremultiply(p);
            p = Premultiply((c & ~(255u << to)) | values[static_cast<size_t>(y * r[2] + x)] << to, b->transparent);
        }
    }
    return Value();
}

// noise(seed[, low, high, channels, grayScale]): every pixel's chosen channels (1 red, 2
// green, 4 blue, 8 alpha) drawn between low and high from a sequence the seed starts; the
// others 0, alpha opaque when not chosen. Gray scale gives red, green and blue one value.
Value Noise(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.empty()) return Disposed();
    const auto integer = [&](size_t i, double otherwise) {
        const double n = i < args.size() ? m.toNumber(args[i]) : otherwise;
        return std::isfinite(n) ? std::trunc(n) : 0.0;
    };
    const uint32_t low = static_cast<uint32_t>(std::clamp(integer(1, 0), 0.0, 255.0));
    const uint32_t high = std::max(low, static_cast<uint32_t>(std::clamp(integer(2, 255), 0.0, 255.0)));
    const uint32_t channels = static_cast<uint32_t>(static_cast<int64_t>(integer(3, 7)) & 15);
    const bool gray = args.size() > 4 && m.toBoolean(args[4]);
    // The minimal standard generator (16807 mod 2^31 - 1).
    uint64_t state = static_cast<uint64_t>(std::fmod(std::abs(integer(0, 0)), 2147483646.0)) + 1;
    const auto next = [&]() {
        state = state * 16807 % 2147483647;
        return low + static_cast<uint32_t>(state % (high - low + 1));
    };
    for (uint32_t& p : b->pixels) {
        uint32_t c = 0;
        if (gray) {
            const uint32_t v = next();
            c = v << 16 | v << 8 | v;
        } else {
            for (const auto& [bit, shift] : {std::pair{1u, 16}, std::pair{2u, 8}, std::pair{4u, 0}}) {
                if ((channels & bit) != 0) c |= next() << shift;
            }
        }
        c |= ((channels & 8) != 0 ? next() : 255u) << 24;
        p = Premultiply(c, b->transparent);
    }
    return Value();
}

// draw(source[, matrix, colorTransform, blendMode, clipRect, smoothing]): a clip as it draws
// itself (its own place left out), or another BitmapData, laid over these pixels.
Value Draw(Machine& m, const Value& self, std::vector<Value>& args) {
    ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.empty()) return Disposed();
    double t[6] = {1, 0, 0, 1, 0, 0};
    if (args.size() > 1 && args[1].type() == Type::kObject) {
        const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i) t[i] = m.toNumber(m.getMember(args[1], names[i]));
    }
    const swf::ColorTransform cx = args.size() > 2 && args[2].type() == Type::kObject ? ColorTransformFields(m, args[2]) : swf::ColorTransform();
    int64_t clip[4];
    const bool clipped = args.size() > 4 && RectArgument(m, args[4], clip);
    const bool smoothing = args.size() > 5 && m.toBoolean(args[5]);
    if (const uint32_t c = ClipOf(m, args[0])) {
        m.host().drawClip(*b, c, t, cx, clipped ? clip : nullptr, smoothing);
        return Value();
    }
    // Another bitmap: its pixels moved by the matrix's translation, laid over these.
    const ScriptBitmap* source = BitmapOf(m, args[0]);
    if (source == nullptr) return Value();
    const std::vector<uint32_t> pixels = source->pixels;
    const int64_t dx = static_cast<int64_t>(std::isfinite(t[4]) ? std::clamp(std::round(t[4]), -1e9, 1e9) : 0);
    const int64_t dy = static_cast<int64_t>(std::isfinite(t[5]) ? std::clamp(std::round(t[5]), -1e9, 1e9) : 0);
    for (int64_t y = 0; y < source->height; ++y) {
        for (int64_t x = 0; x < source->width; ++x) {
            const int64_t tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= b->width || ty >= b->height) continue;
            if (clipped && (tx < clip[0] || ty < clip[1] || tx >= clip[0] + clip[2] || ty >= clip[1] + clip[3])) continue;
            uint32_t& d = b->pixels[static_cast<size_t>(ty * b->width + tx)];
            const uint32_t out = Over(d, pixels[static_cast<size_t>(y * source->width + x)]);
            d = b->transparent ? out : out | 0xFF000000u;
        }
    }
    return Value();
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject): with a point, whether the pixel
// there (the bitmap placed at the first point) is at least that opaque. Other second objects (rectangles, bitmaps) are not built.
Value HitTest(Machine& m, const Value& self, std::vector<Value>& args) {
    const ScriptBitmap* b = BitmapOf(m, self);
    if (b == nullptr || args.size() < 3 || args[0].type() != Type::kObject || args[2].type() != Type::kObject) return Disposed();
    const Value& second = args[2];
    if (BitmapOf(m, second) != nullptr || m.getMember(second, "width").type() == Type::kNumber) {
        m.unsupported("BitmapData.hitTest of a rectangle or a bitmap");
        return Disposed();
    }
    const double x = std::trunc(m.toNumber(m.getMember(second, "x")) - m.toNumber(m.getMember(args[0], "x")));
    const double y = std::trunc(m.toNumber(m.getMember(second, "y")) - m.toNumber(m.getMember(args[0], "y")));
    if (!(x >= 0 && x < b->width && y >= 0 && y < b->height)) return Value::Bool(false);
    const double threshold = m.toNumber(args[1]);
    const uint32_t alpha = b->pixels[static_cast<size_t>(y) * static_cast<size_t>(b->width) + static_cast<size_t>(x)] >> 24;
    // A transparent pixel is never hit, whatever the threshold.
    return Value::Bool(alpha != 0 && static_cast<double>(alpha) >= threshold);
}

// What is not built answers as a disposed bitmap does, and says so once.
Value NotBuilt(Machine& m, const Value& self, std::vector<Value>&) {
    if (BitmapOf(m, self) != nullptr) m.unsupported("this BitmapData method");
    return Disposed();
}

// BitmapData.loadBitmap(linkage): a copy of a bitmap the movie exports.
Value LoadBitmap(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    std::shared_ptr<ScriptBitmap> b = m.host().libraryBitmap(m.toString(args[0]));
    if (b == nullptr) return Value();
    const size_t bytes = b->pixels.size() * sizeof(uint32_t);
    if (!m.admitBitmap(bytes)) return Value();
    b->budget = m.bitmapBudget();
    *b->budget += bytes;
    const Value ctor = m.getMember(m.getMember(Value::Object(m.builtins().flashPackage), "display"), "BitmapData");
    const Value proto = m.getMember(ctor, "prototype");
    const ObjectHandle made = m.newObject(proto.type() == Type::kObject ? proto.object() : ObjectHandle{});
    Object* o = m.heap().get(made);
    if (o == nullptr) return Value();
    o->bitmap = std::move(b);
    return Value::Object(made);
}

constexpr NativeMember kMethods[] = {
    {"getPixel", GetPixel<false>},   {"getPixel32", GetPixel<true>}, {"setPixel", SetPixel<false>},
    {"setPixel32", SetPixel<true>},  {"fillRect", FillRect},         {"clone", Clone},
    {"dispose", Dispose},            {"copyPixels", CopyPixels},     {"floodFill", FloodFill},
    {"scroll", Scroll},              {"colorTransform", ColorTransformPixels},
    {"getColorBoundsRect", GetColorBoundsRect}, {"copyChannel", CopyChannel},
    {"applyFilter", NotBuilt},       {"draw", Draw},             {"generateFilterRect", NotBuilt},
    {"hitTest", HitTest},           {"merge", NotBuilt},            {"noise", Noise},
    {"paletteMap", NotBuilt},        {"perlinNoise", NotBuilt},      {"pixelDissolve", NotBuilt},
    {"threshold", NotBuilt},         {"compare", NotBuilt},
};
constexpr NativeMember kStatics[] = {{"loadBitmap", LoadBitmap}};

// MovieClip.attachBitmap(bitmap, depth[, pixelSnapping, smoothing]).
Value AttachBitmap(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.size() < 2) return Value();
    const Object* o = SelfObject(m, args[0]);
    const double depth = m.toNumber(args[1]);
    if (o == nullptr || o->bitmap == nullptr || std::isnan(depth)) return Value();
    m.host().attachBitmap(c, static_cast<int>(std::clamp(depth, -1e9, 1e9)), o->bitmap, args.size() >= 4 && m.toBoolean(args[3]));
    return Value();
}

constexpr NativeMember kClipMethods[] = {{"attachBitmap", AttachBitmap}};

}  // namespace

void InstallBitmapData(Machine& m, Builtins& b) {
    Heap& heap = m.heap();
    const ObjectHandle package = MakePackage(m, b, "display");
    ObjectHandle proto;
    const ObjectHandle ctor = DefineClass(m, "BitmapData", Construct, proto, kMethods, kStatics, package);
    // The channels as copyChannel and noise number them, plain properties of the class.
    if (Object* c = heap.get(ctor)) {
        for (const auto& [name, bit] : {std::pair{"RED_CHANNEL", 1}, std::pair{"GREEN_CHANNEL", 2}, std::pair{"BLUE_CHANNEL", 4},
                                        std::pair{"ALPHA_CHANNEL", 8}}) {
            c->set(name, Value::Number(bit));
        }
    }
    const struct {
        const char* name;
        NativeFunction get;
    } accessors[] = {{"width", Size<0>}, {"height", Size<1>}, {"transparent", Size<2>}, {"rectangle", Rectangle}};
    for (const auto& a : accessors) {
        const Value getter = Value::Object(m.newNative(a.get));
        if (Object* p = heap.get(proto)) {
            p->setAccessor(a.name, getter, Value());
            p->setAttributes(a.name, attribute::kDontEnum);
        }
    }
    DefineMethods(m, b.movieClip, kClipMethods);
}

}  // namespace avm1
