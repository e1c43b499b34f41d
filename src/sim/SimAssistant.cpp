#include "sim/SimAssistant.h"

#include "sim/SimKelvoUnit.h"

namespace corvane {

void SimAssistant::message(const std::string& text, const std::string& caption) {
    if (following()) {
        if (text.find("1.00 (0.23) OD solution") != std::string::npos) {
            unit_.lendNeedles(SimMedium::Reference);
        } else if (text.find("pure water") != std::string::npos ||
                   text.find("in water") != std::string::npos) {
            unit_.lendNeedles(SimMedium::Water);
        }
    }
    target_.message(text, caption);
}

}  // namespace corvane
