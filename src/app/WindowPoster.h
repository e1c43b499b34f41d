#pragma once

#include <any>
#include <cstdint>

namespace corvane {

// The messages worker threads and child windows post to the main window. The
// numbers are the offsets above the platform's first user message, kept so the
// log and the debug display read the same as the instrument's documentation.
enum class UserMsg : int {
    RedrawGraph = 1,          // open data file, data-set list changes, graph options
    LinkLost = 2,             // receive thread: the unit was silent for more than 10 s
    LinkStats = 3,            // heartbeat thread, every second, payload LinkStats by value
    WarmedUp = 4,             // heartbeat thread, once, 15th heartbeat before any recording
    Readouts = 5,             // sample handler: counter and readouts
    PageSample = 10,          // LED SETUP reader thread: a fresh CMD0 for the page
    PageRunningSample = 11,   // SCANNING SETUP reader thread: a fresh CMD2 for the page
    OpenCompare = 13,         // user pages and summary page
    ReleaseModeless = 15,     // a finished modeless window asks to be released
    ReceiveEnded = 16,        // receive thread, when it ends
    DestroyAuxiliary = 19,    // the window's own close handler
    OpenDetailedChecklist = 22,
    OpenShortChecklist = 23,
    RedoOverlay = 24,
    OpenSetupPages = 25,
    // Not one of the traditional messages: new live samples for the graph,
    // one waiting at a time (the window builds and paints the traces when it
    // takes it).
    LiveData = 100,
};

// Posting never blocks and never runs the handler on the caller's thread.
// Anything bigger than two integers travels by value in the payload, never as
// an address into an object the poster keeps changing.
class WindowPoster {
public:
    virtual ~WindowPoster() = default;
    virtual void post(UserMsg msg, std::int64_t a = 0, std::int64_t b = 0, std::any payload = {}) = 0;
};

}  // namespace corvane
