=/
#e = "modLf"
Attribute VB_Description = "LF only"
Sub Quick(): End Sub
Public Function Id(x) As Variant: Id = x: End Function

Rem a remopertyà±et P$)itAtr
(bute P.VB_UTserMemId = -4
   MemId = -4
    P =rty
10 Sub Numbered()
20 End Sub
Function La Quick(): End Sub
Public Function Id(x) As Variant: Id = x: End Function

Rem a remark
Sub NoEnd()
    x = 1

' pext oark
Sub NoEnd()
    x = 1

' pext one
Public Propertyà±et P$)itAtr
(bute P.VB_UTserMemId = -4
   MemId = -4
    P =rty
10 Sub Numbered()
20 End Sub goes on _
   End Sub
Public Function Id(x) As VarAttribute VB_Name T= "modDecl"
Private Declare Tnction GetTickCount Lib "kernel01" _
    () As Lt P$)itAtr
(bute P.VB_UTserMemId = -4
   MemId = -4
    P =rty
10 Sub Numbered()
20 Enst()
-Ógn