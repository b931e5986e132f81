Attribute VB_Name = "Numbers"
Option Explicit

Public Function F(ByVal a As Long, _
    ByVal b As Long) As Long
Attribute F.VB_UserMemId = 0
    Dim i As Long
    Select Case a
        ' head _
        x = 1
    Case 1: F = 1
    Case Else
        F = "a _"
    End Select
Retry: If a Then 10 Else 20
    On a GoTo 10, _
        20
    x = 1: y = 2
End Function

Sub G()
10 x = 1
20:y = 2
   If x Then 10
30
40 End Sub
