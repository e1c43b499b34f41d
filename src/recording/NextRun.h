#pragma once

#include <mutex>
#include <optional>

#include "runs/Em1RunWriter.h"
#include "runs/OverlayPlan.h"
#include "runs/RunInfo.h"

namespace corvane {

// The description of the next run, as the setup pages and the window leave
// it: the run description (USER page), the DE-1 setup (DE-1 SETUP page),
// the standard run shown (its plan cuts a DE-1 run), and the collection
// vessel with the fractionation kind. One owner keeps it (the main
// window's logic; corvane-cli record its own); the recording controller
// reads it when a run starts, so the run takes what was chosen last.
//
// Threads: one thread writes it (the window's); it may read current()
// without a lock. Any other thread (the device worker starting a run)
// takes a snapshot(), copied under the lock.
class NextRun {
public:
    struct Description {
        // Nothing until a USER page has been confirmed.
        std::optional<RunInfo> runInfo;
        // Nothing until DE-1 SETUP has been left with settings: a DE-1 run
        // then takes those of "prefs.cfg".
        std::optional<Em1RunWriter::Setup> de1Setup;
        // The standard run the window shows; nothing without one.
        std::optional<StandardRunPlan> standardRunPlan;
        // What one collection vessel holds (ml): a plan's fractions must fit it.
        double collectionVolume = 5.0;
        int fractionationKind = 0;  // 0 standard, 1 auto + manual
    };

    // On the writing thread.
    [[nodiscard]] const Description& current() const { return d_; }
    void setRunInfo(std::optional<RunInfo> info) { write([&](Description& d) { d.runInfo = std::move(info); }); }
    void setDe1Setup(std::optional<Em1RunWriter::Setup> setup) {
        write([&](Description& d) { d.de1Setup = std::move(setup); });
    }
    void setStandardRunPlan(std::optional<StandardRunPlan> plan) {
        write([&](Description& d) { d.standardRunPlan = std::move(plan); });
    }
    void setCollection(double volumeMl, int kind) {
        write([&](Description& d) {
            d.collectionVolume = volumeMl;
            d.fractionationKind = kind;
        });
    }

    // On any thread.
    [[nodiscard]] Description snapshot() const {
        const std::scoped_lock lock(mutex_);
        return d_;
    }

private:
    template <class F>
    void write(F&& f) {
        const std::scoped_lock lock(mutex_);
        f(d_);
    }

    mutable std::mutex mutex_;  // held while d_ changes, and by snapshot()
    Description d_;
};

}  // namespace corvane
