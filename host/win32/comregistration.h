#pragma once

#include "addinrecord.h"

#include <windows.h>

#include <string>
#include <vector>

/// The registry entries of the COM server: the class Trapline.Connect, its
/// type library and its default interface, for the machine or for the user,
/// and the add-in entries the editors of the DLL's bitness read (x86: VB6
/// and 32-bit Office; x64: 64-bit Office). Every value is written and read
/// in the registry view of the DLL's bitness, as its own regsvr32 sees it, so
/// that one process can also act for the other bitness.
///
/// Several registrations may meet in one key: the DLLs of both bitnesses,
/// another copy of the DLL, the MSI's, one per user beside one for the
/// machine. Which values are whose, as remove() applies it:
///  - A value that names a DLL (the class's InprocServer32 default, the type
///    library's `0\win32`/`0\win64`) is that DLL's: it goes only when it
///    names this one (the same file). The class's ThreadingModel goes with
///    its default. When neither names this DLL, nothing is removed at all:
///    not the class, the ProgID, the type library, the interface nor the
///    add-in entry, since they are another registration's.
///  - A value that names no DLL (the ProgID, the type library's name, FLAGS
///    and HELPDIR, the interface's keys) is shared by every registration of
///    the scope that reads that very key: it goes with the last of them. A
///    registration of a bitness is its type library path; it reads a key as
///    its view shows it, and whether two views show one key or two is asked
///    of the registry (on Windows CLSID and Interface are one per view,
///    ProgIDs and TypeLib one for both; wine 8 has one view under HKCU).
///    HELPDIR, the folder of the DLL registered last, then names the folder
///    of a DLL that stays.
///  - The add-in entry (HKCU, one per bitness) lists the ProgID for the
///    editors of that bitness, whether the class is the machine's or the
///    user's: its values (LoadBehavior and CommandLineSafe too, though the
///    user may have changed them) go when no registration of that bitness is
///    left in either scope. Values of others in it stay.
/// A key goes only when nothing is left in it.
class ComRegistration {
public:
    enum class Scope { Machine, User };
    enum class Bitness { x86, x64 };

    /// Whose a value is (see above).
    enum class Part {
        Class,   ///< the class's InprocServer32: its default names the DLL
        Library, ///< the type library's path for the DLL's bitness
        Common,  ///< names no DLL: shared by the registrations reading its key
        Folder,  ///< a Common value naming the folder of the DLL registered last
        AddIn,   ///< the add-in entry of the DLL's bitness
    };

    struct Value {
        HKEY root;
        std::wstring key;
        std::wstring name; ///< empty: the key's default value
        DWORD type;        ///< REG_SZ or REG_DWORD
        std::wstring text;
        DWORD number = 0;
        Part part = Part::Common;
        /// The user or the IDE may change it (LoadBehavior): written only
        /// where the entry has none yet, so that registering again keeps it.
        bool usersToSet = false;
    };

    /// What registering `library` writes, parents before children.
    static std::vector<Value> values(Scope scope, Bitness bitness, const std::wstring& library,
                                     const AddInRecord& record);
    /// The keys that belong to the add-in alone, deepest first: removed when
    /// emptied.
    static std::vector<std::pair<HKEY, std::wstring>> ownKeys(Scope scope, Bitness bitness);
    /// The bitness of this build.
    static Bitness thisBitness();
    /// The registry view of a bitness's processes: KEY_WOW64_64KEY or
    /// KEY_WOW64_32KEY (ignored where Windows has one view).
    static REGSAM view(Bitness bitness);

    /// Writes every value, but a value the user may set where it is already;
    /// on a failure puts back what was there before (values and keys) and
    /// returns the failure.
    static HRESULT write(Scope scope, Bitness bitness, const std::vector<Value>& values);
    /// Removes what of `values` is this registration's by the rule above (the
    /// DLL being the path its class value names), and then the add-in's keys
    /// that are left empty; what is already gone, or another's, is no failure.
    static HRESULT remove(Scope scope, Bitness bitness, const std::vector<Value>& values);
};
