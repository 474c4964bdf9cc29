// TextField and TextFormat. A text field is the host's, reached by handle like a clip; its
// properties are accessors on TextField.prototype that ask the host, as the reference players
// have them (so for-in on a field does not list them). A TextFormat's fields are its own
// accessors, listed by for-in, that convert what is written to each field's kind; they are
// null until given.
#include <cmath>
#include <utility>

#include "avm1/globals/globals.h"
#include "base/names.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

uint32_t FieldOf(Machine& m, const Value& self) {
    const uint32_t c = ClipOf(m, self);
    return c != 0 && m.host().kindOf(c) == ClipKind::kTextField ? c : 0;
}

// The properties the host answers for, in the order the reference players list them.
constexpr const char* kProperties[] = {
    "text", "htmlText", "html", "length", "border", "borderColor", "background", "backgroundColor", "textColor",
    "autoSize", "wordWrap", "multiline", "selectable", "embedFonts", "antiAliasType", "thickness", "sharpness",
    "gridFitType", "scroll", "maxscroll", "bottomScroll", "hscroll", "maxhscroll", "maxChars", "restrict", "password",
    "type", "variable", "condenseWhite", "textWidth", "textHeight", "mouseWheelEnabled", "styleSheet", "tabEnabled",
    "tabIndex", "filters",
};

template <size_t I>
Value Get(Machine& m, const Value& self, std::vector<Value>&) {
    Value out;
    if (const uint32_t f = FieldOf(m, self); f != 0 && m.host().getTextField(f, kProperties[I], out)) return out;
    return Value();
}

template <size_t I>
Value Set(Machine& m, const Value& self, std::vector<Value>& args) {
    if (const uint32_t f = FieldOf(m, self)) m.host().setTextField(f, kProperties[I], Argument(args, 0));
    return Value();
}

template <size_t... I>
void DefineAccessors(Machine& m, ObjectHandle proto, std::index_sequence<I...>) {
    Object* o = m.heap().get(proto);
    ((o->setAccessor(kProperties[I], Value::Object(m.newNative(Get<I>)), Value::Object(m.newNative(Set<I>))),
      o->setAttributes(kProperties[I], attribute::kDontEnum | attribute::kDontDelete)),
     ...);
}

// --- TextFormat ---

// Its fields in the reference players' order, each an accessor on the format that converts
// what is written to the field's kind; unset, a field reads null.
enum class FormatKind { kFont, kString, kInteger, kColor, kBoolean, kAlign, kMargin, kIndent, kNumber, kTabStops, kDisplay };
struct FormatField {
    const char* name;
    FormatKind kind;
};
constexpr FormatField kFormatFields[] = {
    {"font", FormatKind::kFont},         {"size", FormatKind::kInteger},        {"color", FormatKind::kColor},
    {"url", FormatKind::kString},        {"target", FormatKind::kString},       {"bold", FormatKind::kBoolean},
    {"italic", FormatKind::kBoolean},    {"underline", FormatKind::kBoolean},   {"align", FormatKind::kAlign},
    {"leftMargin", FormatKind::kMargin}, {"rightMargin", FormatKind::kMargin},  {"indent", FormatKind::kIndent},
    {"leading", FormatKind::kIndent},    {"blockIndent", FormatKind::kIndent},  {"bullet", FormatKind::kBoolean},
    {"kerning", FormatKind::kBoolean},   {"letterSpacing", FormatKind::kNumber}, {"tabStops", FormatKind::kTabStops},
    {"display", FormatKind::kDisplay},
};
// The constructor's arguments, by index into kFormatFields.
constexpr size_t kConstructorOrder[] = {0, 1, 2, 5, 6, 7, 3, 4, 8, 9, 10, 11, 12};
// Font names are cut to this many characters.
constexpr size_t kMaxFontName = 64;

