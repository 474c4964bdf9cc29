// TextField and TextFormat. A text field is the host's, reached by handle like a clip; its
// properties are accessors on TextField.prototype that ask the host, as the reference players
// have them (so for-in on a field does not list them). A TextFormat is a plain object whose
// fields are null until given.
#include <cmath>
#include <utility>

#include "avm1/globals/globals.h"

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

// Its fields in the reference players' order; the constructor's arguments give the first
// thirteen in another order (kConstructorOrder).
constexpr const char* kFormatFields[] = {"font",   "size",       "color",       "url",    "target",
                                         "bold",   "italic",     "underline",   "align",  "leftMargin",
                                         "rightMargin", "indent", "leading",    "blockIndent", "bullet",
                                         "kerning", "letterSpacing", "tabStops", "display"};

Value ConstructFormat(Machine& m, const Value& self, std::vector<Value>& args) {
    if (self.type() != Type::kObject) return self;
    size_t i = 0;
    for (const char* name : kFormatFields) {
        Value v = i < 13 ? Argument(args, i) : Value();
        if (v.isUndefined()) v = std::string_view(name) == "display" ? Value::String("block") : Value::Null();
        m.setMember(self, name, v);
        ++i;
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

// setTextFormat([begin, [end,]] format) and setNewTextFormat(format): the field keeps one
// format for all its text, so both set it.
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
    {"setNewTextFormat", SetTextFormat},
    {"getTextFormat", GetTextFormat},
    {"getNewTextFormat", GetTextFormat},
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
    DefineClass(m, "TextFormat", ConstructFormat, b.textFormat, {});
    DefineMethods(m, b.movieClip, kClipMethods);
}

}  // namespace avm1
