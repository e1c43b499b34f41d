#pragma once

#include <QObject>
#include <functional>

class QCloseEvent;

#include "recording/DeviceJobs.h"

namespace corvane {

// A page's device worker: the page's sequences wait on the unit for
// seconds, so they run here one at a time while the page keeps painting;
// what follows a sequence runs on the page's thread again. A page gone by
// then drops it.
class CPageWorker : public QObject {
    Q_OBJECT

public:
    explicit CPageWorker(QObject* parent);
    ~CPageWorker() override;

    // job on the worker, then done(result) on this object's thread.
    void run(std::function<bool()> job, std::function<void(bool)> done = {});
    [[nodiscard]] bool busy() const { return jobs_.busy(); }
    // A page's close box: refused while a sequence runs (it may be waiting
    // on the user's answer; the page goes after it), accepted otherwise.
    [[nodiscard]] bool mayClose(QCloseEvent& event) const;
    // A text for the page's thread from any thread (a status line).
    void post(std::function<void()> onPageThread);

signals:
    void busyChanged(bool busy);

private:
    DeviceJobs jobs_;
};

}  // namespace corvane
