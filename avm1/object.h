#pragma once
// Script objects: a property map in the order the properties were made, each with its
// attributes, names compared by the movie version's rule (without case before version 7), and
// a prototype. What makes an object more than a map is a field of its own: the body of a
// function defined by bytecode, a built-in's entry point, an array's elements, the primitive
// a String, Number, Boolean or Date object wraps, the watchers that watch() set.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "avm1/value.h"

namespace avm1 {

class Machine;

// ASSetPropFlags' bits. The higher ones hide a property from movies of some versions, as the
// reference players' own built-ins are hidden.
namespace attribute {
inline constexpr uint16_t kDontEnum = 1, kDontDelete = 2, kReadOnly = 4;
inline constexpr uint16_t kHiddenIn5 = 0x80, kHiddenIn6 = 0x100, kHiddenBelow7 = 0x400, kHiddenBelow8 = 0x1000,
                          kHiddenBelow9 = 0x2000, kHiddenBelow10 = 0x4000;
// The bits that hide a property from a movie of `version`.
uint16_t HiddenFrom(int version);
}

struct Property {
    std::string name;  // as first made
    Value value;
    uint16_t attributes = 0;
    // addProperty: read and written through these functions instead of `value`.
    bool accessor = false;
    uint32_t serial = 0;  // which of its object's properties it is: one made again is another
    Value getter, setter;
};

// A built-in function. `self` is what it was called on (`this`); a constructor called by
// `new` finds the new object there and Machine::constructing() true.
using NativeFunction = Value (*)(Machine& m, const Value& self, std::vector<Value>& args);

// One link of a scope chain. Variables are looked up from the innermost link out; a
// variable set without `var` goes to the first link that has it, or to the target timeline.
struct ScopeEntry {
    enum class Kind : uint8_t { kGlobal, kTarget, kLocal, kWith };
    Value value;  // an object, or a clip for the target timeline and for with(clip)
    Kind kind = Kind::kWith;
};

using SharedPool = std::shared_ptr<const std::vector<std::string>>;

// The body of a function defined by DefineFunction or DefineFunction2.
struct FunctionBody {
    const std::vector<uint8_t>* code = nullptr;  // the block it belongs to; the host keeps it
    size_t begin = 0, end = 0;                   // the function's own actions in `code`
    std::string name;
    std::vector<std::string> parameters;
    std::vector<uint8_t> parameterRegisters;  // DefineFunction2: 0 for a parameter in no register
    bool version2 = false;
    uint8_t registerCount = 0;
    uint16_t flags = 0;                                  // DefineFunction2's preload and suppress flags
    std::vector<ScopeEntry> scope;                       // the scope chain it closes over, innermost last
    SharedPool pool;                                   // the constant pool it was defined under
    uint32_t clip = 0;                                   // the timeline it was defined on
    std::string clipPath;  // its path then: a timeline placed again at that path takes its place
};

// An array element never written (a[9] = x leaves 0 to 8 so): for-in skips it, reads give
// undefined. It is the one clip handle no clip has.
inline Value Hole() { return Value::Clip(0); }
inline bool IsHole(const Value& v) { return v.type() == Type::kClip && v.clip() == 0; }
// Elements as the array methods see them: holes become undefined values of their own.
inline void FillHoles(std::vector<Value>& elements) {
    for (Value& v : elements) {
        if (IsHole(v)) v = Value();
    }
}

// A node of an XML tree (XMLNode and XML objects): its kind, name or text, and its links. The
// tree is the truth; `childArray`, the childNodes array scripts see, follows it.
struct XmlNode {
    static constexpr int kElement = 1, kText = 3;
    int type = kElement;
    std::optional<std::string> name;   // an element's; none for a document and for text
    std::optional<std::string> value;  // a text node's
    ObjectHandle parent;
    std::vector<ObjectHandle> children;
    ObjectHandle attributes;  // an object, its properties in the order they were written
    ObjectHandle childArray;
};

// A BitmapData's pixels: premultiplied ARGB words, rows top first, as the reference players
// keep them (a colour read back is the stored one unpremultiplied). `budget` counts the bytes
// of every live bitmap of the machine; a bitmap gives its bytes back when it goes.
struct ScriptBitmap {
    int width = 0, height = 0;
    bool transparent = true;
    std::vector<uint32_t> pixels;
    std::shared_ptr<size_t> budget;
    ScriptBitmap() = default;
    ScriptBitmap(const ScriptBitmap&) = delete;
    ScriptBitmap& operator=(const ScriptBitmap&) = delete;
    ~ScriptBitmap() {
        if (budget) *budget -= pixels.size() * sizeof(uint32_t);
    }
};

// The static text of a clip as a TextSnapshot holds it: its characters in depth order, each
// with where it lies in the clip (pixels) and how it is drawn. `newLine` marks a character
// that starts a line: the first of a text after another, or of a run on a new baseline.
struct SnapshotGlyph {
    char32_t code = 0;
    bool newLine = false;
    double x = 0, y = 0;  // the pen position on the baseline
    double width = 0, height = 0;
    double matrix[6] = {1, 0, 0, 1, 0, 0};  // the text's transform in the clip: a b c d tx ty
    std::string font;
    uint32_t color = 0;  // RGB
};
struct TextSnapshotData {
    std::vector<SnapshotGlyph> glyphs;
    std::vector<bool> selected;
};

struct Watcher {
    std::string name;
    Value callback, data;
};

class Object {
public:
    // `hidden`: the attribute bits that hide a property from the movie (attribute::HiddenFrom).
    explicit Object(bool caseSensitive, ObjectHandle proto = {}, uint16_t hidden = 0)
        : prototype(proto), caseSensitive_(caseSensitive), hidden_(hidden) {}

