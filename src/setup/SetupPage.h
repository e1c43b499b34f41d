#pragma once

namespace corvane {

// The page codes of the setup chain. The window keeps the current one; a
// page stores the next and asks the PageDispatcher to open it.
enum class SetupPage : int {
    User = 0,
    LedSetup = 1,
    Calibrate = 2,
    ScanningSetup = 3,        // modal, back to the dispatcher when it closes
    Graph = 4,                // the main window itself
    ScanningSetupBeside = 5,  // modeless, beside the graph
    De1Setup = 6,
    Intro = 7,
};

}  // namespace corvane
