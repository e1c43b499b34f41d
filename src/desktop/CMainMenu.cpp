#include "desktop/CMainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "app/Version.h"
#include "desktop/MainWindowLogic.h"
#include "desktop/NotYet.h"

namespace corvane {

CMainMenu::CMainMenu(MainWindowLogic& logic, QMainWindow& window)
    : QObject(&window), logic_(logic), window_(window) {
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->setToolTipsVisible(true);
    connect(file->addAction(QStringLiteral("&Open Data File")), &QAction::triggered, this, [this] {
        if (logic_.files().openDataFile()) {
            emit dataChanged();
        }
    });
    markNotYet(file->addAction(QStringLiteral("C&reate Standard Run")), "the standard runs");
    closeData_ = file->addAction(QStringLiteral("&Close Data File"));
    connect(closeData_, &QAction::triggered, this, [this] {
        logic_.files().closeDataFile();
        emit dataChanged();
    });
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
    markNotYet(file->addAction(QStringLiteral("Compare &Data Sets")), "the compare window");
    markNotYet(file->addAction(QStringLiteral("&Export Data Sets")), "the compare window");
    file->addSeparator();
    scanSetup_ = file->addAction(QStringLiteral("&Scan Setup"));
    connect(scanSetup_, &QAction::triggered, this, &CMainMenu::scanSetupRequested);
    file->addSeparator();
    markNotYet(file->addAction(QStringLiteral("&Print Graph")), "printing");
    markNotYet(file->addAction(QStringLiteral("S&ave Graph Image")), "image saving");
    file->addSeparator();
    connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this,
            &CMainMenu::exitRequested);
    connect(file, &QMenu::aboutToShow, this, &CMainMenu::update);

    QMenu* view = window.menuBar()->addMenu(QStringLiteral("&View"));
    view->setToolTipsVisible(true);
    markNotYet(view->addAction(QStringLiteral("Add / Remove Cursor(s)")), "the graph cursors");
    markNotYet(view->addAction(QStringLiteral("Graphing Window Size")), "the graph options");

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
