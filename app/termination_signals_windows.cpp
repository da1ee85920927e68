#include "termination_signals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <windows.h>

namespace mx {

namespace {

// The handler runs on a thread of the system's; it can reach only this. One
// at a time, as the console's events are process-wide.
QPointer<TerminationSignals> current;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (current.isNull() ||
        (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)) {
        return FALSE;
    }
    // Windows ends the program once this returns from a close event, so it
    // returns only after the editor has kept what is unsaved.
    QMetaObject::invokeMethod(
        current.data(), [] { emit current->received(static_cast<int>(CTRL_CLOSE_EVENT)); },
        Qt::BlockingQueuedConnection);
    return TRUE;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    current = this;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignals::~TerminationSignals() {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    current = nullptr;
}

// Nothing waits to be read: the console's handler emits at once.
void TerminationSignals::readPending() {}

} // namespace mx
