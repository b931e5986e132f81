#pragma once

namespace vbide {

class VBE;

/// Anything the environment hands an add-in as an object. An add-in asks it
/// for the interface it expects instead of casting across the library
/// boundary.
class Object {
public:
    virtual ~Object() = default;
    /// The environment's root object, when this is it.
    virtual VBE* asVBE() { return nullptr; }
};

} // namespace vbide
