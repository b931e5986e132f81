#include "projectgenerator.h"

namespace {

const char* kStatements[] = {
    "    Dim i As Long",
    "    Dim strName As String",
    "    strName = Trim$(txtName.Text)",
    "    If Len(strName) = 0 Then Exit Function",
    "    For i = 1 To mCount",
    "        mTotal = mTotal + mItems(i).Amount",
    "    Next i",
    "    Set rs = db.OpenRecordset(\"SELECT * FROM Orders WHERE ID = \" & lngID)",
    "    Do While Not rs.EOF",
    "        rs.MoveNext",
    "    Loop",
    "    ' \xcf\xf0\xee\xe2\xe5\xf0\xea\xe0 \xf1\xf3\xec\xec\xfb \xef\xe5\xf0\xe5\xe4 "
    "\xe7\xe0\xef\xe8\xf1\xfc\xfe",
    "    MsgBox \"\xce\xf8\xe8\xe1\xea\xe0 \xe2\xe2\xee\xe4\xe0\", vbExclamation",
    "    Select Case lngKind",
    "        Case 1: curRate = 0.18",
    "        Case Else: curRate = 0",
    "    End Select",
    "    With mInvoice",
    "        .Total = .Total + curAmount",
    "    End With",
    "    Call WriteLog(\"done\", _\r\n                  lngID)",
    "",
};

} // namespace

std::string ProjectGenerator::bodyLine() {
    return kStatements[pick(sizeof kStatements / sizeof *kStatements)];
}

std::string ProjectGenerator::procedure(const std::string& name, long bodyLines) {
    std::string out;
    if (pick(3) == 0)
        out += "'-------------------------------------------------\r\n"
               "' \xcd\xe0\xe7\xed\xe0\xf7\xe5\xed\xe8\xe5: " +
               name +
               "\r\n"
               "'-------------------------------------------------\r\n";
    std::string end;
    int shape = pick(10);
    if (shape < 4) {
        out += "Public Sub " + name + "(ByVal lngID As Long)\r\n";
        end = "End Sub";
    } else if (shape < 7) {
        out += "Private Function " + name +
               "(ByVal strName As String, _\r\n"
               "    Optional ByVal lngFlags As Long = 0) As Boolean\r\n";
        end = "End Function";
    } else if (shape < 8) {
        out += "Public Property Get " + name + "() As Currency\r\n";
        out += "Attribute " + name + ".VB_Description = \"\xd1\xf3\xec\xec\xe0\"\r\n";
        end = "End Property";
    } else if (shape < 9) {
        out += "Friend Function " + name +
               "(Values() As Double, _\r\n    ByVal n As Long) As Double\r\n";
        end = "End Function";
    } else {
        out += "Private Sub " + name + "()\r\n";
        end = "End Sub";
    }
    bool handler = pick(5) == 0;
    if (handler)
        out += "    On Error GoTo ErrHandler\r\n";
    for (long i = 0; i < bodyLines; ++i)
        out += bodyLine() + "\r\n";
    if (handler)
        out +=
            "    Exit " + end.substr(4) + "\r\nErrHandler:\r\n    ShowError \"" + name + "\"\r\n";
    out += end + "\r\n\r\n";
    ++m_procedures;
    return out;
}

std::string ProjectGenerator::module(const std::string& name, long lines, long procedures) {
    std::string out = "Attribute VB_Name = \"" + name +
                      "\"\r\nOption Explicit\r\n\r\n"
                      "Private mCount As Long\r\nPrivate mTotal As Currency\r\n"
                      "#If Win64 Then\r\nPrivate Declare PtrSafe Function GetTickCount Lib "
                      "\"kernel32\" () As Long\r\n#Else\r\nPrivate Declare Function GetTickCount "
                      "Lib \"kernel32\" () As Long\r\n#End If\r\n\r\n";
    // Each procedure takes its declaration, End, blank line and a few more.
    long body = std::max(1L, lines / std::max(1L, procedures) - 7);
    for (long p = 0; p < procedures; ++p)
        out += procedure(name + "_P" + std::to_string(p), body - 2 + pick(5));
    return out;
}
