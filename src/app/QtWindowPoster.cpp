#include "app/QtWindowPoster.h"

#include <QMetaObject>

namespace corvane {

QtWindowPoster::QtWindowPoster(QObject& target, Handler handler)
    : target_(target), handler_(std::move(handler)) {}

void QtWindowPoster::post(UserMsg msg, std::int64_t a, std::int64_t b, std::any payload) {
    // The target is the context: Qt drops the call when it is destroyed first.
    QMetaObject::invokeMethod(
        &target_,
        [this, msg, a, b, payload = std::move(payload)] { handler_(msg, a, b, payload); },
        Qt::QueuedConnection);
}

}  // namespace corvane
