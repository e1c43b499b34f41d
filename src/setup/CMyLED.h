#pragma once

#include <QWidget>

namespace corvane {

// A round indicator as high as its window: green (0, 255, 0) when on, red
// (255, 0, 0) when off.
class CMyLED : public QWidget {
    Q_OBJECT

public:
    explicit CMyLED(QWidget* parent = nullptr);

    void setOn(bool on);
    [[nodiscard]] bool isOn() const { return on_; }
    [[nodiscard]] QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool on_ = false;
};

}  // namespace corvane
