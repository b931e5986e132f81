#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class RegistryLookup;
namespace trapline {
class MessageBoxService;
}

/// The About box: title, version, description, legal notice, and a button
/// that starts the System Information program where the registry names one.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    /// Starts a program; false when it could not be started.
    using Starter = std::function<bool(const QString& program)>;

    frmAbout(RegistryLookup& registry, trapline::MessageBoxService& messages, Starter start,
             QWidget* owner = nullptr);

    /// "Version major.minor.revision".
    static QString versionText(int major, int minor, int revision);
    /// Reads a registry value as text: the value's text without one
    /// terminating NUL, or a number in decimal.
    bool GetKeyValue(unsigned KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);
    void StartSysInfo();

    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblLegal;
    QLabel* Label1;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

private:
    RegistryLookup& m_registry;
    trapline::MessageBoxService& m_messages;
    Starter m_start;
};
