#pragma once
// The ActionScript 1 and 2 interpreter core: values, their conversions, and the stack
// machine that runs DoAction, DoInitAction and clip-event bytecode.
//
// The machine knows nothing of the display: it reaches clips, their variables, properties
// and timelines through a `Host`, by clip handles that the host hands out (0 is no clip).
// A handle whose clip has gone resolves to nothing, so a script can never reach freed data.
//
// The object model (objects, arrays, functions, prototypes) is not built: the operations
// that would make one give undefined, and a function definition defines nothing, each
// reported once through the host's log.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace movie::avm1 {

// Limits of one run, checked as the script runs.
inline constexpr int64_t kMaxInstructionsPerFrame = 1'000'000;  // all scripts of one frame together
inline constexpr size_t kMaxStackValues = 1u << 16;
inline constexpr size_t kMaxStringBytes = 1u << 24;  // 16 MiB: longer results stop the script
inline constexpr int kMaxCallDepth = 32;              // ActionCall of frames calling frames
inline constexpr size_t kMaxVariablesPerClip = 1u << 16;

enum class Type : uint8_t { kUndefined, kNull, kBool, kNumber, kString, kClip };

struct Value {
    Type type = Type::kUndefined;
    bool boolean = false;
    double number = 0;
    std::string string;
    uint32_t clip = 0;

    static Value Undefined() { return {}; }
    static Value Null() {
        Value v;
        v.type = Type::kNull;
        return v;
    }
    static Value Bool(bool b) {
        Value v;
        v.type = Type::kBool;
        v.boolean = b;
        return v;
    }
    static Value Number(double n) {
        Value v;
        v.type = Type::kNumber;
        v.number = n;
        return v;
    }
    static Value String(std::string s) {
        Value v;
        v.type = Type::kString;
        v.string = std::move(s);
        return v;
    }
    static Value Clip(uint32_t handle) {
        Value v;
        v.type = Type::kClip;
        v.clip = handle;
        return v;
    }
};

// Numbers as the reference players print them: 15 significant digits, exponents from
// 1e15 up and below 1e-5, "NaN", "Infinity" and "-Infinity".
std::string NumberToString(double n);
// A string as a number: decimal or 0x hexadecimal, surrounding blanks allowed. Anything
// else is NaN (0 for movies of version 4 and below).
double StringToNumber(std::string_view s, int version);
// ECMA's ToInt32.
int32_t ToInt32(double n);

// Clip properties by the index GetProperty and SetProperty use.
enum Property : int {
    kPropX = 0, kPropY, kPropXScale, kPropYScale, kPropCurrentFrame, kPropTotalFrames, kPropAlpha, kPropVisible,
    kPropWidth, kPropHeight, kPropRotation, kPropTarget, kPropFramesLoaded, kPropName, kPropDropTarget, kPropUrl,
    kPropHighQuality, kPropFocusRect, kPropSoundBufTime, kPropQuality, kPropXMouse, kPropYMouse, kPropertyCount
};
// Properties reached by name only.
inline constexpr int kPropOpaqueBackground = 64;
// The index of a property by its name ("_x" ...), or -1.
int PropertyIndex(std::string_view name);

// What the machine asks of the display.
class Host {
public:
    virtual ~Host() = default;
    virtual uint32_t root() = 0;
    virtual uint32_t parent(uint32_t clip) = 0;  // 0 for the root and for clips gone
    virtual uint32_t child(uint32_t clip, std::string_view name) = 0;  // by instance name
    virtual bool exists(uint32_t clip) = 0;
    // Timeline variables. `get` leaves `out` alone and returns false when there is none.
    virtual bool getVariable(uint32_t clip, std::string_view name, Value& out) = 0;
    virtual void setVariable(uint32_t clip, std::string_view name, const Value& value) = 0;
    virtual bool deleteVariable(uint32_t clip, std::string_view name) = 0;
    virtual Value getProperty(uint32_t clip, int property) = 0;
    virtual void setProperty(uint32_t clip, int property, const Value& value) = 0;
    // Timelines. Frames count from 0 here; `gotoFrame` clamps to the last frame.
    virtual void play(uint32_t clip) = 0;
    virtual void stop(uint32_t clip) = 0;
    virtual void gotoFrame(uint32_t clip, int frame, bool play) = 0;
    virtual int frameOfLabel(uint32_t clip, std::string_view label) = 0;  // -1 when none
    virtual int currentFrame(uint32_t clip) = 0;
    virtual int totalFrames(uint32_t clip) = 0;
    // The scripts of a frame, for ActionCall.
    virtual std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t clip, int frame) = 0;
    // "_level0.a.b", the clip's path as dot syntax prints it.
    virtual std::string path(uint32_t clip) = 0;
    virtual std::string name(uint32_t clip) = 0;
    virtual void trace(const std::string& line) = 0;
    virtual void log(const std::string& line) = 0;
    // Milliseconds since the movie started, as the timeline counts them.
    virtual double timer() = 0;
};

class Machine {
public:
    Machine(Host& host, int version) : host_(host), version_(version) {}

    // A new frame: the instruction budget starts over.
    void startFrame() { budget_ = kMaxInstructionsPerFrame; }
    // Runs one block of bytecode with `clip` as its timeline and scope.
    void run(const std::vector<uint8_t>& code, uint32_t clip);

    // A variable by its name and path ("a/b:v", "_root.a.v") as seen from `clip`: for text
    // fields bound to variables. False when there is none.
    bool readVariable(uint32_t clip, std::string_view name, Value& out);
    void writeVariable(uint32_t clip, std::string_view name, const Value& value);

    std::string toString(const Value& v);
    double toNumber(const Value& v) const;
    bool toBoolean(const Value& v) const;
    int version() const { return version_; }
    bool budgetSpent() const { return budget_ <= 0; }

private:
    struct Run;
    void execute(const std::vector<uint8_t>& code, uint32_t clip, int depth);
    bool step(Run& r);
    Value pop(Run& r);
    bool push(Run& r, Value v);
    bool splitPath(Run& r, std::string_view name, uint32_t& clip, std::string_view& var);
    Value getVariable(Run& r, std::string_view name);
    void setVariable(Run& r, std::string_view name, const Value& value);
    uint32_t resolvePath(uint32_t from, std::string_view path);
    uint32_t targetOf(Run& r, const Value& v);
    Value getMember(const Value& object, const std::string& name);
    void setMember(const Value& object, const std::string& name, const Value& value);
    Value callBuiltin(uint32_t clip, const std::string& name, const std::vector<Value>& args, bool& known);
    void gotoFrameValue(Run& r, const Value& frame, bool play, int bias);
    void unsupported(const char* what);
    bool checkString(Run& r, const std::string& s);
    Value boolResult(bool b) const;

    Host& host_;
    int version_;
    int64_t budget_ = kMaxInstructionsPerFrame;
    Value registers_[4];
    std::vector<std::string> reported_;  // operations already reported as unsupported
    bool budgetReported_ = false;
    uint32_t random_ = 0x2545F491u;
};

}  // namespace movie::avm1
