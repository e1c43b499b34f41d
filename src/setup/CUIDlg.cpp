#include "setup/CUIDlg.h"

#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <climits>

namespace corvane {

CUIDlg::CUIDlg(Clock& clock, QWidget* parent) : QDialog(parent), clock_(clock) {}

CUIDlg::~CUIDlg() {
    // Before the page's members go: no tick may arrive at a page half gone.
    ticker_.reset();
}

QPushButton* CUIDlg::addStep(std::vector<QWidget*> controls, bool numbered) {
    std::vector<int> ids;
    const int base = static_cast<int>(controls_.size()) * StepGroups::kMaxControls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        ids.push_back(base + static_cast<int>(i));
    }
    const int step = steps_.addGroup(std::move(ids), 0, numbered);
    if (step == 0) {
        return nullptr;
    }
    controls_.push_back(std::move(controls));
    QPushButton* button = nullptr;
    if (numbered) {
        button = new QPushButton(QString::number(step), this);
        button->setFixedWidth(28);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, step] { enableStep(step); });
    }
    buttons_.push_back(button);
    applyEnabled();
    return button;
}

QPushButton* CUIDlg::stepButton(int step) const {
    return step >= 1 && step <= static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(step - 1)]
                                                                   : nullptr;
}

bool CUIDlg::enableStep(int step) {
    const bool enabled = steps_.enable(step);
    applyEnabled();
    return enabled;
}

void CUIDlg::markStepDone(int step) {
    steps_.markDone(step);
    applyEnabled();
}

void CUIDlg::lockStep(int step) {
    steps_.lock(step);
    applyEnabled();
}

void CUIDlg::unlockStep(int step) {
    steps_.unlock(step);
    applyEnabled();
}

void CUIDlg::applyEnabled() {
    for (std::size_t g = 0; g < controls_.size(); ++g) {
        const bool on = steps_.enabled() == static_cast<int>(g) + 1;
        for (QWidget* control : controls_[g]) {
            control->setEnabled(on);
        }
        const int step = static_cast<int>(g) + 1;
        if (buttons_[g] != nullptr) {
            buttons_[g]->setEnabled(on || (!steps_.done(step) && !steps_.locked(step)));
        }
    }
    stepsApplied();
}

void CUIDlg::updateTops() {
    for (std::size_t g = 0; g < controls_.size(); ++g) {
        int top = INT_MAX;
        for (QWidget* control : controls_[g]) {
            top = std::min(top, control->mapTo(this, QPoint(0, 0)).y());
        }
        steps_.setTop(static_cast<int>(g) + 1, top);
    }
}

void CUIDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        updateTops();
        if (steps_.clickAt(event->position().toPoint().y()) != 0) {
            applyEnabled();
        }
    }
    QDialog::mousePressEvent(event);
}

void CUIDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!ticker_) {
        // The ticker thread never touches the page: the refresh is posted to
        // the page's thread (Qt drops it if the page is gone by then), and
        // the thread is joined before the page can go.
        ticker_ = std::make_unique<PageTicker>(clock_, [this] {
            QMetaObject::invokeMethod(this, [this] { periodicRefresh(); }, Qt::QueuedConnection);
        });
    }
}

void CUIDlg::hideEvent(QHideEvent* event) {
    ticker_.reset();
    QDialog::hideEvent(event);
}

}  // namespace corvane
