#include "qtforms.h"

#include <QFrame>

namespace forms {

Line::Line(Control& parent, std::string name, Rect twips)
    : Control(parent, std::move(name), twips, qt::make<QFrame>(parent)) {
    auto* line = qt::widget<QFrame>(*this);
    line->setObjectName(qt::text(Name()));
    line->setFrameShape(QFrame::HLine);
}

} // namespace forms
