#include "frmaddin.h"

#include "../tips/frmabout.h"
#include "../tips/frmtip.h"
#include "../tips/modresfiles.h"
#include "dropdowncombo.h"
#include "errormodule.h"
#include "f_dialog.h"
#include "insertionrun.h"
#include "procpicker.h"
#include "qtforms.h"
#include "settingsstore.h"
#include "templatekeys.h"
#include "topmost.h"
#include "twips.h"
#include "vbe.h"
#include "windowfont.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

/// Resources of a static library are registered by hand.
static void initAddInResources() {
    Q_INIT_RESOURCE(window);
    Q_INIT_RESOURCE(tips);
}

namespace {

const QString kOptions = "Options";
const QString kShowTips = "Show Tips at Startup";

/// The window's log box and the hourglass, for the engine's runs. Lines are
/// kept and go into the box together: each insertion lays the box out again,
/// which over a run of thousands of procedures costs more than the run. The
/// box is whole whenever the user can see it: when the run ends and before
/// each of its message boxes (see FlushingMessages).
class WindowReporter : public trapline::RunReporter {
public:
    explicit WindowReporter(QPlainTextEdit* log) : m_log(log) {}
    ~WindowReporter() override { flush(); }
    WindowReporter(const WindowReporter&) = delete;
    WindowReporter& operator=(const WindowReporter&) = delete;

    void log(const std::string& line) override { m_pending += line; }
    void busy(bool on) override {
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            flush();
            QApplication::restoreOverrideCursor();
        }
    }
    void flush() {
        if (m_pending.empty())
            return;
        QString text = QString::fromStdString(m_pending);
        m_pending.clear();
        text.replace("\r\n", "\n");
        QTextCursor end(m_log->document());
        end.movePosition(QTextCursor::End);
        end.insertText(text);
    }

private:
    QPlainTextEdit* m_log;
    std::string m_pending;
};

/// The add-in's message boxes, with the log box brought up to date first.
class FlushingMessages : public trapline::MessageBoxService {
public:
    FlushingMessages(trapline::MessageBoxService& boxes, WindowReporter& reporter)
        : m_boxes(boxes), m_reporter(reporter) {}
    trapline::MsgAnswer show(const std::string& text, const std::string& title,
                             trapline::MsgIcon icon, trapline::MsgButtons buttons) override {
        m_reporter.flush();
        return m_boxes.show(text, title, icon, buttons);
    }

private:
    trapline::MessageBoxService& m_boxes;
    WindowReporter& m_reporter;
};

QString crlf(QString text) {
    return text.replace("\n", "\r\n");
}

} // namespace

