#pragma once

#include <QComboBox>

namespace corvane {

// An editable list whose entry is found by its text (the rotor list): the
// entry whose text equals the edit text, -1 when none, the selection when
// the list is empty. While highlighted (a rotor is missing) the edit text is
// drawn red on the button face.
class CMyComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CMyComboBox(QWidget* parent = nullptr);

    [[nodiscard]] int lookup() const;
    void setHighlight(bool on);
    [[nodiscard]] bool highlighted() const { return highlight_; }

private:
    bool highlight_ = false;
};

}  // namespace corvane
