#include "setup/UserPageButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <memory>

namespace corvane {

QHBoxLayout* makeUserPageButtons(QDialog& dialog, UserPageActions actions, std::vector<QPushButton*>& made) {
    auto* row = new QHBoxLayout;
    const auto shared = std::make_shared<UserPageActions>(std::move(actions));
    using Action = std::function<std::optional<PageStep>()> UserPageActions::*;
    const std::array<std::pair<const char*, Action>, 5> buttons = {{{"OK", &UserPageActions::ok},
                                                                    {"Skip", &UserPageActions::skip},
                                                                    {"Cancel", nullptr},
                                                                    {"GO TO GRAPH", &UserPageActions::goToGraph},
                                                                    {"COMPARE DATA SETS", &UserPageActions::compare}}};
    for (const auto& [caption, action] : buttons) {
        auto* button = new QPushButton(QLatin1String(caption), &dialog);
        button->setAutoDefault(false);
        row->addWidget(button);
        made.push_back(button);
        if (action == nullptr) {
            QObject::connect(button, &QPushButton::clicked, &dialog, [shared] { shared->cancel(); });
            continue;
        }
        QObject::connect(button, &QPushButton::clicked, &dialog, [shared, action = action] {
            shared->takeFields();
            shared->finish(((*shared).*action)());
        });
    }
    findButton(made, "COMPARE DATA SETS")
        ->setToolTip(QStringLiteral("Takes these details, then opens the compare window for two to four saved runs."));
    return row;
}

QPushButton* findButton(const std::vector<QPushButton*>& buttons, const char* caption) {
    for (QPushButton* button : buttons) {
        if (button->text() == QLatin1String(caption)) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace corvane
