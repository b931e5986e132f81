#include "qtconnectsystem.h"

#include "addinlibrary.h"
#include "clipboardsnapshot.h"
#include "commandbarcontrol.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QWidget>

std::unique_ptr<ConnectSystem> ConnectSystem::make() {
    return std::make_unique<QtConnectSystem>();
}

frmAddIn::Services QtConnectSystem::services() {
    return {m_messages, m_settings, m_registry,
            [](const std::string& program) {
                return QProcess::startDetached(QString::fromStdString(program), {});
            },
            AddInLibrary::folder().toStdString()};
}

trapline::Result<void> QtConnectSystem::pasteFace(vbide::CommandBarControl& control) {
    auto picture = AddInLibrary::LoadResPicture("MENUBMP");
    if (!picture)
        return picture.error();
    // The clipboard is the only way a face reaches a control; what the user
    // had copied is given back right after.
    ClipboardSnapshot saved;
    QGuiApplication::clipboard()->setImage(*picture);
    auto pasted = control.PasteFace();
    saved.restore();
    return pasted;
}

void QtConnectSystem::adopt(frmAddIn& window) {
    static_cast<QWidget*>(window.windowHandle())->setAttribute(Qt::WA_QuitOnClose, false);
}