frmAddIn::frmAddIn(trapline::VBE* vbe, Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), VBInstance(vbe), m_services(std::move(services)),
      m_templateFiles({m_services.messages, m_services.addInFolder, [this] {
                           const trapline::Project* project =
                               VBInstance ? VBInstance->ActiveVBProject() : nullptr;
                           return project ? project->codepage() : trapline::Codepage();
                       }}) {
    initAddInResources();
    setObjectName("frmAddIn");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // The designed client area; the size never changes.
    setFixedSize(twipSize(4605, 9015));
    setWindowIcon(QIcon(":/window/icons/trapline.xpm"));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(grey);
    setAutoFillBackground(true);

    useWindowFont(this);
    auto label = [&](const char* name, const char* text, QRect r) {
        auto* l = placed<QLabel>(this, name, r, QString::fromUtf8(text));
        useBoldWindowFont(l);
        return l;
    };
    auto check = [&](const char* name, const char* text, bool checked, QRect r) {
        auto* c = placed<QCheckBox>(this, name, r, QString::fromUtf8(text));
        c->setChecked(checked);
        return c;
    };
    auto picture = [&](const char* name, const char* icon, const char* tip, QRect r, int iconSize) {
        auto* b = placed<QToolButton>(this, name, r);
        b->setIcon(QIcon(QString(":/window/icons/") + icon + ".xpm"));
        b->setIconSize(QSize(iconSize, iconSize));
        b->setToolTip(QString::fromUtf8(tip));
        return b;
    };
    auto button = [&](const char* name, const char* caption, const char* tip, QRect r) {
        auto* b = placed<QPushButton>(this, name, r, QString::fromUtf8(caption));
        if (*tip)
            b->setToolTip(QString::fromUtf8(tip));
        b->setAutoDefault(false);
        return b;
    };
    // The template boxes keep their design in twips: the outline around the
    // active one is measured from it.
    auto textBox = [&](const char* name, QRect twips, bool horizontal) {
        auto* t = placed<QPlainTextEdit>(
            this, name, twipRect(twips.x(), twips.y(), twips.width(), twips.height()));
        t->setProperty("twips", twips);
        t->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if (horizontal)
            t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return t;
    };

    auto combo = [&](const char* name, QRect r) {
        auto* c = placed<DropDownCombo>(this, name, r);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::InsertAlphabetically);
        c->setEditText("*");
        return c;
    };

    Label2 = label("Label2", "Вставить обработку ошибок в", twipRect(135, 15, 3435, 300));
    Label4 = label("Label4", "Модуль", twipRect(135, 270, 2055, 270));
    MdlName = combo("MdlName", twipRect(135, 525, 3675, 315));
    OnlyFunc = check("OnlyFunc", "Только функции", false, twipRect(150, 915, 1590, 210));
    OnlySub = check("OnlySub", "Только процедуры", false, twipRect(1920, 915, 1860, 210));
    OnlyProperty = check("OnlyProperty", "Только свойства", false, twipRect(150, 1170, 2355, 240));
    HasOnError =
        check("HasOnError", "Только где нет ON ERROR", true, twipRect(150, 1485, 3615, 210));
    Label3 = label("Label3", "Процедура", twipRect(120, 1740, 3435, 300));
    SubName = combo("SubName", twipRect(120, 1980, 3690, 315));
    WithComment = check("WithComment", "Вставлять закомментированный текст", true,
                        twipRect(135, 2370, 3615, 240));
    DefaultTXT =
        check("DefaultTXT", "Стандартный текст обработки", true, twipRect(135, 2625, 3615, 240));
    Label1 = label("Label1", "Заголовок", twipRect(90, 2970, 2055, 270));
    cmdEdit =
        picture("cmdEdit", "edit", "Редактировать в окне", twipRect(2160, 2925, 330, 285), 16);
    cmdLoadFromFile = picture("cmdLoadFromFile", "load", "Загрузить из файла",
                              twipRect(2490, 2925, 330, 285), 16);
    cmdSaveToFile =
        picture("cmdSaveToFile", "save", "Сохранить", twipRect(2820, 2925, 330, 285), 16);
    cmdUndo = picture("cmdUndo", "undo", "Отменить", twipRect(3150, 2925, 330, 285), 16);
    cmdTab =
        picture("cmdTab", "tab", "Вставить символ табуляции", twipRect(3480, 2925, 330, 285), 16);
    cmdModule = button("cmdModule", "M", "Вставить имя модуля", twipRect(3810, 2925, 330, 285));
    cmdProc = button("cmdProc", "P", "Вставить имя процедуры", twipRect(4140, 2925, 330, 285));
    TextBorder = new QFrame(this);
    TextBorder->setObjectName("TextBorder");
    TextBorder->setFrameShape(QFrame::Box);
    TextBorder->setGeometry(twipRect(45, 3195, 4560, 1140));
    TextBorder->setAttribute(Qt::WA_TransparentForMouseEvents);
    Header = textBox("Header", QRect(120, 3270, 4350, 975), true);
    Header->setPlainText("ON ERROR GOTO err_debug\n");
    Label5 = label("Label5", "Окончание", twipRect(120, 4290, 3435, 300));
    Footer = textBox("Footer", QRect(120, 4545, 4365, 1695), true);
    cmdClear = button("cmdClear", "Clear", "", twipRect(3375, 6255, 1095, 240));
    Label6 = label("Label6", "Журнал", twipRect(150, 6285, 3435, 300));
    DebugTxt = textBox("DebugTxt", QRect(135, 6510, 4350, 2055), false);
    bttn_InsCode = button("bttn_InsCode", "Добавить функцию обработки ошибки !", "",
                          twipRect(135, 8625, 4350, 315));
    OKButton =
        picture("OKButton", "ok", "Вставлять обработчик ошибок", twipRect(3915, 90, 585, 525), 24);
    CancelButton = picture("CancelButton", "cancel", "Выход", twipRect(3915, 615, 585, 525), 24);
    cmdTips = picture("cmdTips", "tips", "Показать подсказки", twipRect(3915, 1140, 585, 525), 24);
    cmdAbout = picture("cmdAbout", "about", "О программе", twipRect(3915, 1665, 585, 525), 24);
    TextBorder->lower();

    connect(OKButton, &QToolButton::clicked, this, &frmAddIn::OKButton_Click);
    connect(CancelButton, &QToolButton::clicked, this, &frmAddIn::CancelButton_Click);
    connect(cmdTips, &QToolButton::clicked, this, &frmAddIn::cmdTips_Click);
    connect(cmdAbout, &QToolButton::clicked, this, &frmAddIn::cmdAbout_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmAddIn::cmdClear_Click);
    connect(SubName, &DropDownCombo::dropDown, this, &frmAddIn::SubName_DropDown);
    connect(cmdModule, &QPushButton::clicked, this, &frmAddIn::cmdModule_Click);
    connect(cmdProc, &QPushButton::clicked, this, &frmAddIn::cmdProc_Click);
    connect(cmdTab, &QToolButton::clicked, this, &frmAddIn::cmdTab_Click);
    connect(cmdUndo, &QToolButton::clicked, this, &frmAddIn::cmdUndo_Click);
    connect(cmdEdit, &QToolButton::clicked, this, &frmAddIn::cmdEdit_Click);
    connect(cmdLoadFromFile, &QToolButton::clicked, this, &frmAddIn::cmdLoadFromFile_Click);
    connect(cmdSaveToFile, &QToolButton::clicked, this, &frmAddIn::cmdSaveToFile_Click);
    connect(bttn_InsCode, &QPushButton::clicked, this, &frmAddIn::bttn_InsCode_Click);
    Header->installEventFilter(this);
    Footer->installEventFilter(this);
    new TemplateKeys(this, OKButton, CancelButton);

    // Opens centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

