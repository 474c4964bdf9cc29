// TextSnapshot: the static text of a clip, taken when the snapshot is made
// (MovieClip.getTextSnapshot), as characters to read, search and select. Its methods take
// an exact number of arguments, as the reference players' do: with too few or too many they
// answer undefined.
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"
#include "avm1/strings.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

TextSnapshotData* SnapshotOf(Machine& m, const Value& self) {
    Object* o = SelfObject(m, self);
    return o != nullptr ? o->textSnapshot.get() : nullptr;
}

// An index argument: whole numbers, NaN as 0, clamped into int range.
int64_t Index(Machine& m, const Value& v) {
    const double n = m.toNumber(v);
    if (std::isnan(n)) return 0;
    return static_cast<int64_t>(std::clamp(std::trunc(n), -1e12, 1e12));
}

// A string of the characters' codes, as the machine keeps strings.
std::string Text(const Machine& m, const std::u32string& chars) {
    std::string out;
    for (char32_t c : chars) {
        if (m.version() >= 6) base::AppendUtf8(out, c);
        else out += static_cast<char>(c);
    }
    return out;
}

// The characters [from, to), with a line break before each that starts a line (but the first).
std::string Range(const Machine& m, const TextSnapshotData& s, size_t from, size_t to, bool lineEndings,
                  const std::vector<bool>* only = nullptr) {
    std::u32string chars;
    bool any = false;
    for (size_t i = from; i < to && i < s.glyphs.size(); ++i) {
        if (only != nullptr && !(*only)[i]) continue;
        if (lineEndings && any && s.glyphs[i].newLine) chars += U'\n';
        chars += s.glyphs[i].code;
        any = true;
    }
    return Text(m, chars);
}

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SelfObject(m, self);
    const uint32_t clip = ClipOf(m, Argument(args, 0));
    if (o != nullptr && clip != 0) {
        auto data = std::make_shared<TextSnapshotData>();
        data->glyphs = m.host().staticText(clip);
        data->selected.assign(data->glyphs.size(), false);
        o->textSnapshot = std::move(data);
    }
    return self;
}

Value GetCount(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || !args.empty()) return Value();
    return Value::Number(static_cast<double>(s->glyphs.size()));
}

// The range getText and the selection methods take: `from` is clamped into the text, and
// `to` (exclusive) at least one past it.
bool Clamp(const TextSnapshotData& s, int64_t from, int64_t to, size_t& outFrom, size_t& outTo) {
    const auto count = static_cast<int64_t>(s.glyphs.size());
    if (count == 0) return false;
    from = std::clamp<int64_t>(from, 0, count - 1);
    to = std::clamp<int64_t>(to, from + 1, count);
    outFrom = static_cast<size_t>(from);
    outTo = static_cast<size_t>(to);
    return true;
}

// getText(from, to[, includeLineEndings])
Value GetText(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() < 2 || args.size() > 3) return Value();
    size_t from = 0, to = 0;
    if (!Clamp(*s, Index(m, args[0]), Index(m, args[1]), from, to)) return Value::String("");
    const bool lineEndings = args.size() == 3 && m.toBoolean(args[2]);
    return Value::String(Range(m, *s, from, to, lineEndings));
}

// findText(start, text, caseSensitive): the index of the first match at or after `start`,
// or -1. The text holds no line breaks, so a search for one finds nothing.
Value FindText(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() != 3) return Value();
    const int64_t start = Index(m, args[0]);
    const std::u32string needle = base::DecodeText(m.toString(args[1]), m.version() >= 6);
    const bool caseSensitive = m.toBoolean(args[2]);
    const auto count = static_cast<int64_t>(s->glyphs.size());
    if (start < 0 || start >= count || needle.empty()) return Value::Number(-1);
    const auto same = [&](char32_t a, char32_t b) { return caseSensitive ? a == b : LowerCase(a) == LowerCase(b); };
    for (size_t at = static_cast<size_t>(start); at + needle.size() <= s->glyphs.size(); ++at) {
        size_t k = 0;
        while (k < needle.size() && same(s->glyphs[at + k].code, needle[k])) ++k;
        if (k == needle.size()) return Value::Number(static_cast<double>(at));
    }
    return Value::Number(-1);
}

// getSelected(from, to): whether any character of the range is selected.
Value GetSelected(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() != 2) return Value();
    size_t from = 0, to = 0;
    if (!Clamp(*s, Index(m, args[0]), Index(m, args[1]), from, to)) return Value::Bool(false);
    for (size_t i = from; i < to; ++i) {
        if (s->selected[i]) return Value::Bool(true);
    }
    return Value::Bool(false);
}

// setSelected(from, to, select)
Value SetSelected(Machine& m, const Value& self, std::vector<Value>& args) {
    TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() != 3) return Value();
    size_t from = 0, to = 0;
    if (!Clamp(*s, Index(m, args[0]), Index(m, args[1]), from, to)) return Value();
    const bool select = m.toBoolean(args[2]);
    for (size_t i = from; i < to; ++i) s->selected[i] = select;
    return Value();
}

// getSelectedText([includeLineEndings])
Value GetSelectedText(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() > 1) return Value();
    const bool lineEndings = !args.empty() && m.toBoolean(args[0]);
    return Value::String(Range(m, *s, 0, s->glyphs.size(), lineEndings, &s->selected));
}

