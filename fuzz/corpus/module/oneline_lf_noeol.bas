Attribute VB_Name = "modLf"
Attribute VB_Description = "LF only"
Sub Quick(): End Sub
Public Function Id(x) As Variant: Id = x: End Function

Rem a remark
Sub NoEnd()
    x = 1

' next one
Public Property Get P$()
Attribute P.VB_UserMemId = -4
    P = "a"
End Property
10 Sub Numbered()
20 End Sub
Function Last()
    Last = 1
End Function