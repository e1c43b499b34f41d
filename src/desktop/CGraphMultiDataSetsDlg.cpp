#include "desktop/CGraphMultiDataSetsDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/DialogFolders.h"
#include "app/Prompter.h"
#include "compare/CompareSets.h"
#include "desktop/NotYet.h"

namespace corvane {

CGraphMultiDataSetsDlg::CGraphMultiDataSetsDlg(Prompter& prompter, DialogFolders& folders, Choice initial,
                                               QWidget* parent)
    : QDialog(parent), prompter_(prompter), folders_(folders), colours_(initial.colours) {
    setWindowTitle(QStringLiteral("Graph Multiple Data Sets"));
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Data Files:"), this));
    files_ = new QListWidget(this);
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const auto& file : initial.files) {
        files_->addItem(qs(file));
    }
    layout->addWidget(files_);
    auto* fileButtons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add"), this);
    auto* remove = new QPushButton(QStringLiteral("Remove"), this);
    connect(add, &QPushButton::clicked, this, &CGraphMultiDataSetsDlg::addFiles);
    connect(remove, &QPushButton::clicked, this, &CGraphMultiDataSetsDlg::removeSelected);
    fileButtons->addWidget(add);
    fileButtons->addWidget(remove);
    fileButtons->addStretch(1);
    layout->addLayout(fileButtons);

    layout->addWidget(new QLabel(QStringLiteral("Plot Type:"), this));
    plotTypes_ = new QListWidget(this);
    for (const char* name : kPlotTypeNames) {
        plotTypes_->addItem(QString::fromLatin1(name));
    }
    if (initial.plotType >= 0 && initial.plotType < kPlotTypeCount) {
        plotTypes_->setCurrentRow(initial.plotType);
    }
    plotTypes_->setFixedHeight(plotTypes_->sizeHintForRow(0) * kPlotTypeCount + 4);
    layout->addWidget(plotTypes_);

    auto* colours = new QGridLayout;
    for (int k = 0; k < 4; ++k) {
        colours->addWidget(new QLabel(QStringLiteral("DS%1").arg(k + 1), this), 0, k, Qt::AlignHCenter);
        auto* box = new QPushButton(this);
        box->setFixedSize(40, 20);
        box->setToolTip(QStringLiteral("Click to choose the colour of data set %1").arg(k + 1));
        connect(box, &QPushButton::clicked, this, [this, k] { chooseColour(k); });
        colourBoxes_[static_cast<std::size_t>(k)] = box;
        colours->addWidget(box, 1, k, Qt::AlignHCenter);
        paintColour(k);
    }
    layout->addLayout(colours);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGraphMultiDataSetsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGraphMultiDataSetsDlg::reject);
    layout->addWidget(buttons);
}

CGraphMultiDataSetsDlg::Choice CGraphMultiDataSetsDlg::choice() const {
    Choice c;
    for (int i = 0; i < files_->count(); ++i) {
        c.files.push_back(files_->item(i)->text().toStdString());
    }
    const auto selected = plotTypes_->selectedItems();
    c.plotType = selected.isEmpty() ? -1 : plotTypes_->row(selected.front());
    c.colours = colours_;
    return c;
}

void CGraphMultiDataSetsDlg::addFiles() {
    FileDialogRequest request;
    request.title = "Select Data Files";
    request.filter = kRunOrProfileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = folders_.folder(DialogFolder::Data);
    const auto chosen = prompter_.openFiles(request);
    if (chosen.size() > 4) {
        prompter_.message(kTooManyChosen);
        return;
    }
    for (const auto& file : chosen) {
        files_->addItem(qs(file));
    }
    if (!chosen.empty()) {
        folders_.remember(DialogFolder::Data, std::filesystem::path(chosen.front()).parent_path().string());
    }
}

void CGraphMultiDataSetsDlg::removeSelected() {
    // From the last selected up, so the rows above keep their places.
    for (int i = files_->count() - 1; i >= 0; --i) {
        if (files_->item(i)->isSelected()) {
            delete files_->takeItem(i);
        }
    }
}

void CGraphMultiDataSetsDlg::chooseColour(int set) {
    if (const auto chosen = prompter_.chooseColour(colours_[static_cast<std::size_t>(set)])) {
        colours_[static_cast<std::size_t>(set)] = *chosen;
        paintColour(set);
    }
}

void CGraphMultiDataSetsDlg::paintColour(int set) {
    const int rgb = colours_[static_cast<std::size_t>(set)];
    colourBoxes_[static_cast<std::size_t>(set)]->setStyleSheet(
        QStringLiteral("background-color: rgb(%1, %2, %3); border: 1px solid gray;")
            .arg(rgb & 0xFF)
            .arg((rgb >> 8) & 0xFF)
            .arg((rgb >> 16) & 0xFF));
}

void CGraphMultiDataSetsDlg::accept() {
    const Choice c = choice();
    if (const auto problem = multiDataSetsProblem(c.plotType, c.files.size()); !problem.empty()) {
        prompter_.message(problem);
        return;
    }
    QDialog::accept();
}

}  // namespace corvane
