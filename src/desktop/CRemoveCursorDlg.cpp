#include "desktop/CRemoveCursorDlg.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CRemoveCursorDlg::CRemoveCursorDlg(const QStringList& lines, std::function<bool(std::vector<int>)> remove,
                                   QWidget* parent)
    : QDialog(parent), remove_(std::move(remove)) {
    setWindowTitle(QStringLiteral("Remove Marker(s)"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Select any marker(s) you wish to remove from the graphing window:"), this));
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    list_->addItems(lines);
    layout->addWidget(list_);
    auto* button = new QPushButton(QStringLiteral("REMOVE SELECTED MARKERS"), this);
    connect(button, &QPushButton::clicked, this, &CRemoveCursorDlg::removeSelected);
    layout->addWidget(button);
}

void CRemoveCursorDlg::removeSelected() {
    std::vector<int> chosen;
    for (int row = 0; row < list_->count(); ++row) {
        if (list_->item(row)->isSelected()) {
            chosen.push_back(row);
        }
    }
    if (remove_(chosen)) {
        accept();
    }
}

}  // namespace corvane
