#include "qtforms.h"

#include <QFrame>

namespace forms {

Frame::Frame(Control& parent, std::string name, Rect twips, bool border)
    : Control(parent, std::move(name), twips, qt::make<QFrame>(parent)) {
    auto* frame = qt::widget<QFrame>(*this);
    frame->setObjectName(qt::text(Name()));
    frame->setFrameShape(border ? QFrame::Box : QFrame::NoFrame);
}

} // namespace forms
