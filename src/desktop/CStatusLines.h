#pragma once

#include <QGroupBox>
#include <array>

class QLabel;

namespace corvane {

struct StatusTexts;

// The instrument status lines ("Instrument"): position and speed, the
// upper limit switch, the sampling rate, the duty cycle, the pot value. A
// line without a text is hidden.
class CStatusLines : public QGroupBox {
    Q_OBJECT

public:
    explicit CStatusLines(QWidget* parent);

    void showTexts(const StatusTexts& texts);
    [[nodiscard]] QLabel* line(int index) const;

private:
    std::array<QLabel*, 6> lines_{};
};

}  // namespace corvane
