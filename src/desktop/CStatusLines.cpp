#include "desktop/CStatusLines.h"

#include <QLabel>
#include <QVBoxLayout>

#include "display/InstrumentStatus.h"
#include "desktop/NotYet.h"

namespace corvane {

CStatusLines::CStatusLines(QWidget* parent) : QGroupBox(QStringLiteral("Instrument"), parent) {
    auto* layout = new QVBoxLayout(this);
    for (auto& line : lines_) {
        line = new QLabel(this);
        line->setWordWrap(true);
        line->hide();
        layout->addWidget(line);
    }
}

void CStatusLines::showTexts(const StatusTexts& texts) {
    const std::array<const std::string*, 6> shown = {&texts.positionSpeed, &texts.upperLimit,
                                                     &texts.samplingRate, &texts.dutyCycle,
                                                     &texts.potValue,      &texts.de1Summary};
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        lines_[i]->setText(qs(*shown[i]));
        lines_[i]->setVisible(!shown[i]->empty());
    }
}

QLabel* CStatusLines::line(int index) const {
    return index >= 0 && index < static_cast<int>(lines_.size()) ? lines_[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

}  // namespace corvane