// hitTestTextNearPos(x, y[, closeDistance]): the character whose box (pen position to the
// next, baseline up by its height) lies nearest the point in the clip, within the distance;
// -1 when none does.
Value HitTestTextNearPos(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() < 2 || args.size() > 3) return Value();
    const double x = m.toNumber(args[0]), y = m.toNumber(args[1]);
    const double reach = args.size() == 3 ? std::max(0.0, m.toNumber(args[2])) : 0;
    if (std::isnan(x) || std::isnan(y)) return Value::Number(-1);
    double best = std::isnan(reach) ? 0 : reach;
    int64_t found = -1;
    for (size_t i = 0; i < s->glyphs.size(); ++i) {
        const SnapshotGlyph& g = s->glyphs[i];
        const double x0 = std::min(g.x, g.x + g.width), x1 = std::max(g.x, g.x + g.width);
        const double y0 = std::min(g.y - g.height, g.y), y1 = std::max(g.y - g.height, g.y);
        const double dx = x < x0 ? x0 - x : x > x1 ? x - x1 : 0;
        const double dy = y < y0 ? y0 - y : y > y1 ? y - y1 : 0;
        const double d = std::hypot(dx, dy);
        if (d <= best && (found < 0 || d < best)) {
            best = d;
            found = static_cast<int64_t>(i);
        }
    }
    return Value::Number(static_cast<double>(found));
}

// setSelectColor(rgb): the colour selected characters would be drawn in; nothing is drawn
// selected without input.
Value SetSelectColor(Machine& m, const Value& self, std::vector<Value>& args) {
    if (SnapshotOf(m, self) == nullptr || args.size() != 1) return Value();
    return Value();
}

// getTextRunInfo(from, last): an object for each character of the range with its place, font,
// colour and selection.
Value GetTextRunInfo(Machine& m, const Value& self, std::vector<Value>& args) {
    const TextSnapshotData* s = SnapshotOf(m, self);
    if (s == nullptr || args.size() != 2) return Value();
    std::vector<Value> infos;
    const auto count = static_cast<int64_t>(s->glyphs.size());
    const int64_t from = std::max<int64_t>(Index(m, args[0]), 0);
    const int64_t to = std::min<int64_t>(Index(m, args[1]) + 1, count);
    for (int64_t i = from; i < to; ++i) {
        const SnapshotGlyph& g = s->glyphs[static_cast<size_t>(i)];
        const Value info = Value::Object(m.newObject());
        const auto put = [&](const char* name, double v) { m.setMember(info, name, Value::Number(v)); };
        put("indexInRun", static_cast<double>(i));
        m.setMember(info, "selected", Value::Bool(s->selected[static_cast<size_t>(i)]));
        m.setMember(info, "font", Value::String(g.font));
        put("color", g.color);
        put("height", g.height);
        static const char* const kMatrix[] = {"matrix_a", "matrix_b", "matrix_c", "matrix_d", "matrix_tx", "matrix_ty"};
        for (int k = 0; k < 6; ++k) put(kMatrix[k], g.matrix[k]);
        const double top = g.y - g.height;
        const double corners[8] = {g.x, g.y, g.x + g.width, g.y, g.x + g.width, top, g.x, top};
        static const char* const kCorners[] = {"corner0x", "corner0y", "corner1x", "corner1y",
                                               "corner2x", "corner2y", "corner3x", "corner3y"};
        for (int k = 0; k < 8; ++k) put(kCorners[k], corners[k]);
        infos.push_back(info);
    }
    return Value::Object(m.newArray(std::move(infos)));
}

// MovieClip.getTextSnapshot(): a snapshot by whatever constructor _global.TextSnapshot is now.
Value GetTextSnapshot(Machine& m, const Value& self, std::vector<Value>&) {
    if (ClipOf(m, self) == 0) return Value();
    const Value ctor = m.getMember(Value::Object(m.builtins().global), "TextSnapshot");
    return m.construct(ctor, {self});
}

// In the order the reference players make them (for-in lists them newest first).
constexpr NativeMember kMethods[] = {
    {"getCount", GetCount},
    {"setSelected", SetSelected},
    {"getSelected", GetSelected},
    {"getText", GetText},
    {"getSelectedText", GetSelectedText},
    {"hitTestTextNearPos", HitTestTextNearPos},
    {"findText", FindText},
    {"setSelectColor", SetSelectColor},
    {"getTextRunInfo", GetTextRunInfo},
};

}  // namespace

void InstallTextSnapshot(Machine& m, Builtins& b) {
    ObjectHandle proto;
    DefineClass(m, "TextSnapshot", Construct, proto, {});
    // The methods are listed by for-in, and hidden from version 5 movies.
    for (const NativeMember& member : kMethods) {
        m.heap().get(proto)->set(member.name, Value::Object(m.newNative(member.function)), attribute::kHiddenIn5);
    }
    if (Object* clip = m.heap().get(b.movieClip)) {
        clip->set("getTextSnapshot", Value::Object(m.newNative(GetTextSnapshot)),
                  attribute::kDontEnum | attribute::kHiddenIn5);
    }
}

}  // namespace avm1
