#pragma once

#include <QWidget>
#include <memory>

#include "setup/SpinStepper.h"

class QLineEdit;
class QToolButton;

namespace corvane {

class Clock;

// The up and down arrows beside a number field. A click steps the field's
// text by the SpinStepper's rule and emits stepped() with the new text; the
// owner may instead step its page's logic (then it connects clicked()).
class CMySpinButtonCtrl : public QWidget {
    Q_OBJECT

public:
    // Without a stepper (owner steps) the arrows only report clicks.
    CMySpinButtonCtrl(QLineEdit* buddy, QWidget* parent = nullptr);
    CMySpinButtonCtrl(Clock& clock, SpinStepper::Config config, QLineEdit* buddy, QWidget* parent = nullptr);
    ~CMySpinButtonCtrl() override;

    [[nodiscard]] QToolButton* upButton() const { return up_; }
    [[nodiscard]] QToolButton* downButton() const { return down_; }

signals:
    void clicked(bool up);
    void stepped(const QString& text);

private:
    void click(bool up);

    QLineEdit* buddy_;
    std::unique_ptr<SpinStepper> stepper_;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace corvane
