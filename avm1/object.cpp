#include "avm1/object.h"

#include "base/names.h"

namespace avm1 {

std::string Object::key(std::string_view name) const {
    return caseSensitive_ ? std::string(name) : base::LowerCase(name);
}

namespace attribute {

uint16_t HiddenFrom(int version) {
    uint16_t bits = 0;
    if (version == 5) bits |= kHiddenIn5;
    if (version == 6) bits |= kHiddenIn6;
    if (version < 7) bits |= kHiddenBelow7;
    if (version < 8) bits |= kHiddenBelow8;
    if (version < 9) bits |= kHiddenBelow9;
    if (version < 10) bits |= kHiddenBelow10;
    return bits;
}

}  // namespace attribute

Property* Object::findAny(std::string_view name) {
    auto it = index_.find(key(name));
    return it == index_.end() ? nullptr : &properties_[it->second];
}

const Property* Object::find(std::string_view name) const { return const_cast<Object*>(this)->find(name); }

Property* Object::find(std::string_view name) {
    Property* p = findAny(name);
    return p != nullptr && !hides(*p) ? p : nullptr;
}

bool Object::set(std::string_view name, const Value& value, uint16_t attributes) {
    std::string k = key(name);
    if (auto it = index_.find(k); it != index_.end()) {
        Property& p = properties_[it->second];
        if (hides(p)) p.attributes = attributes;
        if ((p.attributes & attribute::kReadOnly) != 0) return false;
        p.value = value;
        p.accessor = false;
        return true;
    }
    if (properties_.size() >= kMaxProperties) return false;
    index_.emplace(std::move(k), properties_.size());
    Property p;
    p.name = std::string(name);
    p.value = value;
    p.attributes = attributes;
    p.serial = ++nextSerial_;
    properties_.push_back(std::move(p));
    return true;
}

bool Object::setAccessor(std::string_view name, const Value& getter, const Value& setter) {
    Property* p = findAny(name);
    if (p == nullptr) {
        if (!set(name, Value())) return false;
        p = findAny(name);
    }
    p->accessor = true;
    p->getter = getter;
    p->setter = setter;
    return true;
}

bool Object::remove(std::string_view name) {
    auto it = index_.find(key(name));
    if (it == index_.end() || (properties_[it->second].attributes & attribute::kDontDelete) != 0) return false;
    const size_t at = it->second;
    properties_.erase(properties_.begin() + static_cast<std::ptrdiff_t>(at));
    index_.erase(it);
    for (auto& [k, i] : index_) {
        if (i > at) --i;
    }
    return true;
}

void Object::setAttributes(std::string_view name, uint16_t attributes) {
    auto it = index_.find(key(name));
    if (it != index_.end()) properties_[it->second].attributes = attributes;
}

}  // namespace avm1
