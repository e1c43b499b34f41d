#pragma once

#include <QDialog>
#include <array>

#include "setup/UserPage.h"

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace corvane {

class CMyComboBox;

// The USER page's window: binds its controls to a UserPage. A button that
// leaves the page closes it and reports where it leads (leave); Cancel and
// the close box report cancelled.
class CSummaryInfoDlg : public QDialog {
    Q_OBJECT

public:
    // Escape is the close box: a page hidden without leaving leaves no window up.
    void reject() override;
    CSummaryInfoDlg(UserPage::Env env, QWidget* parent = nullptr);

    [[nodiscard]] UserPage& page() { return page_; }
    // The controls as the page's fields say.
    void showFields();

    [[nodiscard]] QComboBox* nameList() const { return names_; }
    [[nodiscard]] QLineEdit* experimentEdit() const { return experiment_; }
    [[nodiscard]] QComboBox* manufacturerList() const { return manufacturers_; }
    [[nodiscard]] QComboBox* uvUnitList() const { return uvUnit_; }
    [[nodiscard]] CMyComboBox* rotorList() const { return rotors_; }
    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] QRadioButton* presetButton(int index) const { return presets_[static_cast<std::size_t>(index)]; }

signals:
    void leave(const corvane::PageStep& step);
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void build();
    void showUnit();
    void takeFields();
    void showPresets();
    void fillRotors();
    void finish(const std::optional<PageStep>& step);

    UserPage page_;
    bool finished_ = false;
    QComboBox* names_ = nullptr;
    QDateEdit* date_ = nullptr;
    QTimeEdit* time_ = nullptr;
    QLineEdit* experiment_ = nullptr;
    QComboBox* uvUnit_ = nullptr;
    QComboBox* manufacturers_ = nullptr;
    CMyComboBox* rotors_ = nullptr;
    QLineEdit* sampleVolume_ = nullptr;
    QLineEdit* gradient_ = nullptr;
    QLineEdit* percent1_ = nullptr;
    QLineEdit* percent2_ = nullptr;
    QComboBox* units_ = nullptr;
    QComboBox* tubes_ = nullptr;
    QLineEdit* speed_ = nullptr;
    QLineEdit* spinTime_ = nullptr;
    QLineEdit* w2t_ = nullptr;
    QLineEdit* exponent_ = nullptr;
    QLineEdit* temperature_ = nullptr;
    std::array<QRadioButton*, 5> presets_{};
    QButtonGroup* presetGroup_ = nullptr;
    std::vector<QPushButton*> buttons_;
};

}  // namespace corvane
