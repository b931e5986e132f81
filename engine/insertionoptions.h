#pragma once

#include <string>

namespace trapline {

class Component;

/// The header template the window starts with.
inline constexpr const char* kDefaultHeader = "ON ERROR GOTO err_debug\r\n";
/// The footer template the window starts with: five lines, no final line end.
inline constexpr const char* kDefaultFooter =
    "lb_out:\r\n"
    "\tEXIT ???\r\n"
    "err_debug:\r\n"
    "\tMsgBox err.Number & \": \" & err.Description,vbcritical,\"Error in #MODULE#.#PROC#\"\r\n"
    "\tResume lb_out";

/// The choices of one insertion run or procedure-list fill, as the window's
/// controls hold them. Texts are UTF-8; template line breaks are CR LF.
struct InsertionOptions {
    std::string moduleName = "*"; ///< a component name or "*"
    std::string procName = "*";   ///< a display name or "*"
    bool onlySub = false;
    bool onlyFunc = false;
    bool onlyProperty = false;
    bool skipTrapped = true; ///< leave out procedures that hold "On Error " (with "*")
    bool withComment = true; ///< inserted lines are comments
    bool useDefault = true;  ///< the standard handler; otherwise header and footer
    /// The standard handler's call also passes the line `Erl` names (numbered
    /// lines only); off, its text is the handler's as it always was.
    bool erl = false;
    std::string header = kDefaultHeader;
    std::string footer = kDefaultFooter;
    bool confirm = true; ///< ask "Вставлять обработку ошибок ?" first
    /// When set, only this component is catalogued and treated.
    Component* component = nullptr;
};

} // namespace trapline
