#include "frmabout.h"

#include "messagebox.h"
#include "registrylookup.h"
#include "topmost.h"
#include "twips.h"
#include "versionrecord.h"

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
    setWindowTitle("About MyApp");

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    picIcon->setPixmap(QPixmap(":/window/icons/trapline.xpm").scaled(48, 48));
    picIcon->setGeometry(twipRect(240, 240, 720, 720));
    auto* Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(QPixmap(":/window/icons/about.xpm").scaled(32, 32));
    Image1->setGeometry(twipRect(240, 1575, 480, 480));

    lblTitle = new QLabel("Application Title", this);
    lblTitle->setObjectName("lblTitle");
    lblTitle->setGeometry(twipRect(1005, 1575, 4515, 480));
    QFont titleFont("HeliosCond");
    titleFont.setPointSizeF(14.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblTitle->setStyleSheet("color: #000080;");
    lblVersion = new QLabel("Version", this);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setGeometry(twipRect(1005, 2130, 4515, 225));
    lblDescription = new QLabel("App Description", this);
    lblDescription->setObjectName("lblDescription");
    lblDescription->setGeometry(twipRect(1005, 2475, 4515, 870));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblLegal = new QLabel(VersionRecord::kLegalCopyright, this);
    lblLegal->setObjectName("lblLegal");
    lblLegal->setGeometry(twipRect(1005, 3345, 4515, 300));
    Label1 = new QLabel(VersionRecord::kContact, this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(twipRect(270, 3690, 5235, 240));
    Label1->setCursor(Qt::PointingHandCursor);
    auto* Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setGeometry(twipRect(225, 3975, 5310, 30));

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(twipRect(4425, 4065, 1260, 345));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setGeometry(twipRect(4440, 4425, 1245, 345));
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
