#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

class QListWidget;

namespace corvane {

// "Remove Marker(s)": one line per cursor, several may be chosen; REMOVE
// SELECTED MARKERS asks the owner to remove them, which may refuse (every
// marker chosen), and the dialog stays open then.
class CRemoveCursorDlg : public QDialog {
    Q_OBJECT

public:
    // remove: true when the chosen cursors were removed.
    CRemoveCursorDlg(const QStringList& lines, std::function<bool(std::vector<int>)> remove, QWidget* parent);
    [[nodiscard]] QListWidget* list() const { return list_; }
    void removeSelected();

private:
    QListWidget* list_ = nullptr;
    std::function<bool(std::vector<int>)> remove_;
};

}  // namespace corvane