// A whole number as the reference players convert it: what is no 32-bit integer (NaN, the
// infinities, anything out of range) is -2^31; the rest is rounded to even or truncated.
double FormatInteger(double v, bool round) {
    const double r = round ? std::nearbyint(v) : std::trunc(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return -2147483648.0;
    return r;
}

// What a written value becomes in a field of `kind`; `current` is the field's value now. The
// constructor truncates its numbers and lets margins go below 0; a write rounds them (from
// version 8; it truncates before) and keeps margins, and before version 8 indents too, at 0
// and above.
Value FormatValue(Machine& m, FormatKind kind, const Value& v, const Value& current, bool constructing) {
    if (kind == FormatKind::kDisplay) {
        const std::string s = v.type() == Type::kString ? v.string() : std::string();
        return Value::String(s == "inline" || s == "none" ? s : "block");
    }
    if (v.isUndefined() || v.type() == Type::kNull) return kind == FormatKind::kAlign ? current : Value::Null();
    const bool round = !constructing && m.version() >= 8;
    switch (kind) {
        case FormatKind::kFont: {
            std::string s = m.toString(v);
            const std::u32string chars = base::DecodeText(s, m.version() >= 6, kMaxFontName + 1);
            if (chars.size() > kMaxFontName) {
                s.clear();
                for (size_t i = 0; i < kMaxFontName; ++i) {
                    if (m.version() >= 6) base::AppendUtf8(s, chars[i]);
                    else s += static_cast<char>(chars[i]);
                }
            }
            return Value::String(std::move(s));
        }
        case FormatKind::kString: return Value::String(m.toString(v));
        case FormatKind::kBoolean: return Value::Bool(m.toBoolean(v));
        case FormatKind::kNumber: return Value::Number(m.toNumber(v));
        case FormatKind::kColor: return Value::Number(static_cast<uint32_t>(ToInt32(m.toNumber(v))));
        case FormatKind::kInteger: return Value::Number(FormatInteger(m.toNumber(v), round));
        case FormatKind::kMargin:
        case FormatKind::kIndent: {
            double n = m.toNumber(v);
            const bool floor = !constructing && (kind == FormatKind::kMargin || m.version() < 8);
            if (floor && !(n > 0)) n = 0;
            return Value::Number(FormatInteger(n, round));
        }
        case FormatKind::kAlign: {
            const std::string s = base::LowerCase(m.toString(v));
            if (s == "left" || s == "center" || s == "right" || s == "justify") return Value::String(s);
            return current;  // anything else (null too) leaves the alignment as it was
        }
        case FormatKind::kTabStops: {
            if (v.type() != Type::kObject) return Value::Null();
            const double length = m.toNumber(m.getMember(v, "length"));
            std::vector<Value> stops;
            const double count = std::isfinite(length) && length > 0 ? std::min(length, 1024.0) : 0;
            for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
                stops.push_back(Value::Number(FormatInteger(m.toNumber(m.getMember(v, std::to_string(i))), round)));
            }
            return Value::Object(m.newArray(std::move(stops)));
        }
        case FormatKind::kDisplay: break;
    }
    return Value::Null();
}

Object* FormatOf(Machine& m, const Value& self) {
    Object* o = SelfObject(m, self);
    return o != nullptr && o->slots.size() == std::size(kFormatFields) ? o : nullptr;
}

template <size_t I>
Value GetFormatField(Machine& m, const Value& self, std::vector<Value>&) {
    const Object* o = FormatOf(m, self);
    return o != nullptr ? o->slots[I] : Value();
}

template <size_t I>
Value SetFormatField(Machine& m, const Value& self, std::vector<Value>& args) {
    if (Object* o = FormatOf(m, self)) {
        Value v = FormatValue(m, kFormatFields[I].kind, Argument(args, 0), o->slots[I], false);
        if ((o = FormatOf(m, self)) != nullptr) o->slots[I] = std::move(v);  // a conversion may run scripts
    }
    return Value();
}

template <size_t... I>
void DefineFormatFields(Machine& m, const Value& self, std::index_sequence<I...>) {
    Object* o = SelfObject(m, self);
    if (o == nullptr) return;
    (o->setAccessor(kFormatFields[I].name, Value::Object(m.newNative(GetFormatField<I>)),
                    Value::Object(m.newNative(SetFormatField<I>))),
     ...);
}

Value ConstructFormat(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = SelfObject(m, self);
    if (o == nullptr) return self;
    o->slots.assign(std::size(kFormatFields), Value::Null());
    o->slots.back() = Value::String("block");
    DefineFormatFields(m, self, std::make_index_sequence<std::size(kFormatFields)>());
    for (size_t i = 0; i < std::size(kConstructorOrder) && i < args.size(); ++i) {
        const size_t field = kConstructorOrder[i];
        Value v = FormatValue(m, kFormatFields[field].kind, args[i], Value::Null(), true);
        if (Object* f = FormatOf(m, self)) f->slots[field] = std::move(v);
    }
    return self;
}

