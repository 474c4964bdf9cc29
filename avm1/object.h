#pragma once
// Script objects: a property map in the order the properties were made, each with its
// attributes, names compared by the movie version's rule (without case before version 7), and
// a prototype. An object that is a function carries its body: the bytecode it runs and the
// scope chain it closes over.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "avm1/value.h"

namespace avm1 {

// ASSetPropFlags' bits.
namespace attribute {
inline constexpr uint8_t kDontEnum = 1, kDontDelete = 2, kReadOnly = 4;
}

struct Property {
    std::string name;  // as first made
    Value value;
    uint8_t attributes = 0;
};

// The body of a function defined by DefineFunction or DefineFunction2.
struct FunctionBody {
    std::shared_ptr<const std::vector<uint8_t>> code;  // the block it belongs to, kept alive
    size_t begin = 0, end = 0;                          // the function's own actions in `code`
    std::string name;
    std::vector<std::string> parameters;
    std::vector<uint8_t> parameterRegisters;  // DefineFunction2: 0 for a parameter in no register
    uint8_t registerCount = 0;
    uint16_t flags = 0;                       // DefineFunction2's preload and suppress flags
    std::vector<ObjectHandle> scope;          // the scope chain it closes over, innermost last
    uint32_t clip = 0;                        // the timeline it was defined on
};

class Object {
public:
    explicit Object(bool caseSensitive, ObjectHandle proto = {}) : prototype(proto), caseSensitive_(caseSensitive) {}

    // An own property, or null.
    const Property* find(std::string_view name) const;
    // Sets an own property, making it (last in the order) when there is none; false when it
    // is read-only or the object holds kMaxProperties.
    bool set(std::string_view name, const Value& value, uint8_t attributes = 0);
    // False when there is none or it may not be deleted.
    bool remove(std::string_view name);
    const std::vector<Property>& properties() const { return properties_; }
    void setAttributes(std::string_view name, uint8_t attributes);

    static constexpr size_t kMaxProperties = 1u << 16;

    ObjectHandle prototype;
    std::optional<FunctionBody> function;

private:
    std::string key(std::string_view name) const;

    bool caseSensitive_;
    std::vector<Property> properties_;
    std::unordered_map<std::string, size_t> index_;  // by key: the name, folded before version 7
};

}  // namespace avm1
