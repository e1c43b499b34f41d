// A window the user clicks while a modal window holds him must not stay over
// that modal window: the program would look dead.

#include <gtest/gtest.h>

#include <QDialog>
#include <QExposeEvent>
#include <QMessageBox>
#include <QWindow>

#include "../graph/QtTestApp.h"
#include "app/ModalInFront.h"

namespace corvane {
namespace {

// Counts the raises a window gets.
class Raises : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::ZOrderChange ? 1 : 0;
        return false;
    }
};

struct ModalFront : ::testing::Test {
    ModalFront() {
        app.installEventFilter(&rule);
        main.setGeometry(100, 100, 800, 600);
        main.show();
        page.setGeometry(150, 150, 600, 300);
        page.show();
        modal.setWindowModality(Qt::WindowModal);
        modal.setGeometry(300, 250, 300, 100);
        modal.show();
        QApplication::processEvents();
        modal.installEventFilter(&raises);
    }
    ~ModalFront() override { app.removeEventFilter(&rule); }

    // What the window manager's raise of a clicked window looks like here.
    int raisesAfterExposing(QWidget& window) {
        raises.count = 0;
        QExposeEvent expose(QRegion(QRect(QPoint(), window.size())));
        QApplication::sendEvent(window.windowHandle(), &expose);
        QApplication::processEvents();
        return raises.count;
    }

    QApplication& app = test::qtApp();  // before any widget
    ModalInFront rule;
    QWidget main;
    QDialog page{&main};   // a page of the main window, blocked with it
    QDialog modal{&main};  // the connection steps
    Raises raises;
};

TEST_F(ModalFront, ABlockedWindowComingUpOverTheModalOneBringsItBack) {
    EXPECT_GT(raisesAfterExposing(page), 0);
    EXPECT_GT(raisesAfterExposing(main), 0);

    // Beside it, nothing to cover: left alone.
    page.move(1200, 900);
    QApplication::processEvents();
    EXPECT_EQ(raisesAfterExposing(page), 0);
}

TEST_F(ModalFront, WindowsTheModalOneDoesNotBlockMayStandInFront) {
    QMessageBox own(QMessageBox::Information, "Corvane", "text", QMessageBox::Ok, &modal);
    own.setWindowModality(Qt::NonModal);
    own.setGeometry(320, 260, 200, 80);
    own.show();
    QApplication::processEvents();
    EXPECT_EQ(raisesAfterExposing(own), 0);

    QWidget elsewhere;  // another window tree: a window-modal box leaves it free
    elsewhere.setGeometry(300, 250, 300, 100);
    elsewhere.show();
    QApplication::processEvents();
    EXPECT_EQ(raisesAfterExposing(elsewhere), 0);

    modal.hide();
    EXPECT_EQ(raisesAfterExposing(page), 0);
}

}  // namespace
}  // namespace corvane
