// Loading from files beside the movie: movies into clips and levels (GetURL2's targets,
// MovieClip.loadMovie, MovieClipLoader), variables (loadVariables, LoadVars) and XML text.
// Scripts ask; the loads are done between steps in the order asked, each with its events
// then. Nothing is fetched from the network: such a URL is logged and fails as a missing file.
#include <cmath>
#include <limits>

#include "avm1/globals/globals.h"
#include "base/names.h"

namespace avm1 {

int Machine::LevelNumber(std::string_view name) {
    constexpr std::string_view kPrefix = "_level";
    if (name.size() <= kPrefix.size() || !base::SameNoCase(name.substr(0, kPrefix.size()), kPrefix)) return -1;
    int n = 0;
    for (const char c : name.substr(kPrefix.size())) {
        if (c < '0' || c > '9' || n > (std::numeric_limits<int>::max() - 9) / 10) return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

void Machine::decodeVariables(const Value& target, std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find('&', i);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view pair = text.substr(i, end - i);
        if (!pair.empty()) {
            const size_t eq = pair.find('=');
            const std::string name = UnescapeText(pair.substr(0, eq));
            const std::string value = eq == std::string_view::npos ? std::string() : UnescapeText(pair.substr(eq + 1));
            if (!name.empty() && admitString(name.size() + value.size())) setMember(target, name, Value::String(value));
        }
        i = end + 1;
    }
}

bool Machine::requestLoad(LoadRequest request) {
    if (loads_.size() >= kMaxPendingLoads) {
        unsupported("more loads at once than kMaxPendingLoads");
        return false;
    }
    loads_.push_back(std::move(request));
    return true;
}

void Machine::openUrl(uint32_t from, const std::string& url, const Value& target, bool intoTarget, bool variables) {
    LoadRequest r;
    r.url = url;
    const std::string path = target.type() == Type::kClip ? std::string() : toString(target);
    // A target of "_levelN" names a level, whether or not it is there yet.
    r.level = target.type() == Type::kClip ? -1 : LevelNumber(path);
    if (r.level < 0) {
        if (!intoTarget && !variables) {
            // A page for a browser window, or a command to the player's host: nothing opens.
            if (!url.empty() && !base::SameNoCase(std::string_view(url).substr(0, 10), "FSCommand:")) host_.log("getURL \"" + url + "\" (\"" + path + "\") opens nothing here");
            return;
        }
        r.clip = target.type() == Type::kClip ? (host_.exists(target.clip()) ? target.clip() : 0)
                                              : (path.empty() ? 0 : resolvePath(from, path));
        if (r.clip == 0) return;
    }
    r.kind = variables ? LoadRequest::Kind::kVariables : url.empty() ? LoadRequest::Kind::kUnloadMovie : LoadRequest::Kind::kMovie;
    requestLoad(std::move(r));
}

namespace {

// What a text file holds, without the byte-order mark a UTF-8 file may start with.
std::string TextOf(std::string bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return bytes;
}

void Broadcast(Machine& m, const Value& loader, const char* event, std::vector<Value> args) {
    if (loader.type() != Type::kObject) return;
    args.insert(args.begin(), Value::String(event));
    m.callMethod(loader, "broadcastMessage", std::move(args));
}

}  // namespace

void Machine::completeLoads() {
    std::vector<LoadRequest> now;
    now.swap(loads_);  // what these loads' events ask for waits for the next time
    for (LoadRequest& r : now) {
        if (budgetSpent()) break;
        // A target clip that went before its load came has nothing to load into.
        if (r.clip != 0 && !host_.exists(r.clip)) continue;
        if (r.kind == LoadRequest::Kind::kUnloadMovie) {
            host_.unloadMovie(r.clip, r.level);
            continue;
        }
        std::string bytes, reason;
        if (!host_.readFile(r.url, bytes, reason)) {
            host_.log("cannot load \"" + r.url + "\": " + reason);
            if (r.kind == LoadRequest::Kind::kData) {
                callMethod(r.loader, "onData", {Value()});
            } else if (r.kind == LoadRequest::Kind::kMovie) {
                const uint32_t at = r.clip != 0 ? r.clip : host_.level(r.level);
                Broadcast(*this, r.loader, "onLoadError",
                          {at != 0 ? Value::Clip(at) : Value(), Value::String("URLNotFound"), Value::Number(0)});
            }
            continue;
        }
        switch (r.kind) {
            case LoadRequest::Kind::kMovie: {
                const double size = static_cast<double>(bytes.size());
                const uint32_t c = host_.loadMovie(r.clip, r.level, bytes, r.url, r.loader);
                if (c == 0) break;
                Broadcast(*this, r.loader, "onLoadStart", {Value::Clip(c)});
                Broadcast(*this, r.loader, "onLoadProgress", {Value::Clip(c), Value::Number(size), Value::Number(size)});
                Broadcast(*this, r.loader, "onLoadComplete", {Value::Clip(c), Value::Number(0)});
                break;
            }
            case LoadRequest::Kind::kVariables: {
                const uint32_t c = r.clip != 0 ? r.clip : host_.level(r.level);
                if (c == 0) break;
                decodeVariables(Value::Clip(c), TextOf(std::move(bytes)));
                host_.dataLoaded(c);
                break;
            }
            case LoadRequest::Kind::kData:
                if (admitString(bytes.size())) callMethod(r.loader, "onData", {Value::String(TextOf(std::move(bytes)))});
                break;
            case LoadRequest::Kind::kUnloadMovie: break;
        }
    }
}

namespace {

// --- MovieClip's loading methods ---

// loadMovie(url[, method]) and loadVariables(url[, method]) on the clip itself.
template <bool Variables>
Value ClipLoad(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty()) return Value();
    const std::string url = m.toString(args[0]);
    // An empty URL loads nothing: unloadMovie is how a clip is emptied.
    if (!url.empty()) m.openUrl(c, url, Value::Clip(c), true, Variables);
    return Value();
}

Value ClipUnload(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = ClipOf(m, self);
    if (c != 0) m.openUrl(c, std::string(), Value::Clip(c), true, false);
    return Value();
}

// getBytesLoaded and getBytesTotal: the inflated size of the clip's movie (or of its sprite's
// tags), all of it loaded.
Value ClipBytes(Machine& m, const Value& self, std::vector<Value>&) {
    const uint32_t c = ClipOf(m, self);
    return c != 0 ? Value::Number(m.host().movieBytes(c, false)) : Value();
}

Value ClipGetUrl(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t c = ClipOf(m, self);
    if (c == 0 || args.empty()) return Value();
    m.openUrl(c, m.toString(args[0]), Argument(args, 1).isUndefined() ? Value::String("") : Argument(args, 1), false, false);
    return Value();
}

constexpr NativeMember kClipMethods[] = {
    {"loadMovie", ClipLoad<false>},
    {"loadVariables", ClipLoad<true>},
    {"unloadMovie", ClipUnload},
    {"getURL", ClipGetUrl},
    {"getBytesLoaded", ClipBytes},
    {"getBytesTotal", ClipBytes},
};

// --- MovieClipLoader ---

// The clip a loader's target names: a clip, a path from the root, or a level by number.
// Returns false for anything else; `level` is -1 for a clip.
bool LoaderTarget(Machine& m, const Value& v, uint32_t& clip, int& level) {
    clip = 0;
    level = -1;
    if (v.type() == Type::kClip) {
        clip = ClipOf(m, v);
        return clip != 0;
    }
    if (v.type() == Type::kNumber) {
        const double n = v.number();
        if (!(n >= 0) || n > std::numeric_limits<int>::max()) return false;
        level = static_cast<int>(n);
        return true;
    }
    if (v.type() == Type::kString) {
        level = Machine::LevelNumber(v.string());
        if (level >= 0) return true;
        clip = v.string().empty() ? 0 : m.resolvePath(m.host().root(), v.string());
        return clip != 0;
    }
    return false;
}

Value ConstructLoader(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = SelfObject(m, self);
    if (o == nullptr) return Value();
    // Each loader hears its own events first: it is its first listener.
    const ObjectHandle listeners = m.newArray({self});
    if (Object* again = SelfObject(m, self)) again->set("_listeners", Value::Object(listeners), attribute::kDontEnum);
    return Value();
}

// loadClip(url, target): true when the target is one a movie can go to.
Value LoadClip(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.size() < 2) return Value();
    if (args[0].type() != Type::kString) return Value::Bool(false);
    uint32_t clip = 0;
    int level = -1;
    if (!LoaderTarget(m, args[1], clip, level)) return Value::Bool(false);
    Machine::LoadRequest r;
    r.kind = Machine::LoadRequest::Kind::kMovie;
    r.clip = clip;
    r.level = level;
    r.url = m.toString(args[0]);
    r.loader = self;
    return Value::Bool(m.requestLoad(std::move(r)));
}

Value UnloadClip(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    uint32_t clip = 0;
    int level = -1;
    if (!LoaderTarget(m, args[0], clip, level)) return Value::Bool(false);
    Machine::LoadRequest r;
    r.kind = Machine::LoadRequest::Kind::kUnloadMovie;
    r.clip = clip;
    r.level = level;
    return Value::Bool(m.requestLoad(std::move(r)));
}

// getProgress(target): the bytes of the movie the target shows, loaded and in all.
Value GetProgress(Machine& m, const Value&, std::vector<Value>& args) {
    if (args.empty()) return Value();
    const Value& v = args[0];
    if (v.type() != Type::kClip && v.type() != Type::kString && v.type() != Type::kNumber) return Value();
    uint32_t clip = 0;
    int level = -1;
    const ObjectHandle out = m.newObject();
    if (LoaderTarget(m, v, clip, level) && clip == 0) clip = m.host().level(level);
    if (clip != 0) {
        const Value bytes = Value::Number(m.host().movieBytes(clip, true));
        m.setMember(Value::Object(out), "bytesLoaded", bytes);
        m.setMember(Value::Object(out), "bytesTotal", bytes);
    } else {
        m.setMember(Value::Object(out), "bytesLoaded", Value());
        m.setMember(Value::Object(out), "bytesTotal", Value());
    }
    return Value::Object(out);
}

constexpr NativeMember kLoaderMethods[] = {
    {"loadClip", LoadClip},
    {"unloadClip", UnloadClip},
    {"getProgress", GetProgress},
};

// --- LoadVars ---

Value ConstructLoadVars(Machine&, const Value&, std::vector<Value>&) { return Value(); }

// load(url) and sendAndLoad(url, target): the text arrives at the loader's (or the target's)
// onData between steps. True when a URL is given.
template <bool Send>
Value LoadVarsLoad(Machine& m, const Value& self, std::vector<Value>& args) {
    if (args.empty()) return Value::Bool(false);
    const Value into = Send ? Argument(args, 1) : self;
    if (into.type() != Type::kObject) return Value::Bool(false);
    m.setMember(into, "loaded", Value::Bool(false));
    Machine::LoadRequest r;
    r.kind = Machine::LoadRequest::Kind::kData;
    r.url = m.toString(args[0]);
    r.loader = into;
    return Value::Bool(m.requestLoad(std::move(r)));
}

Value Decode(Machine& m, const Value& self, std::vector<Value>& args) {
    if (self.type() == Type::kObject && !args.empty()) m.decodeVariables(self, m.toString(args[0]));
    return Value();
}

// toString: the object's own enumerable properties as name=value pairs, escaped.
Value LoadVarsToString(Machine& m, const Value& self, std::vector<Value>&) {
    std::string out;
    for (const std::string& name : m.enumerate(self)) {
        const Value v = m.getMember(self, name);
        if (m.isFunction(v)) continue;
        if (!out.empty()) out += '&';
        out += EscapeText(name);
        out += '=';
        out += EscapeText(m.toString(v));
        if (!m.admitString(out.size())) return Value();
    }
    return Value::String(std::move(out));
}

// The default onData: the pairs onto the object, then onLoad with whether any text came.
Value LoadVarsOnData(Machine& m, const Value& self, std::vector<Value>& args) {
    return ReportLoad(m, self, Argument(args, 0),
                      [](Machine& mm, const Value& into, const std::string& text) { mm.decodeVariables(into, text); });
}

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }
Value False(Machine&, const Value&, std::vector<Value>&) { return Value::Bool(false); }

