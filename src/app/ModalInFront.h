#pragma once

#include <QObject>

namespace corvane {

// Keeps the window that holds the user in front. A window manager raises any
// window the user clicks, also one a modal window blocks; that window then
// covers the only one that still takes clicks, and the program looks dead.
// Installed once on the application: when a blocked window comes up over
// the active modal window, the modal window is raised again and given the
// keyboard back.
class ModalInFront : public QObject {
public:
    explicit ModalInFront(QObject* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace corvane
