#include "variant.h"

namespace trapline::dispatch {

Variant::Variant(const Variant& other) {
    VariantInit(&m_value);
    VariantCopy(&m_value, const_cast<VARIANT*>(&other.m_value));
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        VariantClear(&m_value);
        VariantCopy(&m_value, const_cast<VARIANT*>(&other.m_value));
    }
    return *this;
}

Variant Variant::fromLong(long value) {
    Variant v;
    v.m_value.vt = VT_I4;
    v.m_value.lVal = value;
    return v;
}

Variant Variant::fromShort(short value) {
    Variant v;
    v.m_value.vt = VT_I2;
    v.m_value.iVal = value;
    return v;
}

Variant Variant::fromBool(bool value) {
    Variant v;
    v.m_value.vt = VT_BOOL;
    v.m_value.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::fromString(const std::wstring& value) {
    Variant v;
    v.m_value.vt = VT_BSTR;
    v.m_value.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return v;
}

Variant Variant::fromDispatch(IDispatch* object) {
    Variant v;
    v.m_value.vt = VT_DISPATCH;
    v.m_value.pdispVal = object;
    if (object)
        object->AddRef();
    return v;
}

Variant Variant::omitted() {
    Variant v;
    v.m_value.vt = VT_ERROR;
    v.m_value.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

} // namespace trapline::dispatch
