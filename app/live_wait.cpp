#include "app/live_wait.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <thread>

namespace quillon {

namespace {

// Input that would run a handler: presses, keys, wheel, touch, tablet, context menus.
// Mouse moves only change hover looks and pass.
bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
            return true;
        default:
            return false;
    }
}

// Whether `watched` belongs to the modal window that is open now, the one the operator's
// input is meant for.
bool ForOpenModal(QObject* watched) {
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return false;
    }
    if (const auto* widget = qobject_cast<QWidget*>(watched)) {
        return widget->window() == modal;
    }
    if (const auto* window = qobject_cast<QWindow*>(watched)) {
        return window == modal->windowHandle();
    }
    return false;
}

}  // namespace

LiveWait::LiveWait(QObject* parent) : QObject(parent) {}

void LiveWait::Exec(QEventLoop& loop, const std::function<bool()>& finished) {
    QCoreApplication* application = QCoreApplication::instance();
    if (depth_++ == 0 && application != nullptr) {
        application->installEventFilter(this);
    }
    while (!finished()) {
        loop.exec(QEventLoop::AllEvents);
        if (!finished()) {
            // Ended by the application quitting, which keeps ending loops at once: wait out
            // the call without spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (--depth_ == 0 && application != nullptr) {
        application->removeEventFilter(this);
    }
}

bool LiveWait::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A modal box (a prompt, a dialog) open above the wait keeps its input: an operator's
    // answer is never lost because a timer of the box's own loop (the USB-PD halt poll) waits
    // on the board. The box's buttons only close it; no handler of ours starts from them.
    if (ForOpenModal(watched)) {
        return false;
    }
    if (type == QEvent::Shortcut) {
        return true;  // a shortcut or menu accelerator would run a handler
    }
    if (type == QEvent::ShortcutOverride) {
        event->accept();  // claimed, so that no shortcut fires; the key itself is dropped
        return true;
    }
    // Input reaches the window first and the widget under it next; it is judged at the
    // widget, where the Stop button can be told apart.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !IsUserInput(type)) {
        return false;
    }
    if (type == QEvent::MouseButtonPress && widget->objectName() == kStopButtonName &&
        widget->isEnabled() && onStop_) {
        onStop_();
    }
    return true;
}

}  // namespace quillon
