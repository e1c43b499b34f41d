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
    }
    // The scan's end and the piston's way back read best beside the position.
    for (const std::size_t i : {0U, 6U, 7U, 1U, 2U, 3U, 4U, 5U}) {
        layout->addWidget(lines_[i]);
    }
    QFont bold = lines_[6]->font();
    bold.setBold(true);
    lines_[6]->setFont(bold);
    lines_[7]->setFont(bold);
}

void CStatusLines::showTexts(const StatusTexts& texts) {
    const std::array<const std::string*, 8> shown = {&texts.positionSpeed, &texts.upperLimit,
                                                     &texts.samplingRate,  &texts.dutyCycle,
                                                     &texts.potValue,      &texts.de1Summary,
                                                     &texts.scanEnd,       &texts.pistonReturn};
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
