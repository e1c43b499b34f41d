// The simulated bench window, offscreen: it shows where the needles are as
// the assistant and the unit move them, and opens again after a close.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimAssistant.h"
#include "sim/SimRig.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "../graph/QtTestApp.h"
#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "TestClocks.h"
#include "desktop/CSimInstrumentDlg.h"
#include "link/Packets.h"

namespace corvane {
namespace {

QAction* benchAction(QMainWindow& window) {
    for (QAction* menu : window.menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* entry : menu->menu()->actions()) {
            if (entry->text() == QStringLiteral("Simulated Instrument")) {
                return entry;
            }
        }
    }
    return nullptr;
}

TEST(SimBenchWindow, FollowsTheNeedlesAndOpensAgainAfterAClose) {
    test::qtApp();
    test::ManualClock clock;
    SimRig rig(clock);
    test::ScriptedPrompter prompter;
    SimAssistant assistant(prompter, *rig.kelvo());
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&View"));
    addSimulatedInstrumentMenu(window, &rig, &assistant);
    QAction* open = benchAction(window);
    ASSERT_NE(open, nullptr);
    auto* bench = window.findChild<CSimInstrumentDlg*>();
    ASSERT_NE(bench, nullptr);

    constexpr int kWater = 1;
    constexpr int kReference = 2;
    constexpr int kTube = 3;
    open->trigger();
    ASSERT_TRUE(bench->isVisible());
    EXPECT_EQ(bench->mediumRow(), kTube);
    assistant.message("Insert needles into pure water.");
    EXPECT_TRUE(test::pumpUntil([&] { return bench->mediumRow() == kWater; }, 5));
    assistant.message("Insert needles into 1.00 (0.23) OD solution.");
    EXPECT_TRUE(test::pumpUntil([&] { return bench->mediumRow() == kReference; }, 5));

    // Closed while the unit puts the needles back: opened again, it shows the tube.
    bench->close();
    ASSERT_FALSE(bench->isVisible());
    rig.kelvo()->setMode(kModeManual);
    open->trigger();
    ASSERT_TRUE(bench->isVisible());
    EXPECT_EQ(bench->mediumRow(), kTube);
}

}  // namespace
}  // namespace corvane