    // An own property the movie can see, or null.
    const Property* find(std::string_view name) const;
    Property* find(std::string_view name);
    // Sets an own property, making it (last in the order) when there is none; false when it
    // is read-only or the object holds kMaxProperties. A property hidden from the movie's
    // version is replaced by a plain one in its place.
    bool set(std::string_view name, const Value& value, uint16_t attributes = 0);
    // Makes or replaces an accessor property.
    bool setAccessor(std::string_view name, const Value& getter, const Value& setter);
    // False when there is none or it may not be deleted.
    bool remove(std::string_view name);
    const std::vector<Property>& properties() const { return properties_; }
    // Every own property, hidden ones too (ASSetPropFlags reaches them).
    Property* findAny(std::string_view name);
    const Property* findAny(std::string_view name) const { return const_cast<Object*>(this)->findAny(name); }
    void setAttributes(std::string_view name, uint16_t attributes);
    bool hides(const Property& p) const { return (p.attributes & hidden_) != 0; }
    bool caseSensitive() const { return caseSensitive_; }
    bool isFunction() const { return function.has_value() || native != nullptr; }

    static constexpr size_t kMaxProperties = 1u << 16;

    ObjectHandle prototype;
    std::optional<FunctionBody> function;
    NativeFunction native = nullptr;
    std::optional<std::vector<Value>> elements;  // an array's
    // Elements a write filled after the array was made, with when (the serials properties
    // take): for-in lists them among the properties by that order. The others come first.
    std::unordered_map<size_t, uint32_t> elementSerials;
    uint32_t takeSerial() { return ++nextSerial_; }
    Value primitive;                             // a wrapper's value, a Date's time
    enum class Wraps : uint8_t { kNothing, kString, kNumber, kBoolean, kDate, kSuper } wraps = Wraps::kNothing;
    // A super object: the `this` its calls keep, and the constructor a call of it runs.
    Value superThis, superConstructor;
    std::vector<Watcher> watchers;
    std::optional<XmlNode> xml;
    std::shared_ptr<ScriptBitmap> bitmap;  // a BitmapData's; null once disposed
    std::shared_ptr<TextSnapshotData> textSnapshot;  // a TextSnapshot's
    std::vector<Value> slots;  // what a built-in class keeps per object behind its accessors
    // A built-in constructor has made it: run on it again (super() twice) it changes nothing.
    bool constructed = false;

private:
    std::string key(std::string_view name) const;

    bool caseSensitive_;
    uint16_t hidden_;
    std::vector<Property> properties_;
    uint32_t nextSerial_ = 0;
    std::unordered_map<std::string, size_t> index_;  // by key: the name, folded before version 7
};

}  // namespace avm1
