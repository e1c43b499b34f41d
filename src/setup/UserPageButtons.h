#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "setup/PageDispatcher.h"

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace corvane {

// What the button row of the two USER pages does.
struct UserPageActions {
    // The controls into the page, before any button but Cancel acts.
    std::function<void()> takeFields;
    // The page's answer: where it leads, or nothing (the page stays).
    std::function<void(std::optional<PageStep>)> finish;
    std::function<std::optional<PageStep>()> ok;
    std::function<std::optional<PageStep>()> skip;
    std::function<std::optional<PageStep>()> goToGraph;
    std::function<std::optional<PageStep>()> compare;
    std::function<void()> cancel;
};

// The row "OK", "Skip", "Cancel", "GO TO GRAPH", "COMPARE DATA SETS" of both
// USER pages, wired to the actions; the buttons are appended to made.
QHBoxLayout* makeUserPageButtons(QDialog& dialog, UserPageActions actions, std::vector<QPushButton*>& made);

// A button of the row by its caption; null when there is none.
[[nodiscard]] QPushButton* findButton(const std::vector<QPushButton*>& buttons, const char* caption);

}  // namespace corvane
