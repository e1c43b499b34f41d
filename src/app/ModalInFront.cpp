#include "app/ModalInFront.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace corvane {

namespace {

// QWidget::isAncestorOf stops at a window's edge; dialogs are windows.
bool descendsFrom(const QWidget* widget, const QWidget* ancestor) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w == ancestor) {
            return true;
        }
    }
    return false;
}

QWidget* widgetOf(const QWindow* window) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window) {
            return widget;
        }
    }
    return nullptr;
}

// Whether the modal window takes the clicks meant for this one.
bool blockedBy(const QWidget* window, const QWidget* modal) {
    if (descendsFrom(window, modal)) {
        return false;  // a window of its own, a message box it opened
    }
    if (modal->windowModality() == Qt::ApplicationModal) {
        return true;
    }
    const QWidget* owner = modal->parentWidget() != nullptr ? modal->parentWidget()->window() : nullptr;
    return owner != nullptr && descendsFrom(window, owner);
}

}  // namespace

ModalInFront::ModalInFront(QObject* parent) : QObject(parent) {}

bool ModalInFront::eventFilter(QObject* watched, QEvent* event) {
    // A click on a blocked window never reaches the program, but the window
    // manager's raise shows as that window being exposed.
    if (event->type() != QEvent::Expose || !watched->isWindowType()) {
        return false;
    }
    auto* exposed = static_cast<QWindow*>(watched);
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || !exposed->isExposed()) {
        return false;
    }
    const QWidget* window = widgetOf(exposed);
    if (window == nullptr || !blockedBy(window, modal) || !window->frameGeometry().intersects(modal->frameGeometry())) {
        return false;
    }
    // After the window manager has finished raising the other window.
    QTimer::singleShot(0, modal, [held = QPointer<QWidget>(modal)] {
        if (held && held->isVisible()) {
            held->raise();
            held->activateWindow();
        }
    });
    return false;
}

}  // namespace corvane
