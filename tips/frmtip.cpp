#include "frmtip.h"

#include "../window/settingsstore.h"
#include "topmost.h"
#include "twips.h"
#include "windowfont.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>

QString frmTip::missingFileMessage() {
    return QString("That the ") + kFileName + " file was not found? " + "\r\n" + "\r\n" +
           "Create a text file named " + kFileName + " using NotePad with 1 tip per line. " +
           "Then place it in the same directory as the application. ";
}

frmTip::frmTip(SettingsStore& settings, QString tipsFile, QWidget* owner)
    : QDialog(owner), m_settings(settings) {
    setWindowTitle("Tip of the Day");
    setWindowIcon(QIcon(":/window/icons/tips.xpm"));
    setFixedSize(twipSize(5415, 3285));
    setAttribute(Qt::WA_DeleteOnClose);
    useWindowFont(this);

    auto* picture = placed<QLabel>(this, "Picture1", twipRect(120, 120, 3735, 2715));
    picture->setAutoFillBackground(true);
    picture->setStyleSheet("background: white; border: 1px solid gray;");
    auto* icon = new QLabel(picture);
    icon->setPixmap(QPixmap(":/window/icons/tips.xpm"));
    icon->setGeometry(6, 6, 32, 32);
    Label1 = placed<QLabel>(picture, "Label1", twipRect(540, 180, 2655, 255),
                            QString::fromUtf8("Знаете ли Вы..."));
    lblTipText = placed<QLabel>(picture, "lblTipText", twipRect(180, 615, 3255, 1860));
    lblTipText->setWordWrap(true);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QLabel* l : {Label1, lblTipText})
        l->setStyleSheet("background: white; border: none;");
    useBoldWindowFont(Label1);

    cmdOK = placed<QPushButton>(this, "cmdOK", twipRect(4080, 120, 1215, 375), "OK");
    cmdOK->setDefault(true);
    cmdNextTip =
        placed<QPushButton>(this, "cmdNextTip", twipRect(4080, 600, 1215, 375), "&Next Tip");
    chkLoadTipsAtStartup =
        placed<QCheckBox>(this, "chkLoadTipsAtStartup", twipRect(120, 2940, 3450, 315),
                          QString::fromUtf8("&Показывать окно при запуске"));

    // OK is the cancel button too: Esc closes the window like a dialog does.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdNextTip, &QPushButton::clicked, this, &frmTip::ShowRandomTip);
    connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this, &frmTip::chkLoadTipsAtStartup_Click);

    // The load sequence.
    SetTopMost(this);
    chkLoadTipsAtStartup->setChecked(true); // a change, so it stores "1"
    m_random.seed(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
    if (!LoadTips(tipsFile))
        lblTipText->setText(QString(missingFileMessage()).replace("\r\n", "\n"));
}

bool frmTip::LoadTips(const QString& sFIle) {
    if (sFIle.isEmpty() || !QFileInfo(sFIle).isFile())
        return false;
    QFile file(sFIle);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The tips file is ANSI text in the Russian code page, one tip a line.
    QStringDecoder decode("windows-1251");
    const QByteArray bytes = file.readAll();
    const QString text = decode.isValid() ? decode(bytes) : QString::fromLatin1(bytes);
    static const QRegularExpression marker("vbCrLf", QRegularExpression::CaseInsensitiveOption);
    QStringList lines = text.split("\n");
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back(); // the end of the last line, not a line of its own
    for (QString line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        m_tips << line.replace(marker, "\r\n");
    }
    ShowRandomTip();
    return true;
}

void frmTip::ShowRandomTip() {
    const double r = m_random.generateDouble();
    m_currentTip = static_cast<int>(std::floor(r * static_cast<double>(m_tips.size()) + 1));
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip() {
    if (m_tips.isEmpty())
        return;
    // A label shows CR LF as two breaks; one is what the tip means.
    lblTipText->setText(QString(m_tips[m_currentTip - 1]).replace("\r\n", "\n"));
}

void frmTip::chkLoadTipsAtStartup_Click() {
    m_settings.SaveSetting(SettingsStore::kApplication, "Options", "Show Tips at Startup",
                           chkLoadTipsAtStartup->isChecked() ? "1" : "0");
}
