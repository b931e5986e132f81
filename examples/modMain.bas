Attribute VB_Name = "modMain"
'===============================================================
' Модуль:     modMain
' Назначение: хранение записей книги учёта и общие операции
'===============================================================
Option Explicit

Public Const APP_TITLE As String = "Книга учёта"
Private Const MAX_ENTRIES As Long = 500

' Состояние записи книги
Public Enum LedgerStatus
    lsDraft = 0
    lsPosted = 1
    lsCancelled = 2
End Enum

' Одна запись книги учёта
Public Type LedgerEntry
    EntryDate As Date
    Account As String
    Amount As Currency
    Memo As String
    Status As LedgerStatus
End Type

Private Declare Function GetTickCount Lib "kernel32" () As Long

Public gEntries() As LedgerEntry
Public gEntryCount As Long
Private mStartTick As Long

'---------------------------------------------------------------
' Процедура:  InitLedger
' Назначение: подготовить пустую книгу учёта
'---------------------------------------------------------------
Public Sub InitLedger()
    ReDim gEntries(1 To MAX_ENTRIES)
    gEntryCount = 0
    mStartTick = GetTickCount()
End Sub

'---------------------------------------------------------------
' Функция:    Sum
' Назначение: сумма первых Count элементов массива Values
'---------------------------------------------------------------
Public Function Sum(Values() As Double, _
    ByVal Count As Long) As Double
    On Error GoTo ErrHandler
    Dim i As Long
    Dim dblTotal As Double

    For i = LBound(Values) To LBound(Values) + Count - 1
        dblTotal = dblTotal + Values(i)
    Next i
    Sum = dblTotal
    Exit Function

ErrHandler:
    MsgBox "Ошибка при суммировании: " & Err.Description, vbExclamation, APP_TITLE
    Sum = 0
End Function

'---------------------------------------------------------------
' Функция:    AddEntry
' Назначение: добавить запись в книгу; возвращает её номер
'---------------------------------------------------------------
Public Function AddEntry(ByVal EntryDate As Date, _
                         ByVal Account As String, _
                         ByVal Amount As Currency, Optional ByVal Memo As String = "") As Long
    If gEntryCount >= MAX_ENTRIES Then
        Err.Raise vbObjectError + 1001, "modMain.AddEntry", "Книга учёта заполнена"
    End If
    gEntryCount = gEntryCount + 1
    With gEntries(gEntryCount)
        .EntryDate = EntryDate
        .Account = Account
        .Amount = Amount
        .Memo = Memo
        .Status = lsDraft
    End With
    AddEntry = gEntryCount
End Function

' Сколько миллисекунд прошло с момента Start
#If Win64 Then
Private Function Elapsed(ByVal Start As LongPtr) As LongPtr
#Else
Private Function Elapsed(ByVal Start As Long) As Long
#End If
    Elapsed = GetTickCount() - Start
End Function

#If DEBUG_BUILD Then
' Отладочная печать содержимого книги в окно Immediate
Public Sub DumpEntries()
    Dim i As Long
    Debug.Print "Записей: "; gEntryCount; ", прошло мс: "; Elapsed(mStartTick)
    For i = 1 To gEntryCount
        With gEntries(i)
            Debug.Print i, Format$(.EntryDate, "dd.mm.yyyy"), .Account, .Amount, .Memo
        End With
    Next i
End Sub
#End If

'---------------------------------------------------------------
' Функция:    ParseSub
' Назначение: выделить субсчёт из номера счёта ("62.01" -> "01")
'---------------------------------------------------------------
Public Function ParseSub(ByVal Account As String) As String
    Dim lngPos As Long
    lngPos = InStr(1, Account, ".")
    If lngPos > 0 Then
        ParseSub = Mid$(Account, lngPos + 1)
    Else
        ParseSub = ""
    End If
End Function

'---------------------------------------------------------------
' Функция:    EntryTotal
' Назначение: итог по проведённым записям
' Примечание: On Error здесь намеренно не ставится - ошибку
'             переполнения должен увидеть вызывающий код.
'---------------------------------------------------------------
Public Function EntryTotal() As Currency
    Dim i As Long
    Dim curTotal As Currency
    For i = 1 To gEntryCount
        If gEntries(i).Status = lsPosted Then
            curTotal = curTotal + gEntries(i).Amount
        End If
    Next i
    EntryTotal = curTotal
End Function

' Поиск записи по содержанию; 0 - если не найдена
Public Function FindEntry(ByVal Memo As String) As Long
    Dim i As Long
10  For i = 1 To gEntryCount
20      If StrComp(gEntries(i).Memo, Memo, vbTextCompare) = 0 Then
30          FindEntry = i
40          Exit Function
50      End If
60  Next i
70  FindEntry = 0
End Function

'---------------------------------------------------------------
' Процедура:  ShowError
' Назначение: единое сообщение об ошибке для всего приложения
'---------------------------------------------------------------
Public Sub ShowError(ByVal Source As String)
    MsgBox "Ошибка " & Err.Number & " в " & Source & ":" & vbCrLf & _
           Err.Description, vbCritical, APP_TITLE
End Sub

' Строка в журнал: в отладочной сборке - с отметкой времени
#If DEBUG_BUILD Then
Public Sub WriteLog(ByVal Text As String)
    Debug.Print Format$(Now, "hh:nn:ss"); " "; Text
End Sub
#Else
Public Sub WriteLog(ByVal Text As String)
    Debug.Print Text
End Sub
#End If

' Сколько записей можно загрузить; не больше MAX_ENTRIES
#If Win64 Then
Public Function EntryLimit(ByVal Wanted As LongPtr, _
                           Optional ByVal Reserve As LongPtr = 0) As Long
    If Wanted + Reserve > MAX_ENTRIES Then Wanted = MAX_ENTRIES - Reserve
    EntryLimit = CLng(Wanted)
End Function
#Else
Public Function EntryLimit(ByVal Wanted As Long, Optional ByVal Reserve As Long = 0) As Long
    If Wanted + Reserve > MAX_ENTRIES Then Wanted = MAX_ENTRIES - Reserve
    EntryLimit = Wanted
End Function
#End If

#If False Then
' Прежняя FindEntry: сравнивала с учётом регистра букв; оставлена для сравнения
Public Function FindEntry(ByVal Memo As String) As Long
    Dim i As Long
    For i = 1 To gEntryCount
        If gEntries(i).Memo = Memo Then
            FindEntry = i
            Exit Function
        End If
    Next i
End Function
#End If



