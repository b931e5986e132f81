Attribute VB_Name = "modIf"
#Const DEBUG_BUILD = 1

#If DEBUG_BUILD Then
Public Sub Trace(ByVal s As String)
#Else
Private Sub Trace(ByVal s As String)
#End If
    Debug.Print s
End Sub

#If Win64 Then
Private Function Ptr() As LongPtr
    Ptr = 0
End Function
#Else
Private Function Ptr() As Long
    Ptr = 0
End Function
#End If

#If DEBUG_BUILD Then
Sub Half()
    Debug.Print 1
#Else
    Debug.Print 2
#End If
End Sub
