#pragma once

#include <QFont>

class QWidget;

/// The font the add-in's windows were designed in: MS Sans Serif, 8.25
/// points (its 13-pixel bitmap strike at 96 dpi). Their twip geometry is
/// measured for its captions; any other font clips some of them.
///
/// Where the system has no font of that family, the freely licensed copy
/// with the original's metrics and Cyrillic that Debian's fonts-wine package
/// installs (wine/fonts/ms_sans_serif.ttf under a data folder) is loaded
/// once. Without either, the platform's sans serif stands in at the same size.
///
///     useWindowFont(this);            // in a window's constructor
///     useBoldWindowFont(Label1);      // a bold caption
QFont windowFont(bool bold = false);

/// True when `windowFont()` is MS Sans Serif itself, not a stand-in.
bool haveWindowFont();

/// Gives `window` and every child that does not set a font of its own the
/// window font.
void useWindowFont(QWidget* window);

/// Gives `control` the bold window font. A bitmap font has no bold face and
/// the font engine does not embolden one, so there the caption is drawn
/// twice, one pixel apart, each character one pixel wider, as the system
/// makes bold bitmap text.
void useBoldWindowFont(QWidget* control);
