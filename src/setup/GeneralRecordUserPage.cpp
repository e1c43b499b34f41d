#include "setup/GeneralRecordUserPage.h"

#include <system_error>

#include "app/Preferences.h"
#include "app/UserStore.h"
#include "setup/SetupHost.h"
#include "setup/UserFile.h"
#include "setup/UserNames.h"

namespace corvane {

GeneralRecordUserPage::GeneralRecordUserPage(Env env) : env_(std::move(env)) {}

void GeneralRecordUserPage::initialise() {
    const auto users = UserStore(env_.startupFolder).usersFolder();
    std::error_code error;
    std::filesystem::create_directories(users, error);
    names_ = userNamesIn(users);
    name = env_.introName.empty() ? Preferences(env_.startupFolder).lastUser() : env_.introName;
    const auto& record = env_.host.runInfo();
    when = record && record->startTime ? *record->startTime : env_.calendar();
    description = record ? record->experimentName : std::string{};
}

void GeneralRecordUserPage::fillRunInfo() {
    RunInfo info = env_.host.runInfo().value_or(RunInfo{});
    info.userName = name;
    info.startTime = when;
    info.experimentName = description;
    info.uvUnit = RunInfo::kDe1;
    env_.host.setRunInfo(info);
    env_.host.setCurrentPreset({});
}

PageStep GeneralRecordUserPage::next() const { return PageStep{SetupPage::De1Setup}; }

std::optional<PageStep> GeneralRecordUserPage::ok() {
    if (!confirmUser(env_.startupFolder, name, when, description, env_.prompter)) {
        return std::nullopt;
    }
    fillRunInfo();
    return next();
}

std::optional<PageStep> GeneralRecordUserPage::skip() {
    {
        Preferences prefs(env_.startupFolder);
        prefs.forgetLastUser();
    }
    fillRunInfo();
    return next();
}

std::optional<PageStep> GeneralRecordUserPage::goToGraph() {
    fillRunInfo();
    return PageStep{SetupPage::Graph};
}

std::optional<PageStep> GeneralRecordUserPage::compareDataSets() {
    auto step = goToGraph();
    step->compare = true;
    return step;
}

}  // namespace corvane
