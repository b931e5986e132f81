#include "f_dialog.h"

#include "forms.h"
#include "templatefiles.h"
#include "templatekeys.h"
#include "topmost.h"
#include "twips.h"
#include "windowfont.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

QToolButton* pictureButton(QWidget* parent, const char* name, const char* icon, const QString& tip,
                           QRect geometry) {
    auto* b = placed<QToolButton>(parent, name, geometry);
    b->setIcon(QIcon(QString(":/window/icons/") + icon + ".xpm"));
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

QSize f_Dialog::minimumOuterSize() {
    return twipSize(3500, 2000);
}

f_Dialog::f_Dialog(QWidget* owner) : QDialog(owner) {
    setObjectName("f_Dialog");
    setWindowTitle(QString::fromUtf8("Диалог ввода текста"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setModal(true);
    useWindowFont(this);
    resize(twipSize(6060, 3465));
    setMinimumSize(minimumOuterSize());

    cmdLoadFromFile =
        pictureButton(this, "cmdLoadFromFile", "load", QString::fromUtf8("Загрузить из файла"),
                      twipRect(90, 45, 330, 285));
    cmdSaveToFile = pictureButton(this, "cmdSaveToFile", "save", QString::fromUtf8("Сохранить"),
                                  twipRect(420, 45, 330, 285));
    cmdUndo = pictureButton(this, "cmdUndo", "undo", QString::fromUtf8("Отменить"),
                            twipRect(750, 45, 330, 285));
    cmdTab = pictureButton(this, "cmdTab", "tab", QString::fromUtf8("Вставить символ табуляции"),
                           twipRect(1080, 45, 330, 285));
    cmdModule = placed<QPushButton>(this, "cmdModule", twipRect(1410, 45, 330, 285), "M");
    cmdModule->setToolTip(QString::fromUtf8("Вставить имя модуля"));
    cmdProc = placed<QPushButton>(this, "cmdProc", twipRect(1740, 45, 330, 285), "P");
    cmdProc->setToolTip(QString::fromUtf8("Вставить имя процедуры"));
    for (QPushButton* b : {cmdModule, cmdProc})
        b->setAutoDefault(false);

    TXT = placed<QPlainTextEdit>(this, "TXT", twipRect(90, 405, 4515, 2715));
    TXT->setLineWrapMode(QPlainTextEdit::NoWrap);
    TXT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TXT->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    frCmd = placed<QFrame>(this, "frCmd", twipRect(4680, 405, 1320, 915));
    frCmd->setFrameShape(QFrame::NoFrame);
    OKButton = placed<QPushButton>(frCmd, "OKButton", twipRect(45, 45, 1215, 375), "OK");
    OKButton->setDefault(true);
    CancelButton =
        placed<QPushButton>(frCmd, "CancelButton", twipRect(45, 450, 1215, 375), "Cancel");
    CancelButton->setAutoDefault(false);
    setTabOrder(TXT, cmdLoadFromFile);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        ResultText = TXT->toPlainText();
        Confirmed = true;
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        Confirmed = false;
        reject();
    });
    connect(cmdLoadFromFile, &QToolButton::clicked, this, [this] {
        if (!Files)
            return;
        const std::string text =
            Files->LoadTextFromFile(forms::FormOwner{nullptr, static_cast<QWidget*>(this)});
        if (!text.empty())
            TXT->setPlainText(QString::fromStdString(text));
    });
    connect(cmdSaveToFile, &QToolButton::clicked, this, [this] {
        if (Files)
            Files->SaveTextToFile(TXT->toPlainText().toStdString(),
                                  forms::FormOwner{nullptr, static_cast<QWidget*>(this)});
    });
    connect(cmdUndo, &QToolButton::clicked, this, [this] { TxtML.Undo(); });
    connect(cmdTab, &QToolButton::clicked, this, [this] { replaceSelection("\t"); });
    connect(cmdModule, &QPushButton::clicked, this, [this] { replaceSelection("#MODULE#"); });
    connect(cmdProc, &QPushButton::clicked, this, [this] { replaceSelection("#PROC#"); });
    new TemplateKeys(this, OKButton, CancelButton);

    // Load.
    SetTopMost(this);
    TxtML.bind(TXT);
    TxtML.SetTabStopDistance(10);
}

void f_Dialog::replaceSelection(const QString& text) {
    // The text goes where the caret was; the focus stays on the button.
    TXT->textCursor().insertText(text);
}

void f_Dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The minimum is the window's outer size: the frame is known only now.
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(minimumOuterSize() - frame);
    // Typing goes into the text, whatever had the focus when it last closed.
    TXT->setFocus(Qt::OtherFocusReason);
}

void f_Dialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int width = this->width(), height = this->height();
    frCmd->move(width - frCmd->width(), frCmd->y());
    const int left = twipsToPixels(90);
    TXT->setGeometry(left, TXT->y(), width - left - frCmd->width(), height - TXT->y() - left);
}

void f_Dialog::closeEvent(QCloseEvent* event) {
    // Closed by its frame, the text was not confirmed.
    Confirmed = false;
    QDialog::closeEvent(event);
}
