#pragma once

#include <QAction>
#include <QString>
#include <QWidget>
#include <string>

namespace corvane {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }

inline QString notYetText(const char* feature) {
    return QStringLiteral("Not available in this version yet: it comes with %1.").arg(QLatin1String(feature));
}

// Disables a control whose feature this program does not have yet and says why.
inline void markNotYet(QWidget* widget, const char* feature) {
    widget->setEnabled(false);
    widget->setToolTip(notYetText(feature));
}

inline void markNotYet(QAction* action, const char* feature) {
    action->setEnabled(false);
    action->setToolTip(notYetText(feature));
}

}  // namespace corvane
