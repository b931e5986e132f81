#include "forms.h"
#include "native.h"

#include <algorithm>

namespace forms {

Control::Control(Form* self, std::string name, NativePtr native)
    : m_name(std::move(name)), m_form(self), m_native(std::move(native)) {}

Control::Control(Control& parent, std::string name, Rect twips, NativePtr native)
    : m_name(std::move(name)), m_form(&parent.form()), m_twips(twips), m_font(parent.form().Font()),
      m_native(std::move(native)) {
    m_form->m_tabOrder.push_back(this);
    native::place(*this, twips);
}

Control::~Control() {
    if (static_cast<Control*>(m_form) == this)
        return;
    auto& order = m_form->m_tabOrder;
    order.erase(std::remove(order.begin(), order.end(), this), order.end());
}

void Control::Move(Rect twips) {
    m_twips = twips;
    native::place(*this, twips);
}

int Control::TabIndex() const {
    const auto& order = m_form->m_tabOrder;
    const auto it = std::find(order.begin(), order.end(), this);
    return it == order.end() ? 0 : static_cast<int>(it - order.begin());
}

void Control::setTabIndex(int index) {
    auto& order = m_form->m_tabOrder;
    const auto it = std::find(order.begin(), order.end(), this);
    if (it == order.end())
        return;
    order.erase(it);
    // Past the end means last, as VB clamps it.
    const auto at = std::clamp(index, 0, static_cast<int>(order.size()));
    order.insert(order.begin() + at, this);
    native::applyTabOrder(order);
}

void Control::setFont(const StdFont& font) {
    m_font = font;
    native::applyFont(*this, font);
}

bool Form::closing(int mode) {
    int cancel = 0;
    QueryUnload(cancel, mode);
    if (cancel != 0)
        return false;
    m_loaded = false;
    return true;
}

} // namespace forms
