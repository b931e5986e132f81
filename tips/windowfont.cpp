#include "windowfont.h"

#include <QFontDatabase>
#include <QFontInfo>
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

} // namespace

QFont windowFont(bool bold) {
    loadFamily();
    QFont font(kFamily);
    font.setStyleHint(QFont::SansSerif);
    // 8.25 points at 96 dpi; the bitmap font answers with its 13-pixel strike.
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

bool haveWindowFont() {
    return loadFamily() &&
           QFontInfo(windowFont()).family().compare(kFamily, Qt::CaseInsensitive) == 0;
}

void useWindowFont(QWidget* window) {
    window->setFont(windowFont());
}
