// CMainDlg's compare commands: "Compare &Data Sets" opens the compare window
// in place of this one, "&Export Data Sets" belongs to that window.
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/Prompter.h"
#include "desktop/CCompareDlg.h"
#include "desktop/CGraphMultiDataSetsDlg.h"
#include "desktop/CMainDlg.h"
#include "display/ScreenPlacement.h"
#include "display/TableColumnChoice.h"

namespace corvane {

namespace {

constexpr int kComparePositionX = 400;
constexpr int kComparePositionY = 200;

void placeCompareWindow(const QWidget& owner, QWidget& window) {
    // At its place where the screen has room for it; on a smaller screen
    // pulled back (and shrunk) so its title bar and buttons stay reachable.
    // Its frame is taken to be its owner's, which the system has drawn.
    const QRect outer = owner.frameGeometry();
    const QRect inner = owner.geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QPoint wanted(kComparePositionX, kComparePositionY);
    QScreen* screen = QGuiApplication::screenAt(wanted);
    if (screen == nullptr) screen = owner.screen();
    const QRect free = screen != nullptr ? screen->availableGeometry() : QRect();
    const QSize size = window.size().grownBy(frame);
    const ScreenRect placed = placeOnScreen({wanted.x(), wanted.y(), size.width(), size.height()},
                                            {free.x(), free.y(), free.width(), free.height()});
    const QSize inside = QSize(placed.width, placed.height).shrunkBy(frame);
    if (inside != window.size()) {
        window.resize(inside.expandedTo(window.minimumSizeHint()));
    }
    window.move(placed.x, placed.y);
}

void showAgainAt(QWidget& window, QRect at) {
    // A window manager may place a window shown again anywhere: it goes
    // back where the user had it. The native window is told outright, as
    // the widget believes it is still there.
    if (QWindow* native = window.windowHandle()) {
        native->setPosition(at.topLeft());
    } else {
        window.move(at.topLeft());
    }
    window.show();
}

}  // namespace

void CMainDlg::compareDataSets() {
    const QRect at = geometry();
    hide();
    CGraphMultiDataSetsDlg dialog(seams_.prompter, folders_,
                                  {{}, logic_->prefs().multiDataType(), logic_->prefs().multiColours()}, nullptr);
    if (dialog.exec() != QDialog::Accepted) {
        showAgainAt(*this, at);
        return;
    }
    const auto choice = dialog.choice();
    logic_->prefs().saveMultiDataSets(choice.colours, choice.plotType);
    (void)openCompare(choice.files, choice.plotType, choice.colours);
}

bool CMainDlg::openCompare(const std::vector<std::string>& files, int plotType, const std::array<int, 4>& colours) {
    const QRect at = geometry();
    hide();
    if (compareWindow_) {
        // One compare window at a time: a new command replaces it.
        compareWindow_->disconnect(this);
        compareWindow_->hide();
        compareWindow_->deleteLater();
        compareWindow_.clear();
    }
    CCompareDlg::Setup setup;
    const std::vector<std::filesystem::path> paths(files.begin(), files.end());
    const auto readings = askCompareColumns(seams_.prompter, paths, setup.sets);
    if (!readings) {
        showAgainAt(*this, at);
        return false;
    }
    if (const auto message = setup.sets.load(paths, *readings); !message.empty()) {
        seams_.prompter.message(message);
        showAgainAt(*this, at);
        return false;
    }
    setup.plotType = plotType;
    setup.colours = colours;
    setup.view = logic_->view().axes().settings();
    setup.xAxis = logic_->view().axes().xAxisType();
    compareWindow_ = new CCompareDlg({seams_.startupFolder, seams_.clock, seams_.prompter, folders_}, std::move(setup));
    connect(compareWindow_, &CCompareDlg::compareClosed, this, [this, at] {
        showAgainAt(*this, at);
        raise();
        activateWindow();
    });
    placeCompareWindow(*this, *compareWindow_);
    compareWindow_->show();
    compareWindow_->raise();
    compareWindow_->activateWindow();
    return true;
}

CCompareDlg* CMainDlg::compareWindow() const { return compareWindow_; }

void CMainDlg::exportDataSets() {
    // The main window holds no sets of its own: they live in the compare window.
    seams_.prompter.message("Error, no data files available for export.");
}

}  // namespace corvane
