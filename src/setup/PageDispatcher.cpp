#include "setup/PageDispatcher.h"

#include "setup/SetupHost.h"

namespace corvane {

PageDispatcher::PageDispatcher(SetupHost& host) : host_(host) {}

std::size_t PageDispatcher::slot(SetupPage page) { return static_cast<std::size_t>(page); }

void PageDispatcher::setOpener(SetupPage page, Opener opener) { openers_[slot(page)] = std::move(opener); }

bool PageDispatcher::available(SetupPage page) const {
    return page == SetupPage::Graph || static_cast<bool>(openers_[slot(page)]);
}

void PageDispatcher::open(SetupPage page) {
    current_ = page;
    host_.hideWindow();
    // A modal page returns here with the code it left; the chain goes on
    // until a modeless page is up or the graph is reached.
    for (;;) {
        const Opener& opener = openers_[slot(current_)];
        if (current_ == SetupPage::Graph || !opener) {
            current_ = SetupPage::Graph;
            host_.showGraph();
            return;
        }
        const PageShown shown = opener();
        if (!shown.next) {
            return;
        }
        current_ = *shown.next;
    }
}

void PageDispatcher::go(const PageStep& step) {
    if (step.goToGraph) {
        host_.setGoToGraph(true);
        open(step.next);
        host_.setGoToGraph(false);
    } else {
        open(step.next);
    }
    if (step.compare) {
        host_.post(UserMsg::OpenCompare);
    }
}

}  // namespace corvane
