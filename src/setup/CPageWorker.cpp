#include "setup/CPageWorker.h"

#include <QCloseEvent>

namespace corvane {

CPageWorker::CPageWorker(QObject* parent) : QObject(parent) {}

CPageWorker::~CPageWorker() { jobs_.close(); }

void CPageWorker::run(std::function<bool()> job, std::function<void(bool)> done) {
    emit busyChanged(true);
    // The destructor waits for a running job, so this outlives it; Qt drops
    // the queued call when the worker has gone by the time it is due.
    const bool queued = jobs_.submit([this, job = std::move(job), done = std::move(done)] {
        const bool ok = job();
        QMetaObject::invokeMethod(
            this,
            [this, done, ok] {
                if (done) {
                    done(ok);
                }
                emit busyChanged(busy());
            },
            Qt::QueuedConnection);
    });
    if (!queued) {
        emit busyChanged(false);
    }
}

bool CPageWorker::mayClose(QCloseEvent& event) const {
    if (busy()) {
        event.ignore();
        return false;
    }
    event.accept();
    return true;
}

void CPageWorker::post(std::function<void()> onPageThread) {
    QMetaObject::invokeMethod(this, std::move(onPageThread), Qt::QueuedConnection);
}

}  // namespace corvane
