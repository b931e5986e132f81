#include "windowfont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QWidget>

namespace {

const QString kFamily = "MS Sans Serif";

/// Makes the family known to the application once, from the system or from
/// the fonts-wine copy; the answer holds for the life of the process.
bool loadFamily() {
    static const bool loaded = [] {
        if (QFontDatabase::families().contains(kFamily, Qt::CaseInsensitive))
            return true;
        const QStringList files = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                            "wine/fonts/ms_sans_serif.ttf");
        for (const QString& file : files) {
            const int id = QFontDatabase::addApplicationFont(file);
            if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kFamily))
                return true;
        }
        return false;
    }();
    return loaded;
}

/// True when bold captions must be made by hand: the family is a bitmap font
/// without a bold face, which the font engine leaves regular.
bool overstrikeBold() {
    static const bool overstrike = [] {
        if (!loadFamily() || QFontDatabase::isScalable(kFamily))
            return false;
        for (const QString& style : QFontDatabase::styles(kFamily))
            if (QFontDatabase::bold(kFamily, style))
                return false;
        return true;
    }();
    return overstrike;
}

/// The application's style, but captions are drawn a second time one pixel
/// to the right.
class OverstrikeStyle : public QProxyStyle {
public:
    OverstrikeStyle() : QProxyStyle(QApplication::style()->name()) {}
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool enabled, const QString& text, QPalette::ColorRole role) const override {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, role);
        QProxyStyle::drawItemText(painter, rect.translated(1, 0), flags, palette, enabled, text,
                                  role);
    }
};

} // namespace

QFont windowFont(bool bold) {
    loadFamily();
    QFont font(kFamily);
    font.setStyleHint(QFont::SansSerif);
    // 8.25 points at 96 dpi; the bitmap font answers with its 13-pixel strike.
    font.setPixelSize(11);
    font.setBold(bold);
    // The second stroke makes each character one pixel wider.
    if (bold && overstrikeBold())
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    return font;
}

bool haveWindowFont() {
    return loadFamily() &&
           QFontInfo(windowFont()).family().compare(kFamily, Qt::CaseInsensitive) == 0;
}

void useWindowFont(QWidget* window) {
    window->setFont(windowFont());
}

void useBoldWindowFont(QWidget* control) {
    control->setFont(windowFont(true));
    if (!overstrikeBold())
        return;
    // Owned by the control; the control forgets a style that is deleted.
    auto* style = new OverstrikeStyle;
    style->setParent(control);
    control->setStyle(style);
}
