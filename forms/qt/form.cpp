#include "qtforms.h"
#include "topmost.h"
#include "twips.h"
#include "windowfont.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

namespace forms {
namespace {

/// The form's window: closing asks the form first, Esc presses its cancel
/// button, and a change of size is the form's Resize.
class FormWindow : public QDialog {
public:
    FormWindow(Form& form, QWidget* owner) : QDialog(owner), m_form(form) {}

    void reject() override {
        for (Control* control : m_form.tabOrder())
            if (auto* button = dynamic_cast<CommandButton*>(control);
                button && button->Cancel() && button->Enabled() && button->Visible()) {
                button->setValue(true);
                return;
            }
        // Without a cancel button Esc does nothing, as in a VB form.
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!m_form.closing(vbFormControlMenu)) {
            event->ignore();
            return;
        }
        event->accept();
        done(QDialog::Rejected);
    }
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        // The least size is the window's outer one: the frame is known only now.
        const QSize least = property("leastOuterSize").toSize();
        if (least.isValid())
            setMinimumSize(least - (frameGeometry().size() - size()));
    }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        m_form.Resize();
    }

private:
    Form& m_form;
};

QWidget* ownerWidget(Form::Owner owner) {
    if (owner.form)
        return qt::widget(*owner.form);
    return static_cast<QWidget*>(owner.native);
}

/// Made before the form is: the window needs the form only when it is
/// shown, closed or resized.
Control::NativePtr makeWindow(Form& form, Form::Owner owner) {
    return Control::NativePtr(
        std::make_unique<Control::Native>(new FormWindow(form, ownerWidget(owner))).release());
}

QDialog* window(const Form& form) {
    return qt::widget<QDialog>(form);
}

} // namespace

Form::Form(std::string name, Owner owner)
    : Control(this, std::move(name), makeWindow(*this, owner)) {
    QDialog* w = window(*this);
    w->setObjectName(qt::text(Name()));
    useWindowFont(w);
}

Form::~Form() = default;

std::string Form::Caption() const {
    return qt::text(window(*this)->windowTitle());
}

void Form::setCaption(const std::string& caption) {
    window(*this)->setWindowTitle(qt::text(caption));
}

void Form::setIcon(const std::string& picture) {
    window(*this)->setWindowIcon(QIcon(qt::picturePath(picture)));
}

void Form::setSizable(bool sizable) {
    QDialog* w = window(*this);
    w->setProperty("sizable", sizable);
    if (sizable) {
        w->setMinimumSize(0, 0);
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        w->setFixedSize(w->size());
    }
}

namespace {

/// The window's frame made of `hints` on a window of `type`; whether it is
/// kept on top stays as it was.
void setFrame(QDialog* w, Qt::WindowType type, Qt::WindowFlags hints) {
    const Qt::WindowFlags kept = w->windowFlags() & Qt::WindowStaysOnTopHint;
    w->setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint | hints | kept);
}

} // namespace

void Form::setMinButton(bool minButton) {
    QDialog* w = window(*this);
    if (minButton)
        setFrame(w, Qt::Window, Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    else
        w->setWindowFlag(Qt::WindowMinimizeButtonHint, false);
}

void Form::setToolWindow(bool toolWindow) {
    QDialog* w = window(*this);
    setFrame(w, toolWindow ? Qt::Tool : Qt::Dialog, {});
}

void Form::setSize(int width, int height) {
    QDialog* w = window(*this);
    const QSize size = twipSize(width, height);
    if (w->property("sizable").toBool())
        w->resize(size);
    else
        w->setFixedSize(size);
}

void Form::setTopMost(bool topMost) {
    QDialog* w = window(*this);
    if (topMost) {
        SetTopMost(w);
        return;
    }
    const bool visible = w->isVisible();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (visible)
        w->show();
}

void Form::setMinimumSize(int width, int height) {
    QDialog* w = window(*this);
    const QSize least = twipSize(width, height);
    w->setProperty("leastOuterSize", least);
    w->setMinimumSize(least - (w->frameGeometry().size() - w->size()));
}

Control* Form::ActiveControl() const {
    const QWidget* focused = window(*this)->focusWidget();
    for (Control* control : m_tabOrder)
        if (qt::widget(*control) == focused ||
            (focused && qt::widget(*control)->isAncestorOf(focused)))
            return control;
    return nullptr;
}

void Form::setBackColor(Color color) {
    QDialog* w = window(*this);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(color));
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

void Form::centerOnScreen() {
    QDialog* w = window(*this);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        w->move(screen->availableGeometry().center() - w->rect().center());
}

bool Form::Visible() const {
    return window(*this)->isVisible();
}

void Form::setVisible(bool visible) {
    if (visible)
        Show();
    else
        window(*this)->hide();
}

int Form::Left() const {
    return pixelsToTwips(window(*this)->x());
}

int Form::Top() const {
    return pixelsToTwips(window(*this)->y());
}

int Form::Width() const {
    return pixelsToTwips(window(*this)->width());
}

int Form::Height() const {
    return pixelsToTwips(window(*this)->height());
}

void Form::Move(Rect t) {
    QDialog* w = window(*this);
    w->move(twipsToPixels(t.left), twipsToPixels(t.top));
    setSize(t.width, t.height);
}

void Form::Show() {
    m_loaded = true;
    QDialog* w = window(*this);
    w->show();
    w->raise();
    w->activateWindow();
}

void Form::ShowModal() {
    m_loaded = true;
    window(*this)->exec();
}

bool Form::Unload() {
    if (!closing(vbFormCode))
        return false;
    window(*this)->done(QDialog::Rejected);
    return true;
}

} // namespace forms
