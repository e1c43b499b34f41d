#pragma once

#include <QLineEdit>

namespace corvane {

// A number field that can be marked: the field a check refused is drawn on
// grey (127, 127, 127) until the mark is taken off.
class CMyEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CMyEdit(QWidget* parent = nullptr);

    void setMarked(bool on);
    [[nodiscard]] bool marked() const { return marked_; }

private:
    bool marked_ = false;
};

}  // namespace corvane
