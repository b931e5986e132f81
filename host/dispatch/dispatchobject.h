#pragma once

// Late binding: members of the IDE's objects are found by name and called
// through IDispatch::Invoke, so that nothing here depends on the layout of
// the IDE's interfaces, which differ between VB6 and the Office editors.

#include "result.h"
#include "variant.h"

#include <initializer_list>
#include <string>

#include <oaidl.h>

namespace trapline::dispatch {

/// A counted reference to an IDispatch object, with calls by member name.
/// Every failure comes back as the error VB would raise (see vbError), its
/// description naming the member.
class DispatchObject {
public:
    DispatchObject() = default;
    /// Takes a reference of its own on `object`.
    explicit DispatchObject(IDispatch* object);
    DispatchObject(const DispatchObject& other) : DispatchObject(other.m_object) {}
    DispatchObject& operator=(const DispatchObject& other);
    ~DispatchObject();

    IDispatch* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    /// A method call; `args` in the order VB writes them.
    Result<Variant> call(const wchar_t* member, std::initializer_list<Variant> args = {}) const;
    /// A property read, with arguments for an indexed property.
    Result<Variant> get(const wchar_t* member, std::initializer_list<Variant> args = {}) const;
    Result<void> put(const wchar_t* member, const Variant& value) const;

    /// The object a call or read gave; an error when it gave none.
    Result<DispatchObject> object(const wchar_t* member,
                                  std::initializer_list<Variant> args = {}) const;
    Result<long> getLong(const wchar_t* member) const;
    Result<std::wstring> getString(const wchar_t* member) const;

private:
    Result<Variant> invoke(const wchar_t* member, WORD flags, std::initializer_list<Variant> args,
                           bool put = false) const;

    IDispatch* m_object = nullptr;
};

/// UTF-16 to UTF-8 and back, for names and captions (code is converted by
/// the project's code page instead).
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

} // namespace trapline::dispatch
