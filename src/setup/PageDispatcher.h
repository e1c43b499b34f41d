#pragma once

#include <array>
#include <functional>
#include <optional>

#include "setup/SetupPage.h"

namespace corvane {

class SetupHost;

// What opening a page did: a modal page has closed again and left the code
// of the page to open next; a modeless page stays up and dispatches again
// itself when one of its buttons is pressed.
struct PageShown {
    std::optional<SetupPage> next;  // set by a modal page only

    [[nodiscard]] static PageShown modeless() { return {}; }
    [[nodiscard]] static PageShown modalThen(SetupPage page) { return {page}; }
};

// Where a page's button leads: the page to open, and what goes with it.
struct PageStep {
    SetupPage next = SetupPage::Graph;
    // The DE-1 SETUP page is opened from "GO TO GRAPH" with a preset run
    // chosen: it takes the preset's settings and goes on to the graph.
    bool goToGraph = false;
    // "COMPARE DATA SETS": the compare window follows the graph.
    bool compare = false;

    bool operator==(const PageStep&) const = default;
};

// The window's page dispatcher: the one place that knows how each page code
// is shown. The window registers an opener per page (the views); a page
// stores the next code and asks for it through go(). Every dispatch hides
// the window first; it comes back with the graph (code 4), or when a
// modeless page gives it back.
//
// A code without an opener goes to the graph: the window never stays hidden
// behind a page this program does not have. available() lets the window
// disable the commands that lead there.
//
// Threads: the window's thread.
class PageDispatcher {
public:
    using Opener = std::function<PageShown()>;

    explicit PageDispatcher(SetupHost& host);

    void setOpener(SetupPage page, Opener opener);
    [[nodiscard]] bool available(SetupPage page) const;

    [[nodiscard]] SetupPage current() const { return current_; }
    // Opens the page of this code (and, after a modal page, the pages it
    // leads to, until a modeless page or the graph is up).
    void open(SetupPage page);
    // A page's button: the next page, with the go-to-graph flag set on the
    // window for the length of the call, and the compare window posted
    // after the graph is up.
    void go(const PageStep& step);

private:
    [[nodiscard]] static std::size_t slot(SetupPage page);

    SetupHost& host_;
    std::array<Opener, 8> openers_;
    SetupPage current_ = SetupPage::Intro;
};

}  // namespace corvane
