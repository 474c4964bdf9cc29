#include "avm1/heap.h"

namespace avm1 {

ObjectHandle Heap::make(ObjectHandle prototype) {
    uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        index = static_cast<uint32_t>(slots_.size());
        slots_.emplace_back();
    }
    Slot& slot = slots_[index];
    slot.object.emplace(caseSensitive_, prototype, hidden_);
    slot.marked = false;
    ++live_;
    return {index, slot.generation};
}

Object* Heap::get(ObjectHandle handle) {
    if (handle.index == 0 || handle.index >= slots_.size()) return nullptr;
    Slot& slot = slots_[handle.index];
    return slot.generation == handle.generation && slot.object ? &*slot.object : nullptr;
}

const Object* Heap::get(ObjectHandle handle) const { return const_cast<Heap*>(this)->get(handle); }

const Property* Heap::lookup(ObjectHandle handle, std::string_view name) const {
    const Object* o = get(handle);
    for (int depth = 0; o != nullptr && depth < kMaxPrototypeDepth; ++depth) {
        if (const Property* p = o->find(name)) return p;
        o = get(o->prototype);
    }
    return nullptr;
}

// Marks what it is shown, then what the marked objects hold, without recursion: a long chain
// of objects must not exhaust the native stack.
class Heap::Marker final : public Tracer {
public:
    explicit Marker(Heap& heap) : heap_(heap) {}
    void object(ObjectHandle handle) override {
        if (heap_.get(handle) == nullptr) return;
        Slot& slot = heap_.slots_[handle.index];
        if (slot.marked) return;
        slot.marked = true;
        pending_.push_back(handle.index);
    }
    void drain() {
        while (!pending_.empty()) {
            const uint32_t index = pending_.back();
            pending_.pop_back();
            const Object& o = *heap_.slots_[index].object;
            object(o.prototype);
            bytes_ += sizeof(Object) + o.properties().size() * (sizeof(Property) + 32);
            for (const Property& p : o.properties()) {
                value(p.value);
                value(p.getter);
                value(p.setter);
                bytes_ += p.name.size() + p.value.string().size();
            }
            if (o.function) {
                for (const ScopeEntry& scope : o.function->scope) value(scope.value);
            }
            if (o.elements) {
                bytes_ += o.elements->size() * sizeof(Value);
                for (const Value& e : *o.elements) {
                    value(e);
                    bytes_ += e.string().size();
                }
            }
            bytes_ += o.primitive.string().size();
            value(o.superThis);
            value(o.superConstructor);
            for (const Value& v : o.slots) value(v);
            bytes_ += o.elementSerials.size() * (sizeof(size_t) + sizeof(uint32_t)) * 2;
            for (const Watcher& w : o.watchers) {
                value(w.callback);
                value(w.data);
            }
            if (o.xml) {
                object(o.xml->parent);
                object(o.xml->attributes);
                object(o.xml->childArray);
                for (ObjectHandle c : o.xml->children) object(c);
                bytes_ += o.xml->children.size() * sizeof(ObjectHandle) + (o.xml->name ? o.xml->name->size() : 0) +
                          (o.xml->value ? o.xml->value->size() : 0);
            }
        }
    }

    size_t bytes() const { return bytes_; }

private:
    Heap& heap_;
    std::vector<uint32_t> pending_;
    size_t bytes_ = 0;
};

size_t Heap::collect(const std::function<void(Tracer&)>& roots) {
    Marker marker(*this);
    roots(marker);
    marker.drain();
    liveBytes_ = marker.bytes();
    size_t freed = 0;
    for (uint32_t i = 1; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        if (!slot.object) continue;
        if (slot.marked) {
            slot.marked = false;
            continue;
        }
        slot.object.reset();
        ++slot.generation;  // every handle to it is stale from now on
        free_.push_back(i);
        ++freed;
    }
    live_ -= freed;
    return freed;
}

}  // namespace avm1
