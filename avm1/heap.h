#pragma once
// The heap of script objects: each reached by a handle of a slot and its generation, collected
// by mark and sweep from the roots the machine names. A handle whose object was collected
// resolves to nothing, as a clip handle whose clip has gone does, so no script can reach freed
// memory.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "avm1/object.h"

namespace avm1 {

// What the collector is shown of the roots: every value and object they hold.
class Tracer {
public:
    virtual ~Tracer() = default;
    virtual void object(ObjectHandle handle) = 0;
    void value(const Value& v) {
        if (v.type() == Type::kObject) object(v.object());
    }
};

class Heap {
public:
    // How long a prototype chain is followed before a lookup gives up (a chain may loop).
    static constexpr int kMaxPrototypeDepth = 256;

    // `hidden`: the attribute bits that hide properties from the movie (attribute::HiddenFrom).
    explicit Heap(bool caseSensitive, uint16_t hidden = 0) : caseSensitive_(caseSensitive), hidden_(hidden) {}

    ObjectHandle make(ObjectHandle prototype = {});
    // The object, or null for no object and for one collected.
    Object* get(ObjectHandle handle);
    const Object* get(ObjectHandle handle) const;
    // A property of the object or of the first of its prototypes that has it.
    const Property* lookup(ObjectHandle handle, std::string_view name) const;

    size_t liveObjects() const { return live_; }
    // What the objects the last collection kept hold, in bytes, roughly: their properties,
    // elements and strings.
    size_t liveBytes() const { return liveBytes_; }
    // Frees every object the roots do not reach, through properties, accessors, prototypes,
    // elements, watchers and the scopes of functions. Returns how many were freed.
    size_t collect(const std::function<void(Tracer&)>& roots);

private:
    struct Slot {
        uint32_t generation = 1;
        bool marked = false;
        std::optional<Object> object;
    };
    class Marker;

    bool caseSensitive_;
    uint16_t hidden_;
    // A deque, so that making an object never moves the others: a pointer to an object stays
    // good until the collector frees it.
    std::deque<Slot> slots_{1};  // slot 0 is no object
    std::vector<uint32_t> free_;
    size_t live_ = 0;
    size_t liveBytes_ = 0;
};

}  // namespace avm1
