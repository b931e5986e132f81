// Qt only: these look at the pixels and fonts of the Qt side's widgets.

#include "../window/addinwindow.h"
#include "f_dialog.h"
#include "frmabout.h"
#include "frmtip.h"
#include "qtforms.h"
#include "windowfont.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace {

/// The caption as drawn: a single '&' marks the mnemonic and takes no room.
QString drawnText(QString text) {
    return text.replace("&&", QChar(0x1)).remove('&').replace(QChar(0x1), "&");
}

/// Where the style draws the caption of `button`, decoration (indicator,
/// bevel, default frame) taken off.
QRect captionRect(const QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (qobject_cast<const QCheckBox*>(button))
        return button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    if (auto* push = qobject_cast<const QPushButton*>(button)) {
        if (push->autoDefault() || push->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    }
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

/// Checks that every caption of `window`'s labels, check boxes and buttons
/// fits the control it is drawn in, whole, in the control's own font.
void expectCaptionsFit(const QWidget* window) {
    int captions = 0;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        QString text;
        QRect room;
        int flags = Qt::TextSingleLine;
        if (auto* label = qobject_cast<const QLabel*>(w)) {
            text = label->text();
            room = label->contentsRect();
            if (label->wordWrap())
                flags = Qt::TextWordWrap | label->alignment();
        } else if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
            text = button->text();
            room = captionRect(button);
        }
        if (text.isEmpty())
            continue;
        ++captions;
        const QString drawn = drawnText(text);
        const QFontMetrics metrics(w->font());
        const QRect needed = metrics.boundingRect(room, flags, drawn);
        const std::string where = window->objectName().toStdString() + "." +
                                  w->objectName().toStdString() + " \"" + drawn.toStdString() +
                                  "\"";
        EXPECT_LE(flags == Qt::TextSingleLine ? metrics.horizontalAdvance(drawn) : needed.width(),
                  room.width())
            << where;
        EXPECT_LE(needed.height(), room.height()) << where;
    }
    EXPECT_GT(captions, 0) << window->objectName().toStdString();
}

/// Each window in the state a programmer first sees it.
struct Windows : AddInWindow {
    Windows() : AddInWindow(Project::None) {}
    frmTip tip{settings, form->tipsFile(), forms::Form::Owner{form.get()}};
    frmAbout about{registry, boxes, [](const std::string&) { return true; }};
};

} // namespace

TEST(WindowFont, IsMsSansSerifAtEightPointsInEveryWindowAndEveryCaptionFitsItsControl) {
    ASSERT_TRUE(haveWindowFont()) << "install fonts-wine (tools/install-deps.sh)";
    EXPECT_EQ(QFontMetrics(windowFont()).height(), 13); // the 8-point strike
    Windows w;
    for (const QWidget* window : {forms::qt::widget(*w.form), forms::qt::widget(w.form->dialog()),
                                  forms::qt::widget(w.tip), forms::qt::widget(w.about)}) {
        EXPECT_EQ(QFontInfo(window->font()).family(), "MS Sans Serif")
            << window->objectName().toStdString();
        expectCaptionsFit(window);
    }
    // The longest texts the tip label is given fit it too.
    QStringList texts{QString::fromStdString(frmTip::missingFileMessage())};
    ASSERT_EQ(w.tip.tips().size(), 3u);         // the tips file was written from the resource
    for (const std::string& tip : w.tip.tips()) // shown up to the NUL that ends each line
        texts << QString::fromStdString(tip.substr(0, tip.find('\0')));
    for (QString& text : texts)
        text.replace("\r\n", "\n");
    const QLabel* label = forms::qt::widget<QLabel>(w.tip.lblTipText);
    const QRect room = label->contentsRect();
    const QFontMetrics metrics(label->font());
    for (const QString& text : texts)
        EXPECT_LE(metrics.boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft, text).height(),
                  room.height())
            << text.toStdString();
}

TEST(WindowFont, BoldCaptionsAreDrawnHeavierThanRegularOnes) {
    ASSERT_TRUE(haveWindowFont());
    // The bitmap font has no bold face: what the windows show is what counts.
    auto ink = [](QLabel& label) {
        label.resize(120, 20);
        const QImage image = label.grab().toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QLabel regular(QString::fromUtf8("Заголовок"));
    useWindowFont(&regular);
    QLabel bold(regular.text());
    useBoldWindowFont(&bold);
    EXPECT_GT(ink(bold), ink(regular) * 13 / 10);
}
