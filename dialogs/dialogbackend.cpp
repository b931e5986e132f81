#include "dialogbackend.h"

#ifdef _WIN32
#include "win32dialogbackend.h"
using SystemDialogBackend = Win32DialogBackend;
#else
#include "qtdialogbackend.h"
using SystemDialogBackend = QtDialogBackend;
#endif

namespace {

DialogBackend* g_current = nullptr;

} // namespace

DialogBackend& DialogBackend::current() {
    static SystemDialogBackend system;
    return g_current ? *g_current : system;
}

DialogBackend* DialogBackend::setCurrent(DialogBackend* backend) {
    DialogBackend* before = g_current;
    g_current = backend;
    return before;
}