std::optional<double> NumberField(Machine& m, const Value& fmt, const char* name) {
    const Value v = m.getMember(fmt, name);
    if (v.isUndefined() || v.type() == Type::kNull) return std::nullopt;
    const double n = m.toNumber(v);
    return std::isnan(n) ? std::nullopt : std::optional<double>(n);
}

std::optional<bool> BoolField(Machine& m, const Value& fmt, const char* name) {
    const Value v = m.getMember(fmt, name);
    if (v.isUndefined() || v.type() == Type::kNull) return std::nullopt;
    return m.toBoolean(v);
}

std::optional<std::string> StringField(Machine& m, const Value& fmt, const char* name) {
    const Value v = m.getMember(fmt, name);
    if (v.isUndefined() || v.type() == Type::kNull) return std::nullopt;
    return m.toString(v);
}

TextFormatFields ReadFormat(Machine& m, const Value& fmt) {
    TextFormatFields f;
    f.font = StringField(m, fmt, "font");
    f.url = StringField(m, fmt, "url");
    f.target = StringField(m, fmt, "target");
    f.align = StringField(m, fmt, "align");
    f.size = NumberField(m, fmt, "size");
    f.color = NumberField(m, fmt, "color");
    f.leftMargin = NumberField(m, fmt, "leftMargin");
    f.rightMargin = NumberField(m, fmt, "rightMargin");
    f.indent = NumberField(m, fmt, "indent");
    f.leading = NumberField(m, fmt, "leading");
    f.blockIndent = NumberField(m, fmt, "blockIndent");
    f.letterSpacing = NumberField(m, fmt, "letterSpacing");
    f.bold = BoolField(m, fmt, "bold");
    f.italic = BoolField(m, fmt, "italic");
    f.underline = BoolField(m, fmt, "underline");
    f.bullet = BoolField(m, fmt, "bullet");
    f.kerning = BoolField(m, fmt, "kerning");
    return f;
}

Value WriteFormat(Machine& m, const TextFormatFields& f) {
    std::vector<Value> none;
    const Value out = Value::Object(m.newObject(m.builtins().textFormat));
    ConstructFormat(m, out, none);
    auto put = [&](const char* name, const auto& field, auto make) {
        if (field) m.setMember(out, name, make(*field));
    };
    const auto str = [](const std::string& s) { return Value::String(s); };
    const auto num = [](double d) { return Value::Number(d); };
    const auto flag = [](bool b) { return Value::Bool(b); };
    put("font", f.font, str);
    put("size", f.size, num);
    put("color", f.color, num);
    put("url", f.url, str);
    put("target", f.target, str);
    put("bold", f.bold, flag);
    put("italic", f.italic, flag);
    put("underline", f.underline, flag);
    put("align", f.align, str);
    put("leftMargin", f.leftMargin, num);
    put("rightMargin", f.rightMargin, num);
    put("indent", f.indent, num);
    put("leading", f.leading, num);
    put("blockIndent", f.blockIndent, num);
    put("bullet", f.bullet, flag);
    put("kerning", f.kerning, flag);
    put("letterSpacing", f.letterSpacing, num);
    m.setMember(out, "tabStops", Value::Object(m.newArray()));
    return out;
}

// getTextExtent(text[, width]): the text's size set in this format, on one line per
// paragraph or wrapped at the width; the field that would hold it is 2 pixels wider each side
// (or the width given) and 2 pixels taller top and bottom. The object has no prototype.
Value GetTextExtent(Machine& m, const Value& self, std::vector<Value>& args) {
    if (FormatOf(m, self) == nullptr) return Value();
    const std::string text = m.toString(Argument(args, 0));
    const Value widthArg = Argument(args, 1);
    const double wrap = widthArg.isUndefined() ? std::nan("") : m.toNumber(widthArg);
    double measured[4] = {0, 0, 0, 0};
    if (!m.host().measureText(ReadFormat(m, self), text, wrap, measured)) return Value();
    const Value out = Value::Object(m.newObject(ObjectHandle{}));
    const auto put = [&](const char* name, double v) { m.setMember(out, name, Value::Number(std::round(v))); };
    put("ascent", measured[2]);
    put("descent", measured[3]);
    put("width", measured[0]);
    put("height", measured[1]);
    put("textFieldHeight", measured[1] + 4);
    put("textFieldWidth", std::isfinite(wrap) && wrap > 0 ? wrap : measured[0] + 4);
    return out;
}

