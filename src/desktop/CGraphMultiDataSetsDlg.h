#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace corvane {

class DialogFolders;
class Prompter;

// "Graph Multiple Data Sets": the runs to compare (two to four), the channel
// every set shows and the four sets' colours. OK checks the choice and keeps
// the dialog open with the reason when it cannot be taken.
class CGraphMultiDataSetsDlg : public QDialog {
    Q_OBJECT

public:
    struct Choice {
        std::vector<std::string> files;
        int plotType = -1;
        std::array<int, 4> colours{};  // r | g << 8 | b << 16
    };

    CGraphMultiDataSetsDlg(Prompter& prompter, DialogFolders& folders, Choice initial, QWidget* parent);

    [[nodiscard]] Choice choice() const;

    // The buttons, for the window and for tests.
    void addFiles();
    void removeSelected();
    void chooseColour(int set);
    void accept() override;

    [[nodiscard]] QListWidget* plotTypes() const { return plotTypes_; }
    [[nodiscard]] QListWidget* files() const { return files_; }
    [[nodiscard]] QPushButton* colourBox(int set) const { return colourBoxes_[static_cast<std::size_t>(set)]; }

private:
    void paintColour(int set);

    Prompter& prompter_;
    DialogFolders& folders_;
    QListWidget* plotTypes_ = nullptr;
    QListWidget* files_ = nullptr;
    std::array<QPushButton*, 4> colourBoxes_{};
    std::array<int, 4> colours_{};
};

}  // namespace corvane
