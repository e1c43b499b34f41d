#pragma once

#include <QDialog>
#include <array>

class QRadioButton;

namespace corvane {

// "Graphing Window Size": the three sizes of the main window, then OK.
class CGraphingWindowSizeDlg : public QDialog {
    Q_OBJECT

public:
    CGraphingWindowSizeDlg(int current, QWidget* parent);
    [[nodiscard]] int chosen() const;
    [[nodiscard]] QRadioButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }

private:
    std::array<QRadioButton*, 3> buttons_{};
};

}  // namespace corvane
