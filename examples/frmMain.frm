VERSION 5.00
Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX"
Begin VB.Form frmMain 
   BorderStyle     =   1  'Fixed Single
   Caption         =   "Книга учёта - новый счёт"
   ClientHeight    =   2745
   ClientLeft      =   45
   ClientTop       =   435
   ClientWidth     =   4815
   LinkTopic       =   "Form1"
   MaxButton       =   0   'False
   MinButton       =   0   'False
   ScaleHeight     =   2745
   ScaleWidth      =   4815
   StartUpPosition =   2  'CenterScreen
   Begin MSComctlLib.StatusBar sbMain 
      Align           =   2  'Align Bottom
      Height          =   315
      Left            =   0
      TabIndex        =   7
      Top             =   2430
      Width           =   4815
      _ExtentX        =   8493
      _ExtentY        =   556
      _Version        =   393216
      BeginProperty Panels {8E3867A5-8586-11D1-B16A-00C0F0283628} 
         NumPanels       =   1
         BeginProperty Panel1 {8E3867AB-8586-11D1-B16A-00C0F0283628} 
         EndProperty
      EndProperty
   End
   Begin VB.CommandButton cmdOK 
      Caption         =   "ОК"
      Default         =   -1  'True
      Height          =   375
      Left            =   3480
      TabIndex        =   6
      Top             =   1800
      Width           =   1215
   End
   Begin VB.ComboBox cboStatus 
      Height          =   315
      ItemData        =   "frmMain.frx":0000
      Left            =   1320
      List            =   "frmMain.frx":000E
      Style           =   2  'Dropdown List
      TabIndex        =   5
      Top             =   1080
      Width           =   3375
   End
   Begin VB.TextBox txtAmount 
      Alignment       =   1  'Right Justify
      Height          =   315
      Left            =   1320
      TabIndex        =   3
      Top             =   600
      Width           =   1575
   End
   Begin VB.TextBox txtMemo 
      BeginProperty Font 
         Name            =   "Tahoma"
         Size            =   9.75
         Charset         =   204
         Weight          =   400
         Underline       =   0   'False
         Italic          =   0   'False
         Strikethrough   =   0   'False
      EndProperty
      Height          =   345
      Left            =   1320
      TabIndex        =   1
      Top             =   120
      Width           =   3375
   End
   Begin VB.Label lblStatus 
      Caption         =   "Состояние:"
      Height          =   255
      Left            =   120
      TabIndex        =   4
      Top             =   1125
      Width           =   1095
   End
   Begin VB.Label lblAmount 
      Caption         =   "Сумма, руб.:"
      Height          =   255
      Left            =   120
      TabIndex        =   2
      Top             =   645
      Width           =   1095
   End
   Begin VB.Label lblMemo 
      Caption         =   "Содержание:"
      Height          =   255
      Left            =   120
      TabIndex        =   0
      Top             =   165
      Width           =   1095
   End
End
Attribute VB_Name = "frmMain"
Attribute VB_GlobalNameSpace = False
Attribute VB_Creatable = False
Attribute VB_PredeclaredId = True
Attribute VB_Exposed = False
'===============================================================
' Форма:      frmMain
' Назначение: ввод строк счёта и записей книги учёта
'===============================================================
Option Explicit

Private WithEvents mInvoice As CInvoice
Attribute mInvoice.VB_VarHelpID = -1

Private Sub Form_Load()
    On Error GoTo ErrHandler

    Me.Caption = APP_TITLE
    InitLedger
    Set mInvoice = New CInvoice
    mInvoice.Customer = "ООО ""Ромашка"""
    cboStatus.ListIndex = 0
    sbMain.Panels(1).Text = "Счёт № " & mInvoice.Number
#If DEBUG_BUILD Then
    DumpEntries
#End If
    Exit Sub

ErrHandler:
    ShowError "frmMain.Form_Load"
End Sub

' Кнопка «ОК»: добавить строку в счёт и запись в книгу учёта
Private Sub cmdOK_Click()
    Dim curAmount As Currency
    Dim lngEntry As Long

    curAmount = SafeCCur(txtAmount.Text)
    If curAmount <= 0 Then
        MsgBox "Введите сумму больше нуля", vbExclamation, APP_TITLE
        txtAmount.SetFocus
        Exit Sub
    End If

    mInvoice.AddLine txtMemo.Text, 1, curAmount
    lngEntry = AddEntry(Date, "62.01", curAmount, txtMemo.Text)
    gEntries(lngEntry).Status = cboStatus.ItemData(cboStatus.ListIndex)

    txtMemo.Text = ""
    txtAmount.Text = ""
    txtMemo.SetFocus
End Sub

Private Sub mInvoice_Changed()
    sbMain.Panels(1).Text = "Счёт № " & mInvoice.Number & ", итого " & _
                            FormatMoney(mInvoice.Total)
End Sub

Private Sub Form_Unload(Cancel As Integer)
    If mInvoice.Total > 0 Then
        If MsgBox("Закрыть счёт и выйти?", vbQuestion + vbYesNo, APP_TITLE) = vbNo Then
            Cancel = 1
            Exit Sub
        End If
        mInvoice.SetLocked True
    End If
    Set mInvoice = Nothing
End Sub
