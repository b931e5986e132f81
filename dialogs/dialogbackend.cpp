#include "dialogbackend.h"

#include "qtdialogbackend.h"

namespace {

DialogBackend* g_current = nullptr;

} // namespace

DialogBackend& DialogBackend::current() {
    static QtDialogBackend qt;
    return g_current ? *g_current : qt;
}

DialogBackend* DialogBackend::setCurrent(DialogBackend* backend) {
    DialogBackend* before = g_current;
    g_current = backend;
    return before;
}
