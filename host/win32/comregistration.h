#pragma once

#include "addinrecord.h"

#include <windows.h>

#include <string>
#include <vector>

/// The registry entries of the COM server: the class Trapline.Connect, its
/// type library and its default interface, for the machine or for the user,
/// and the add-in entries the editors of the DLL's bitness read (x86: VB6
/// and 32-bit Office; x64: 64-bit Office). The type library's and the
/// interface's keys are one for both bitnesses: their common values stay
/// while the DLL of the other bitness is still registered.
/// Unregistering removes exactly the values registering writes, and a key of
/// the add-in only when nothing else is left in it.
class ComRegistration {
public:
    enum class Scope { Machine, User };
    enum class Bitness { x86, x64 };

    struct Value {
        HKEY root;
        std::wstring key;
        std::wstring name; ///< empty: the key's default value
        DWORD type;        ///< REG_SZ or REG_DWORD
        std::wstring text;
        DWORD number = 0;
        /// Written by the DLL of either bitness alike.
        bool shared = false;
    };

    /// What registering `library` writes, parents before children.
    static std::vector<Value> values(Scope scope, Bitness bitness, const std::wstring& library,
                                     const AddInRecord& record);
    /// The keys that belong to the add-in alone, deepest first: removed when
    /// emptied.
    static std::vector<std::pair<HKEY, std::wstring>> ownKeys(Scope scope, Bitness bitness);
    /// The bitness of this build.
    static Bitness thisBitness();

    /// Writes every value; on a failure removes what it wrote and returns
    /// the failure.
    static HRESULT write(Scope scope, Bitness bitness, const std::vector<Value>& values);
    /// Removes the values and then the add-in's keys that are left empty;
    /// what is already gone is no failure.
    static HRESULT remove(Scope scope, Bitness bitness, const std::vector<Value>& values);
};
