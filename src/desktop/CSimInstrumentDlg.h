#pragma once

#include <QDialog>
#include <memory>

class QComboBox;
class QMainWindow;

namespace corvane {

class SimKelvoUnit;
class SimRig;
class SimAssistant;
class Prompter;

// The simulated Kelvo unit's bench, for the set-up chain without hardware:
// what is under the needles, the two source LED slides (the source count
// follows the slide, so matching SOURCE to SAMPLE is done by hand), the
// dial, and the faults the simulator knows.
class CSimInstrumentDlg : public QDialog {
    Q_OBJECT

public:
    CSimInstrumentDlg(SimKelvoUnit& unit, SimAssistant* assistant, QWidget* parent = nullptr);

    // The medium list's row of what the needles are in now.
    [[nodiscard]] int mediumRow() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The list follows the needles: the assistant moves them, the unit
    // puts them back before the piston moves.
    void showMedium();

    SimKelvoUnit& unit_;
    QComboBox* medium_ = nullptr;
};

// The bench's assistant over the program's prompter; null without a
// simulated Kelvo unit.
[[nodiscard]] std::unique_ptr<SimAssistant> makeSimAssistant(Prompter& prompter, SimRig* rig);

// "Simulated Instrument" in the window's View menu, opening the bench of
// the rig's Kelvo unit; nothing without one.
void addSimulatedInstrumentMenu(QMainWindow& window, SimRig* rig, SimAssistant* assistant);

}  // namespace corvane
