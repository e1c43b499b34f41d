#pragma once

#include <QDialog>
#include <array>

class QRadioButton;

namespace corvane {

// "Absorbance Units Full Scale": the AUFS step of a DE-1 device, 0.01 to 2.00.
class CAUFSDlg : public QDialog {
    Q_OBJECT

public:
    CAUFSDlg(int step, QWidget* parent);
    // The step chosen, 0 to 7.
    [[nodiscard]] int step() const;
    [[nodiscard]] QRadioButton* button(int step) const { return buttons_[static_cast<std::size_t>(step)]; }

private:
    std::array<QRadioButton*, 8> buttons_{};
};

}  // namespace corvane
