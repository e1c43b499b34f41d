#pragma once

#include <QString>

#include "app/Prompter.h"

class QWidget;

namespace corvane {

// The desktop's message boxes and file dialogs. Callable from any thread: a
// call from a worker blocks until the UI thread has shown the box and the user
// answered; notify() only queues the box for the UI thread.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] bool askYesNo(const std::string& text, const std::string& caption = {}) override;
    void notify(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] std::optional<std::string> openFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::vector<std::string> openFiles(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<int> chooseColour(int rgb) override;
    [[nodiscard]] std::optional<ColumnChoice> chooseColumns(const ColumnChoiceRequest& request) override;

    // "Text (*.csv;*.txt)|*.csv;*.txt|All Files (*.*)|*.*||" becomes
    // "Text (*.csv *.txt);;All Files (*.*)".
    [[nodiscard]] static QString toQtFilter(const std::string& filter);

private:
    QWidget* parent_;
};

}  // namespace corvane
