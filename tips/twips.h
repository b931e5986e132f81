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
