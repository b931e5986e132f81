#include "frmabout.h"

#include "messagebox.h"
#include "registrylookup.h"
#include "topmost.h"
#include "twips.h"
#include "versionrecord.h"
#include "windowfont.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

QString frmAbout::versionText(int major, int minor, int revision) {
    return QString("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

frmAbout::frmAbout(RegistryLookup& registry, trapline::MessageBoxService& messages, Starter start,
                   QWidget* owner)
    : QDialog(owner), m_registry(registry), m_messages(messages), m_start(std::move(start)) {
    setFixedSize(twipSize(5805, 5220));
    useWindowFont(this);
    setWindowTitle("About MyApp");

    placed<QLabel>(this, "picIcon", twipRect(240, 240, 720, 720))
        ->setPixmap(QPixmap(":/window/icons/trapline.xpm").scaled(48, 48));
    placed<QLabel>(this, "Image1", twipRect(240, 1575, 480, 480))
        ->setPixmap(QPixmap(":/window/icons/about.xpm").scaled(32, 32));

    lblTitle =
        placed<QLabel>(this, "lblTitle", twipRect(1005, 1575, 4515, 480), "Application Title");
    QFont titleFont("HeliosCond");
    titleFont.setPointSizeF(14.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblTitle->setStyleSheet("color: #000080;");
    lblVersion = placed<QLabel>(this, "lblVersion", twipRect(1005, 2130, 4515, 225), "Version");
    lblDescription =
        placed<QLabel>(this, "lblDescription", twipRect(1005, 2475, 4515, 1170), "App Description");
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The legal notice takes the free room left of the buttons, so that no
    // control of the box moves or shrinks for it.
    lblLegal = placed<QLabel>(this, "lblLegal", twipRect(270, 4065, 4005, 480),
                              VersionRecord::kLegalCopyright);
    lblLegal->setWordWrap(true);
    lblLegal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1 =
        placed<QLabel>(this, "Label1", twipRect(270, 3690, 5235, 240), VersionRecord::kContact);
    Label1->setCursor(Qt::PointingHandCursor);
    placed<QFrame>(this, "Line1", twipRect(225, 3975, 5310, 30))->setFrameShape(QFrame::HLine);

    cmdOK = placed<QPushButton>(this, "cmdOK", twipRect(4425, 4065, 1260, 345), "OK");
    cmdOK->setDefault(true);
    cmdSysInfo =
        placed<QPushButton>(this, "cmdSysInfo", twipRect(4440, 4425, 1245, 345), "&System Info...");
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    // Load.
    SetTopMost(this);
    setWindowTitle(QString("About ") + VersionRecord::kTitle);
    lblVersion->setText(
        versionText(VersionRecord::kMajor, VersionRecord::kMinor, VersionRecord::kRevision));
    lblTitle->setText(VersionRecord::kTitle);
    lblDescription->setText(VersionRecord::kFileDescription);
}

bool frmAbout::GetKeyValue(unsigned KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
    RegistryLookup::Value value;
    if (!m_registry.query(KeyRoot, KeyName, SubKeyRef, value)) {
        KeyVal.clear();
        return false;
    }
    if (value.type == RegistryLookup::Type::Text) {
        QByteArray bytes = value.bytes.left(1024);
        // The stored size counts a terminating NUL when there is one.
        if (!bytes.isEmpty() && bytes.back() == '\0')
            bytes.chop(1);
        KeyVal = QString::fromLocal8Bit(bytes);
    } else if (value.type == RegistryLookup::Type::Number) {
        KeyVal = QString::number(value.number);
    }
    return true;
}

void frmAbout::StartSysInfo() {
    QString path;
    const unsigned root = RegistryLookup::HKEY_LOCAL_MACHINE;
    if (GetKeyValue(root, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
        if (m_start(path))
            return;
    } else if (GetKeyValue(root, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", path)) {
        const QString program = QDir(path).filePath("MSINFO32.EXE");
        if (QFileInfo(program).isFile() && m_start(program))
            return;
    }
    m_messages.show("System Information Is Unavailable At This Time", VersionRecord::kTitle,
                    trapline::MsgIcon::None, trapline::MsgButtons::Ok);
}