constexpr NativeMember kFormatMethods[] = {
    {"getTextExtent", GetTextExtent},
};

// setTextFormat([begin, [end,]] format): the field keeps one format for all its text, so a
// range sets it too.
Value SetTextFormat(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t f = FieldOf(m, self);
    if (f == 0 || args.empty()) return Value();
    const Value& fmt = args.back();
    if (fmt.type() != Type::kObject || !m.instanceOf(fmt, m.getMember(Value::Object(m.builtins().global), "TextFormat"))) {
        return Value();
    }
    m.host().setTextFormat(f, ReadFormat(m, fmt));
    return Value();
}

Value GetTextFormat(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t f = FieldOf(m, self);
    TextFormatFields fields;
    if (f == 0 || !m.host().textFormat(f, fields)) return Value();
    return WriteFormat(m, fields);
}

// setNewTextFormat(format): the format text put in from now on takes.
Value SetNewTextFormat(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t f = FieldOf(m, self);
    if (f == 0 || args.empty()) return Value();
    const Value& fmt = args.back();
    if (fmt.type() != Type::kObject || !m.instanceOf(fmt, m.getMember(Value::Object(m.builtins().global), "TextFormat"))) {
        return Value();
    }
    m.host().setNewTextFormat(f, ReadFormat(m, fmt));
    return Value();
}

Value GetNewTextFormat(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t f = FieldOf(m, self);
    TextFormatFields fields;
    if (f == 0 || !m.host().newTextFormat(f, fields)) return Value();
    return WriteFormat(m, fields);
}

Value RemoveTextField(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t f = FieldOf(m, self)) m.host().removeClip(f);
    return Value();
}

Value GetDepth(Machine& m, const Value& self, std::vector<Value>&) {
    int depth = 0;
    const uint32_t f = ClipOf(m, self);
    return f != 0 && m.host().depthOf(f, depth) ? Value::Number(depth) : Value();
}

Value ConstructField(Machine&, const Value& self, std::vector<Value>&) { return self; }

constexpr NativeMember kFieldMethods[] = {
    {"setTextFormat", SetTextFormat},
    {"setNewTextFormat", SetNewTextFormat},
    {"getTextFormat", GetTextFormat},
    {"getNewTextFormat", GetNewTextFormat},
    {"removeTextField", RemoveTextField},
    {"getDepth", GetDepth},
};

// MovieClip.createTextField(name, depth, x, y, width, height): the field from version 8 on,
// undefined before.
Value CreateTextField(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.size() < 6) return Value();
    const std::string name = m.toString(args[0]);
    const int depth = ToInt32(m.toNumber(args[1]));
    double box[4];
    for (size_t i = 0; i < 4; ++i) {
        box[i] = m.toNumber(args[i + 2]);
        if (!std::isfinite(box[i])) box[i] = 0;
    }
    const uint32_t field = m.host().createTextField(c, name, depth, box[0], box[1], box[2], box[3]);
    return field != 0 && m.version() >= 8 ? Value::Clip(field) : Value();
}

constexpr NativeMember kClipMethods[] = {
    {"createTextField", CreateTextField},
};

Value ConstructButton(Machine&, const Value& self, std::vector<Value>&) { return self; }

// Button: its depth; its other properties are the clip properties every display object has.
constexpr NativeMember kButtonMethods[] = {
    {"getDepth", GetDepth},
};

void InstallButtonClass(Machine& m, Builtins& b) {
    DefineClass(m, "Button", ConstructButton, b.button, kButtonMethods);
    Object* proto = m.heap().get(b.button);
    proto->set("enabled", Value::Bool(true), attribute::kDontEnum);
    proto->set("useHandCursor", Value::Bool(true), attribute::kDontEnum);
}

}  // namespace

void InstallTextField(Machine& m, Builtins& b) {
    InstallButtonClass(m, b);
    DefineClass(m, "TextField", ConstructField, b.textField, kFieldMethods);
    DefineAccessors(m, b.textField, std::make_index_sequence<std::size(kProperties)>());
    DefineClass(m, "TextFormat", ConstructFormat, b.textFormat, kFormatMethods);
    DefineMethods(m, b.movieClip, kClipMethods);
}

}  // namespace avm1
