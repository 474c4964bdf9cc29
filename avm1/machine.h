#pragma once
// The ActionScript 1 and 2 machine: runs DoAction, DoInitAction and clip-event bytecode
// against a Host. Each action has one handler (avm1/actions/), each built-in class is a table
// of its members (avm1/globals/), and one run of a block or of a function is an Activation.
//
// Values may refer to objects of the machine's heap (avm1/heap.h); clips stay the host's and
// are reached by handle. The machine holds one stack shared by every block of a step, as the
// reference players do; a function call works above its caller's values and leaves none.

#include <algorithm>
#include <map>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "avm1/host.h"
#include "avm1/value.h"

namespace avm1 {

struct Activation;

// Limits of one run, checked as the script runs; each meets its own log line.
inline constexpr int64_t kMaxInstructionsPerFrame = 1'000'000;  // all scripts of one step together
// Work of one step in units that follow the cost: an instruction is 64 units, a byte of a
// string made or copied one, an element or property made or moved 16, a character a string
// method scans one. 2^28 units take a fraction of a second.
inline constexpr int64_t kMaxScriptWorkPerFrame = int64_t{1} << 28;
inline constexpr int64_t kWorkPerInstruction = 64;
inline constexpr int64_t kWorkPerElement = 16;
// Everything scripts hold together: strings, objects, arrays, closures and the stack.
inline constexpr size_t kMaxScriptMemory = size_t{256} << 20;
inline constexpr size_t kMaxStackValues = 1u << 16;
inline constexpr size_t kMaxStringBytes = 1u << 24;  // 16 MiB: longer results stop the script
inline constexpr int kMaxCallDepth = 256;
inline constexpr int kMaxAccessorNesting = 65;       // one property's getters and setters running inside one another             // nested calls of functions and frames
inline constexpr size_t kMaxVariablesPerClip = 1u << 16;
inline constexpr size_t kMaxArrayLength = 1u << 22;   // elements of one array
inline constexpr size_t kMaxHeapObjects = 1u << 22;   // live objects of the heap
inline constexpr size_t kMaxTimers = 1024;            // setInterval and setTimeout pending
inline constexpr size_t kMaxBitmapDataBytes = size_t{256} << 20;  // every live BitmapData's pixels
inline constexpr size_t kMaxPendingLoads = 256;       // loads asked for and not yet done
inline constexpr int kRegisterCount = 4;              // the registers of code outside DefineFunction2

// The prototypes and constructors the built-ins hang on, made when the machine starts.
struct Builtins {
    ObjectHandle global, object, function, array, string, number, boolean, date, movieClip, error;
    ObjectHandle objectCtor, functionCtor, arrayCtor, stringCtor, numberCtor, booleanCtor, dateCtor, errorCtor;
    ObjectHandle broadcaster;  // AsBroadcaster, whose methods initialize() copies
    ObjectHandle xmlNode, xml;
    ObjectHandle textField, textFormat, button, video;
    ObjectHandle point, matrix, rectangle, colorTransform, transform;
    ObjectHandle flashPackage;  // _global.flash, where the packages' classes live
};

class Machine {
public:
    Machine(Host& host, int version);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // A new step: the budgets start over, the shared stack is emptied, and the heap is
    // collected when it has grown since the last collection.
    void startFrame();
    // setInterval and setTimeout callbacks whose time has come by the host's clock.
    void runTimers();
    // Collects the heap now; returns how many objects were freed.
    size_t collectGarbage();
    Heap& heap() { return heap_; }
    const Builtins& builtins() const { return builtins_; }
    // Runs one block of bytecode with `clip` as its timeline and scope. The host keeps the
    // block alive as long as the machine: functions defined in it refer to its bytes.
    void run(const std::vector<uint8_t>& code, uint32_t clip);

    // A variable by its name and path ("a/b:v", "_root.a.v") as seen from `clip`: for text
    // fields bound to variables. False when there is none.
    bool readVariable(uint32_t clip, std::string_view name, Value& out);
    void writeVariable(uint32_t clip, std::string_view name, const Value& value);

    // Conversions; those of objects call their valueOf and toString.
    std::string toString(const Value& v);
    double toNumber(const Value& v);
    bool toBoolean(const Value& v) const;
    // ECMA's ToPrimitive: valueOf, then toString, for objects and clips.
    Value toPrimitive(const Value& v);
    int version() const { return version_; }
    bool budgetSpent() const { return instructions_ <= 0 || work_ <= 0 || aborted_; }
    bool caseSensitive() const { return version_ >= 7; }

