#pragma once

#include <QFrame>
#include <QString>

class QLabel;

namespace corvane {

// The instruction window that AUTO-ALIGN, FOCUS and the cursor commands show
// at the graph's top-left corner: one text, no buttons. Its owner keeps at
// most one (opening one closes the previous).
class CAutoAlignMsg : public QFrame {
    Q_OBJECT

public:
    static constexpr const char* kTemplateText =
        "Auto-align peaks by left clicking in the graph window to the left of the region of interest, and "
        "then drag the mouse to the right to bracket any peaks. ";

    // Shown at `topLeft` (global coordinates) over `owner`.
    CAutoAlignMsg(const QString& text, QWidget* owner, QPoint topLeft);
    [[nodiscard]] QString text() const;

private:
    QLabel* label_ = nullptr;
};

}  // namespace corvane
