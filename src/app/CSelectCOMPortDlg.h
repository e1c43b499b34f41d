#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "app/ComPortChooser.h"

class QComboBox;

namespace corvane {

// The start-up COM port chooser ("Corvane Serial COM Port"). Constructing it
// is opening it: with a single port that port is stored at once; with none
// the window has nothing to offer (shouldShow() is false) and is not shown.
class CSelectCOMPortDlg : public QDialog {
    Q_OBJECT

public:
    CSelectCOMPortDlg(std::filesystem::path startupFolder, std::vector<int> ports,
                      QWidget* parent = nullptr);

    [[nodiscard]] bool shouldShow() const { return hasPorts_; }
    [[nodiscard]] QComboBox* portList() const { return list_; }

    void accept() override;

private:
    ComPortChooser chooser_;
    bool hasPorts_;
    QComboBox* list_;
};

}  // namespace corvane