frmAddIn::~frmAddIn() {
    // Unloading releases the helpers.
    FooterML.TextBox = nullptr;
    HeaderML.TextBox = nullptr;
}

QString frmAddIn::tipsFile() const {
    return QDir(m_services.addInFolder).filePath(frmTip::kFileName);
}

frmTip* frmAddIn::tipWindow() const {
    return m_tip && m_tip->Loaded() ? m_tip.get() : nullptr;
}

void frmAddIn::ensureTipsFile() {
    const QString path = tipsFile();
    if (QFileInfo::exists(path))
        return;
    if (ModResFiles::ExtractResourceToFile("RUSTIPS", path.toStdString()))
        return;
    // Without the resource the file is made without tips, as the run time's
    // Print # of an empty string writes it: one line end.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("\r\n");
}

void frmAddIn::Form_Load() {
    setUpdatesEnabled(false);
    ensureTipsFile();
    SetTopMost(this);
    setWindowTitle("TRAPLINE");
    QStringList modules{"*"};
    if (trapline::Project* project = VBInstance ? VBInstance->ActiveVBProject() : nullptr) {
        const auto& components = project->VBComponents();
        for (long i = 1; i <= components.Count(); ++i)
            modules << QString::fromStdString(
                project->codepage().toUtf8((*components.Item(i))->Name()));
    }
    MdlName->setSortedItems(modules);
    Footer->setPlainText(QString::fromUtf8(trapline::kDefaultFooter).replace("\r\n", "\n"));
    setActiveText(Header->objectName());
    FooterML.bind(Footer);
    FooterML.SetTabStopDistance(10);
    HeaderML.bind(Header);
    HeaderML.SetTabStopDistance(10);
    setUpdatesEnabled(true);
    update();
    // A stored value that is no number counts as the default, 1.
    if (m_services.settings.number(SettingsStore::kApplication, kOptions, kShowTips, 1) == 1)
        showTips();
}

void frmAddIn::showTips() {
    // One tip window: showing it again brings the loaded one forward, as
    // showing a loaded form does; closed, it is unloaded and made anew.
    if (!m_tip || !m_tip->Loaded())
        m_tip = std::make_unique<frmTip>(m_services.settings, tipsFile().toStdString(),
                                         forms::qt::owner(this));
    m_tip->Show();
}

void frmAddIn::setActiveText(const QString& vNewValue) {
    m_activeText = vNewValue;
    if (vNewValue.isEmpty())
        return;
    auto* box = findChild<QWidget*>(vNewValue);
    if (!box)
        return;
    const QRect t = box->property("twips").toRect();
    TextBorder->setGeometry(twipRect(t.x() - 10, t.y() - 10, t.width() + 30, t.height() + 30));
}

QPlainTextEdit* frmAddIn::activeBox() const {
    return findChild<QPlainTextEdit*>(m_activeText);
}

bool frmAddIn::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == Header || watched == Footer))
        setActiveText(watched->objectName());
    return QWidget::eventFilter(watched, event);
}

void frmAddIn::closeEvent(QCloseEvent* event) {
    if (m_dialog)
        m_dialog->close();
    QWidget::closeEvent(event);
}