    // --- calls ---
    // Calls a function value with `self` as `this`. `home` is the object the method was found
    // on (its prototype's is what `super` reaches); none for plain calls. Undefined for what
    // is not a function.
    Value call(const Value& function, const Value& self, std::vector<Value> args, ObjectHandle home = {});
    // Calls the method `name` of `self`; undefined when it has none.
    Value callMethod(const Value& self, std::string_view name, std::vector<Value> args);
    // `new`: a new object whose prototype is the constructor's `prototype`, run through it.
    Value construct(const Value& constructor, std::vector<Value> args);
    bool constructing() const { return constructing_; }
    bool isFunction(const Value& v) const;
    // `super` in a method found on `home` and called on `self`.
    Value makeSuper(const Value& self, ObjectHandle home);

    // --- objects ---
    ObjectHandle newObject(ObjectHandle prototype);
    ObjectHandle newObject() { return newObject(builtins_.object); }
    ObjectHandle newArray(std::vector<Value> elements = {});
    // A function object for a built-in, with its `prototype` when it is a constructor.
    ObjectHandle newNative(NativeFunction f, bool constructor = false);
    // The object `name` is looked up on after a value's own properties: a primitive's class
    // prototype, an object's prototype.
    ObjectHandle prototypeOf(const Value& v) const;
    // BitmapData pixels: whether `bytes` more fit kMaxBitmapDataBytes (a log line once when
    // not), and the count live bitmaps give back when they go.
    bool admitBitmap(size_t bytes);
    const std::shared_ptr<size_t>& bitmapBudget() const { return bitmapBytes_; }
    // A built-in constructor says its arguments make no object: `new` gives undefined.
    void failConstruction() { constructionFailed_ = true; }
    // A clip's own script object, made when first asked for: the accessors addProperty gives
    // the clip and the watchers watch sets on it, met before its variables.
    ObjectHandle clipObject(uint32_t clip);
    // What a clip inherits from: its registered class's prototype, or MovieClip.prototype.
    ObjectHandle clipPrototype(uint32_t clip) const;
    Value getMember(const Value& object, std::string_view name);
    void setMember(const Value& object, std::string_view name, const Value& value);
    bool deleteMember(const Value& object, std::string_view name);
    // Whether `name` is on the value or its prototypes (clips: variables, children, properties).
    bool hasMember(const Value& object, std::string_view name);
    // Property names for-in visits, in the reference players' order (newest first, then the
    // prototypes'), without the ones marked not to be enumerated.
    std::vector<std::string> enumerate(const Value& object);
    // Array elements and length; element writes past the end grow the array up to kMaxArrayLength.
    std::vector<Value>* elementsOf(const Value& v);
    // The instanceof test: `constructor.prototype` on the value's prototype chain.
    bool instanceOf(const Value& v, const Value& constructor);

    // --- for the action handlers and the built-ins ---
    Host& host() { return host_; }
    // What comparisons give (version 4 prints it as 1 or 0).
    Value boolResult(bool b) const { return Value::Bool(b); }
    // Logs, once per operation, that it is not built yet.
    void unsupported(const char* what);
    // Runs a block `depth` calls deep (ActionCall nests them).
    void execute(const std::vector<uint8_t>& code, uint32_t clip, int depth);
    // Runs the activation's actions from its position while it stays in [from, to).
    enum class Flow { kNormal, kReturn, kThrow, kAbort };
    Flow runRange(Activation& a, size_t from, size_t to);
    // The clip a target path names from `from` ("../a", "/b", "_root.c"), or 0.
    uint32_t resolvePath(uint32_t from, std::string_view path);
    // The clip the running code targets, or the root when none runs.
    uint32_t currentTarget();
    // Throw: the value travels up to the nearest catch.
    void throwValue(Value v);
    bool throwing() const { return thrown_.has_value(); }
    std::optional<Value> takeThrown();
    // A throw no catch took, at the top of a script: one line where trace() prints.
    void reportUncaught();
    // The next number of the fixed sequence RandomNumber and Math.random draw from.
    uint32_t nextRandom();
    // Charges work to the step's budget; false, with one log line, when it is spent.
    bool charge(int64_t units);
    // A string about to be made: false, with a log line and the scripts stopped, past
    // kMaxStringBytes or the memory budget. Charges its bytes as work.
    bool admitString(size_t bytes);
    // The shared stack.
    std::vector<Value>& stack() { return stack_; }
    int callDepth() const { return callDepth_; }
    // The movie's own limit on nested calls (its ScriptLimits tag), at most kMaxCallDepth.
    void setMaxCallDepth(int depth) { maxCallDepth_ = std::clamp(depth, 1, kMaxCallDepth); }

    // Object.registerClass: the class of an exported sprite's clips (undefined: none).
    void registerClass(const std::string& linkage, const Value& constructor);
    Value registeredClass(std::string_view linkage) const;
    // Calls a clip's method by name, as the host's events do (onEnterFrame ...), when it has
    // one; what it throws goes no further.
    void runMethod(uint32_t clip, std::string_view name);
    // Makes a new clip an instance of its class: its prototype, the init object's
    // properties, then the constructor run on it.
    // Gives the clip the constructor's prototype, as constructClip does first.
    void adoptClass(uint32_t clip, const Value& constructor);
    void constructClip(uint32_t clip, const Value& constructor, const Value& initObject);

