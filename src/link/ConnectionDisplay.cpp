#include "link/ConnectionDisplay.h"

#include "app/Version.h"
#include "base/TextFormat.h"

namespace corvane {

std::string connectionTitle(bool warmingUp) {
    return formatText(warmingUp ? "Corvane v%s  Warming up Kelvo..." : "Corvane v%s", kVersionText);
}

}  // namespace corvane
