Attribute VB_Name = "M"
#If Win64 Then
Private Sub G(ByVal t As LongPtr)
#Else
#If Mac _
  Then
Private Sub G(ByVal t As Long)
#End If
#End If ' 32 bits _
  and 64
    x = t
End Sub
