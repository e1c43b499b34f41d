#pragma once

#include <QAction>
#include <QString>
#include <QWidget>
#include <string>

namespace corvane {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace corvane
