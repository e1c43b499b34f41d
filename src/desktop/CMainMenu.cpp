#include "desktop/CMainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "app/Version.h"
#include "display/MainWindowLogic.h"
#include "desktop/NotYet.h"

namespace corvane {

CMainMenu::CMainMenu(MainWindowLogic& logic, QMainWindow& window)
    : QObject(&window), logic_(logic), window_(window) {
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->setToolTipsVisible(true);
    connect(file->addAction(QStringLiteral("&Open Data File")), &QAction::triggered, this,
            [this] { (void)logic_.files().openDataFile(); });
    connect(file->addAction(QStringLiteral("C&reate Standard Run")), &QAction::triggered, this,
            &CMainMenu::createStandardRunRequested);
    closeData_ = file->addAction(QStringLiteral("&Close Data File"));
    connect(closeData_, &QAction::triggered, this, [this] { logic_.files().closeDataFile(); });
    saveBuffered_ = file->addAction(QStringLiteral("Save &Buffered Data"));
    connect(saveBuffered_, &QAction::triggered, this, &CMainMenu::saveBufferedRequested);
    connect(file->addAction(QStringLiteral("Save &Graph Data As...")), &QAction::triggered, this,
            [this] { logic_.files().saveGraphDataAs(); });
    rescue_ = file->addAction(QStringLiteral("&Rescue Lost Data"));
    connect(rescue_, &QAction::triggered, this, [this] {
        logic_.files().rescueLostData();
        update();
    });
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Compare &Data Sets")), &QAction::triggered, this, &CMainMenu::compareRequested);
    connect(file->addAction(QStringLiteral("&Export Data Sets")), &QAction::triggered, this,
            &CMainMenu::exportRequested);
    file->addSeparator();
    scanSetup_ = file->addAction(QStringLiteral("&Scan Setup"));
    connect(scanSetup_, &QAction::triggered, this, &CMainMenu::scanSetupRequested);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("&Print Graph")), &QAction::triggered, this, &CMainMenu::printRequested);
    connect(file->addAction(QStringLiteral("S&ave Graph Image")), &QAction::triggered, this,
            &CMainMenu::saveGraphImageRequested);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this,
            &CMainMenu::exitRequested);
    connect(file, &QMenu::aboutToShow, this, &CMainMenu::update);

    QMenu* view = window.menuBar()->addMenu(QStringLiteral("&View"));
    view->setToolTipsVisible(true);
    connect(view->addAction(QStringLiteral("Add / Remove Cursor(s)")), &QAction::triggered, this,
            &CMainMenu::cursorsRequested);
    connect(view->addAction(QStringLiteral("Graphing Window Size")), &QAction::triggered, this,
            &CMainMenu::windowSizeRequested);
    view->addSeparator();
    axisLabels_ = view->addAction(QStringLiteral("Axis Labels"));
    axisLabels_->setCheckable(true);
    axisLabels_->setChecked(true);
    connect(axisLabels_, &QAction::toggled, this, &CMainMenu::axisLabelsToggled);
    legend_ = view->addAction(QStringLiteral("Legend"));
    legend_->setCheckable(true);
    legend_->setChecked(true);
    connect(legend_, &QAction::toggled, this, &CMainMenu::legendToggled);
    view->addSeparator();
    connect(view->addAction(QStringLiteral("X-Axis Scale...")), &QAction::triggered, this,
            [this] { emit gainsRequested(true); });
    connect(view->addAction(QStringLiteral("Y-Axis Scale...")), &QAction::triggered, this,
            [this] { emit gainsRequested(false); });
    connect(view->addAction(QStringLiteral("Y-Axis Offsets...")), &QAction::triggered, this,
            &CMainMenu::offsetsRequested);
    view->addSeparator();
    connect(view->addAction(QStringLiteral("&Analysis")), &QAction::triggered, this, &CMainMenu::analysisRequested);
    view->addSeparator();
    connect(view->addAction(QStringLiteral("Absorbance Units Full Scale...")), &QAction::triggered, this,
            &CMainMenu::aufsRequested);

    QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("About Corvane")), &QAction::triggered, this, [this] {
        QMessageBox::about(&window_, QStringLiteral("About Corvane"),
                           QStringLiteral("Corvane version %1").arg(QLatin1String(kVersionText)));
    });
}

void CMainMenu::update() {
    closeData_->setText(qs(logic_.files().closeDataMenuText()));
    closeData_->setEnabled(logic_.files().openDataSets() > 0);
    rescue_->setEnabled(logic_.files().lostDataPresent());
}

void CMainMenu::setAxisLabelsChecked(bool on) {
    const QSignalBlocker block(axisLabels_);
    axisLabels_->setChecked(on);
}

void CMainMenu::setLegendChecked(bool on) {
    const QSignalBlocker block(legend_);
    legend_->setChecked(on);
}

QAction* CMainMenu::action(const QString& text) const {
    for (QAction* menu : window_.menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* entry : menu->menu()->actions()) {
            if (entry->text() == text) {
                return entry;
            }
        }
    }
    return nullptr;
}

}  // namespace corvane
