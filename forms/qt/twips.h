#pragma once

#include <QRect>
#include <QSize>
#include <QtMath>

/// Window geometry is designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline int twipsToPixels(int twips) {
    return qRound(twips / 15.0);
}

inline QRect twipRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

inline QSize twipSize(int width, int height) {
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

#include <QWidget>
#include <utility>

/// A named child widget of `parent` at a position of the design:
///
///     auto* ok = placed<QPushButton>(this, "cmdOK", twipRect(4080, 120, 1215, 375), "OK");
template <class W, class... Args>
W* placed(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}
