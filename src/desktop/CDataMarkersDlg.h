#pragma once

#include <QFrame>

namespace corvane {

// The popup of a cursor line: DELETE THIS CURSOR, MOVE THIS CURSOR, MAKE
// MAIN CURSOR, ADD NEW CURSOR. Every button reports its choice and the
// owner closes the popup.
class CDataMarkersDlg : public QFrame {
    Q_OBJECT

public:
    enum class Choice { Delete, Move, MakeMain, Add };

    CDataMarkersDlg(int cursor, QWidget* owner);
    [[nodiscard]] int cursor() const { return cursor_; }

signals:
    void chosen(int cursor, corvane::CDataMarkersDlg::Choice choice);

private:
    int cursor_;
};

}  // namespace corvane
