#pragma once

#include <string>

#include <oaidl.h>

namespace trapline::dispatch {

/// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    ~Variant() { VariantClear(&m_value); }

    static Variant fromLong(long value);
    /// VB's Integer, as VB passes a small literal.
    static Variant fromShort(short value);
    static Variant fromBool(bool value);
    static Variant fromString(const std::wstring& value);
    /// Holds `object` with a reference of its own.
    static Variant fromDispatch(IDispatch* object);
    /// An optional argument left out, as VB passes it.
    static Variant omitted();

    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }

private:
    VARIANT m_value;
};

} // namespace trapline::dispatch
