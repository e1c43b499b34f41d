#pragma once

#include <QGroupBox>
#include <array>

class QLabel;

namespace corvane {

struct StatusTexts;

// The instrument status lines ("Instrument"): position and speed, the
// upper limit switch, the sampling rate, the duty cycle, the pot value, the
// DE-1 summary, the end of the scan and the piston's way back (shown under
// the position line). A line without a text is hidden.
class CStatusLines : public QGroupBox {
    Q_OBJECT

public:
    explicit CStatusLines(QWidget* parent);

    void showTexts(const StatusTexts& texts);
    [[nodiscard]] QLabel* line(int index) const;

private:
    std::array<QLabel*, 8> lines_{};
};

}  // namespace corvane
