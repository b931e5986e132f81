Attribute VB_Name = "modMain"
Option Explicit

Private m_count As Long

' Adds one.
Public Sub Bump()
    m_count = m_count + 1
End Sub

Public Function Count() As Long
    On Error Resume Next
    Count = m_count
End Function
