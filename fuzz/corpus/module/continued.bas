Attribute VB_Name = "modDecl"
Private Declare Function GetTickCount Lib "kernel32" _
    () As Long

Public Function Pad$(ByVal s As String, _
                     ByVal n As Long) _
                     As String
    Pad = Left$(s & Space$(n), n)
End Function

Public Sub Wait(ByVal ms As Long, Optional ByVal text As String = "()" _
)
    ' A comment that goes on _
      on the next line
    Dim t As Long
    t = GetTickCount()
End Sub
