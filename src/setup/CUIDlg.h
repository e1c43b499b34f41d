#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "setup/StepGroups.h"

class QPushButton;

namespace corvane {

class Clock;

// The base of the step pages (LED SETUP, SCANNING SETUP): controls arranged
// in numbered steps, one step enabled at a time (StepGroups), a numbered
// button beside each step that enables it, a click on the page that enables
// the step it falls in, and a refresh of the page every second while it is
// shown.
//
// A page adds its steps once its controls exist: addStep(controls) returns
// the step's numbered button ("%d") for the page to place beside the step's
// top control, or null for a step without one. periodicRefresh() runs on the
// page's own thread (the window's), posted there by the ticker thread, which
// stops and is joined when the page is hidden or destroyed.
class CUIDlg : public QDialog {
    Q_OBJECT

public:
    explicit CUIDlg(Clock& clock, QWidget* parent = nullptr);
    ~CUIDlg() override;

    // A group of at most 40 controls; at most five steps. Its button, or
    // null (unnumbered, or no room for another step).
    QPushButton* addStep(std::vector<QWidget*> controls, bool numbered = true);
    // Enables step n's controls and button, disables every other step's.
    // False for a step that is done.
    bool enableStep(int step);
    void markStepDone(int step);
    // A locked step stays off, its button too, until unlocked.
    void lockStep(int step);
    void unlockStep(int step);
    [[nodiscard]] const StepGroups& steps() const { return steps_; }
    [[nodiscard]] QPushButton* stepButton(int step) const;
    // The ticker runs (the page is shown).
    [[nodiscard]] bool ticking() const { return ticker_ != nullptr; }

protected:
    // Once a second while shown; the page's live read-outs.
    virtual void periodicRefresh() {}
    // After the steps' controls were enabled or disabled: a page whose
    // controls follow more than their step sets them again here.
    virtual void stepsApplied() {}

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyEnabled();
    void updateTops();

    Clock& clock_;
    StepGroups steps_;
    std::vector<std::vector<QWidget*>> controls_;
    std::vector<QPushButton*> buttons_;
    std::unique_ptr<PageTicker> ticker_;
};

}  // namespace corvane
