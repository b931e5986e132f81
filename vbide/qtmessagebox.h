#pragma once

#include "messagebox.h"

class QWidget;

/// Message boxes as modal Qt dialogs over a parent window.
class QtMessageBox : public trapline::MessageBoxService {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : m_parent(parent) {}
    trapline::MsgAnswer show(const std::string& text, const std::string& title,
                             trapline::MsgIcon icon, trapline::MsgButtons buttons) override;

private:
    QWidget* m_parent;
};
