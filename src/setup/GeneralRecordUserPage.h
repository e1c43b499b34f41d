#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/CalendarTime.h"
#include "setup/PageDispatcher.h"

namespace corvane {

class Prompter;
class SetupHost;

// The USER page of the general record (CGeneralRecordUserDlg): a DE-1 run
// that is a plain recording of the monitor, with no rotor and no fractions,
// so the page asks only who records, when, and a description. It is the
// USER page when the signal type is Em1Settings::kGeneralRecord, which the
// operator picks in the "Choose Signal Type" window the program shows
// before the first USER page of a DE-1 session.
class GeneralRecordUserPage {
public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        SetupHost& host;
        CalendarSource calendar = localCalendarTime;
        std::string introName;
    };

    explicit GeneralRecordUserPage(Env env);

    // The name list, the last user (or the INTRO page's name), date and
    // time from the window's RunInfo or now, its experiment as description.
    void initialise();

    [[nodiscard]] const std::vector<std::string>& names() const { return names_; }
    std::string name;
    CalendarTime when;
    std::string description;

    // OK: the name, "lastuser", the user's file with "date", "time" and the
    // description as "experiment_name"; the run description; then the page
    // a USER page leads to. Skip: no user, the run description as typed.
    // GO TO GRAPH: the run description, then the graph.
    [[nodiscard]] std::optional<PageStep> ok();
    [[nodiscard]] std::optional<PageStep> skip();
    [[nodiscard]] std::optional<PageStep> goToGraph();
    [[nodiscard]] std::optional<PageStep> compareDataSets();

private:
    void fillRunInfo();
    [[nodiscard]] PageStep next() const;

    Env env_;
    std::vector<std::string> names_;
};

}  // namespace corvane
