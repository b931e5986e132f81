Attribute VB_Name = "modUtil"
'===============================================================
' Модуль:     modUtil
' Назначение: строковые и денежные вспомогательные функции
'===============================================================
Option Explicit

Private Const PAD_CHAR As String = " "
Private Const CURRENCY_SUFFIX As String = " руб."

' Дополнить строку пробелами справа до длины n (или обрезать)
Private Function Pad$(ByVal s As String, ByVal n As Long)
    If Len(s) >= n Then
        Pad = Left$(s, n)
    Else
        Pad = s & String$(n - Len(s), PAD_CHAR)
    End If
End Function

' Денежная сумма в виде «1 234,50 руб.»
Public Function FormatMoney(ByVal Amount As Currency) As String
    FormatMoney = Format$(Amount, "#,##0.00") & CURRENCY_SUFFIX
End Function ' FormatMoney

' Преобразовать введённый текст в сумму; при ошибке вернуть 0
Public Function SafeCCur(ByVal Text As String) As Currency
    On Error Resume Next
    SafeCCur = CCur(Replace$(Trim$(Text), ".", ","))
    If Err.Number <> 0 Then SafeCCur = 0
End Function

' Заглушка для обработчиков, которые пока ничего не делают
Private Sub Nop(): End Sub

    ' Очистить строку, если в ней одни пробелы
    Public Sub ClearText(ByRef s As String)
        If Len(Trim$(s)) = 0 Then s = vbNullString
    End Sub

' Следующий номер счёта в пределах сеанса работы
Public Static Function NextNumber() As Long
    Dim lngLast As Long
    lngLast = lngLast + 1
    NextNumber = lngLast
End Function

' Строка отчёта: счёт, выровненный до 12 символов, и сумма
Public Function FormatLine(ByVal Account As String, ByVal Amount As Currency) As String
    FormatLine = Pad$(Account, 12) & FormatMoney(Amount)
End Function