    // setInterval and setTimeout.
    struct Timer {
        uint32_t id = 0;
        Value function;  // or the object whose method `method` is called
        std::string method;
        std::vector<Value> args;
        double interval = 0, due = 0;
        bool repeat = true;
    };
    uint32_t addTimer(Timer t);
    bool removeTimer(uint32_t id);

    // Loads from files beside the movie: asked for by scripts, done between steps in the
    // order asked, each with its events then.
    struct LoadRequest {
        enum class Kind : uint8_t {
            kMovie,        // a movie into a clip or a level; `loader` a MovieClipLoader or undefined
            kUnloadMovie,  // the clip emptied, or the level taken away
            kVariables,    // name=value pairs onto a clip, then its data event
            kData,         // the text to `loader`'s onData (LoadVars, XML)
        };
        Kind kind = Kind::kMovie;
        uint32_t clip = 0;  // the target, or 0 for level `level`
        int level = -1;
        std::string url;
        Value loader;
    };
    // False, with a log line, past kMaxPendingLoads.
    bool requestLoad(LoadRequest request);
    // getURL and GetURL2 as scripts ask, from the timeline `from`: a movie or variables into
    // `target` (a clip, a path, or "_levelN"), the target emptied for an empty URL; a page
    // for a browser window is logged and opens nothing.
    void openUrl(uint32_t from, const std::string& url, const Value& target, bool intoTarget, bool variables);
    // Does the loads asked for before this call; the host calls it between steps.
    void completeLoads();
    // name=value pairs joined by &, both escaped as unescape() reads them, onto `target`.
    void decodeVariables(const Value& target, std::string_view text);
    // _levelN's number for a name ("_level3"), or -1.
    static int LevelNumber(std::string_view name);

private:
    friend struct Activation;
    void makeBuiltins();
    Value invoke(const Value& function, const Value& self, std::vector<Value>& args, ObjectHandle home, bool constructing);
    Value callFunction(Object& f, ObjectHandle handle, const Value& self, std::vector<Value>& args, ObjectHandle home,
                       bool constructing);
    bool admitObject();
    void traceRoots(Tracer& tracer);
    Value getOnObject(const Value& self, ObjectHandle start, std::string_view name, bool& found);
    // Whether the interfaces `proto` lists, or those they extend, include `constructor`.
    bool implements(ObjectHandle proto, const Value& constructor, int depth);

    Host& host_;
    int version_;
    std::vector<LoadRequest> loads_;
    std::shared_ptr<size_t> bitmapBytes_ = std::make_shared<size_t>(0);
    bool bitmapsReported_ = false;
    bool constructionFailed_ = false;
    std::unordered_map<uint32_t, ObjectHandle> clipObjects_;
    int64_t instructions_ = kMaxInstructionsPerFrame;
    int64_t work_ = kMaxScriptWorkPerFrame;
    bool aborted_ = false;
    std::vector<std::string> reported_;  // operations already reported as unsupported, limits met
    uint32_t random_ = 0x2545F491u;
    Heap heap_;
    Builtins builtins_;
    std::vector<Value> stack_;
    // The registers of functions called with no block running (the players' global ones).
    std::vector<Value> globalRegisters_ = std::vector<Value>(4);
    std::vector<Activation*> activations_;  // those running, for the collector
    std::vector<std::vector<Value>*> nativeArgs_;  // arguments of built-ins running, for the collector
    std::optional<Value> thrown_;
    bool constructing_ = false;
    int callDepth_ = 0;
    int maxCallDepth_ = kMaxCallDepth;
    // The accessors running, by the object holding each and the property's serial there.
    std::vector<std::pair<ObjectHandle, uint32_t>> busyAccessors_;
    bool accessorBlocked(ObjectHandle holder, const Property& p) const;
    // The watchers running, by object and name (folded).
    std::vector<std::pair<ObjectHandle, std::string>> busyWatchers_;
    bool watcherBlocked(ObjectHandle object, std::string_view name) const;
    Value readAccessor(ObjectHandle holder, std::string_view name, const Value& self);
    void writeAccessor(ObjectHandle holder, std::string_view name, const Value& self, const Value& value);
    bool depthExceeded_ = false;  // ends the block that went too deep, not the step
    size_t collectAt_ = kFirstCollection;  // live objects that start the next collection
    size_t bytesSinceCollection_ = 0;      // strings and objects made since
    std::vector<Timer> timers_;
    uint32_t nextTimer_ = 1;
    std::map<std::string, Value> classes_;  // registerClass, by the linkage name's key
    static constexpr size_t kFirstCollection = 1024;

public:
    void report(const std::string& key, const std::string& line);  // logs `line` once per key
};

}  // namespace avm1