void frmAddIn::OKButton_Click() {
    trapline::InsertionOptions o;
    o.moduleName = MdlName->currentText().toStdString();
    o.procName = SubName->currentText().toStdString();
    o.onlySub = OnlySub->isChecked();
    o.onlyFunc = OnlyFunc->isChecked();
    o.onlyProperty = OnlyProperty->isChecked();
    o.skipTrapped = HasOnError->isChecked();
    o.withComment = WithComment->isChecked();
    o.useDefault = DefaultTXT->isChecked();
    o.header = crlf(Header->toPlainText()).toStdString();
    o.footer = crlf(Footer->toPlainText()).toStdString();
    o.confirm = true;
    WindowReporter reporter(DebugTxt);
    FlushingMessages messages(m_services.messages, reporter);
    trapline::InsertionRun run(*VBInstance, messages, reporter);
    run.setApplicationTitle("TRAPLINE");
    trapline::RunSummary summary = run.run(o);
    if (!summary.treated.empty())
        emit projectChanged();
}

void frmAddIn::CancelButton_Click() {
    // The connection hides the window and also forgets that it is displayed.
    if (Connect)
        Connect->Hide();
    else
        hide();
}

void frmAddIn::cmdTips_Click() {
    m_services.settings.SaveSetting(SettingsStore::kApplication, kOptions, kShowTips, "1");
    showTips();
}

void frmAddIn::cmdAbout_Click() {
    frmAbout about(
        m_services.registry, m_services.messages,
        [this](const std::string& program) {
            return m_services.startProgram(QString::fromStdString(program));
        },
        forms::qt::owner(this));
    about.ShowModal();
}

void frmAddIn::cmdClear_Click() {
    DebugTxt->setPlainText(QString());
}

void frmAddIn::SubName_DropDown() {
    trapline::InsertionOptions o;
    o.moduleName = MdlName->currentText().toStdString();
    o.onlySub = OnlySub->isChecked();
    o.onlyFunc = OnlyFunc->isChecked();
    o.onlyProperty = OnlyProperty->isChecked();
    o.skipTrapped = HasOnError->isChecked();
    WindowReporter reporter(DebugTxt);
    FlushingMessages messages(m_services.messages, reporter);
    trapline::ProcPicker picker(*VBInstance, messages, reporter);
    if (auto list = picker.fill(o)) {
        QStringList items;
        for (const std::string& name : *list)
            items << QString::fromStdString(name);
        SubName->setSortedItems(items);
    }
}

void frmAddIn::replaceSelection(const QString& text) {
    QPlainTextEdit* box = activeBox();
    if (!box)
        return;
    // The box takes the focus first: its caret and selection are where the
    // programmer left them.
    box->setFocus(Qt::OtherFocusReason);
    box->textCursor().insertText(text);
}

void frmAddIn::cmdModule_Click() {
    replaceSelection("#MODULE#");
}

void frmAddIn::cmdProc_Click() {
    replaceSelection("#PROC#");
}

void frmAddIn::cmdTab_Click() {
    replaceSelection("\t");
}

void frmAddIn::cmdUndo_Click() {
    if (m_activeText == Footer->objectName())
        FooterML.Undo();
    else if (m_activeText == Header->objectName())
        HeaderML.Undo();
}

f_Dialog& frmAddIn::dialog() {
    if (!m_dialog) {
        m_dialog = new f_Dialog(this);
        m_dialog->Files = &m_templateFiles;
    }
    return *m_dialog;
}

QString frmAddIn::EditText(const QString& TextVal, bool& Success) {
    QString result;
    f_Dialog& d = dialog();
    d.TXT->setPlainText(TextVal);
    d.TxtML.EmptyUndoBuffer();
    d.Confirmed = false;
    // Every opening starts at the design size, as a dialog loaded anew does.
    d.resize(twipSize(6060, 3465));
    d.exec();
    if (d.Confirmed)
        result = d.ResultText;
    Success = d.Confirmed;
    return result;
}

void frmAddIn::cmdEdit_Click() {
    QPlainTextEdit* box = activeBox();
    if (!box)
        return;
    bool success = false;
    QString text = EditText(box->toPlainText(), success);
    if (success)
        box->setPlainText(text);
}

void frmAddIn::cmdLoadFromFile_Click() {
    QPlainTextEdit* box = activeBox();
    if (!box)
        return;
    const QString text = m_templateFiles.LoadTextFromFile(this);
    if (!text.isEmpty())
        box->setPlainText(text);
}

void frmAddIn::cmdSaveToFile_Click() {
    if (QPlainTextEdit* box = activeBox())
        m_templateFiles.SaveTextToFile(box->toPlainText(), this);
}

void frmAddIn::bttn_InsCode_Click() {
    auto added = trapline::ErrorModuleInstaller::install(*VBInstance, m_services.messages);
    if (!added) {
        m_services.messages.show(
            std::to_string(added.error().number) + ": " + added.error().description, "TRAPLINE",
            trapline::MsgIcon::Exclamation, trapline::MsgButtons::Ok);
        return;
    }
    if (*added)
        emit projectChanged();
}