constexpr NativeMember kLoadVarsMethods[] = {
    {"load", LoadVarsLoad<false>},
    {"sendAndLoad", LoadVarsLoad<true>},
    {"send", False},
    {"decode", Decode},
    {"toString", LoadVarsToString},
    {"addRequestHeader", Nothing},
    {"onData", LoadVarsOnData},
    {"onLoad", Nothing},
};

// XML.load(url) and sendAndLoad(url, target): the text goes to onData, which parses it.
template <bool Send>
Value XmlLoad(Machine& m, const Value& self, std::vector<Value>& args) { return LoadVarsLoad<Send>(m, self, args); }

constexpr NativeMember kXmlMethods[] = {
    {"load", XmlLoad<false>},
    {"sendAndLoad", XmlLoad<true>},
};

}  // namespace

void InstallLoading(Machine& m, Builtins& b) {
    DefineMethods(m, b.movieClip, kClipMethods);
    DefineMethods(m, b.xml, kXmlMethods);

    ObjectHandle loader;
    DefineClass(m, "MovieClipLoader", ConstructLoader, loader, kLoaderMethods);
    // A loader broadcasts its events as AsBroadcaster's objects do.
    if (const Object* broadcaster = m.heap().get(b.broadcaster)) {
        std::vector<std::pair<std::string, Value>> methods;
        for (const char* name : {"addListener", "removeListener", "broadcastMessage"}) {
            if (const Property* p = broadcaster->find(name)) methods.emplace_back(name, p->value);
        }
        if (Object* proto = m.heap().get(loader)) {
            for (auto& [name, value] : methods) proto->set(name, value, attribute::kDontEnum);
        }
    }

    ObjectHandle vars;
    DefineClass(m, "LoadVars", ConstructLoadVars, vars, kLoadVarsMethods);
    if (Object* proto = m.heap().get(vars)) {
        proto->set("contentType", Value::String("application/x-www-form-urlencoded"), attribute::kDontEnum);
        proto->set("loaded", Value(), attribute::kDontEnum);
    }
}

}  // namespace avm1
