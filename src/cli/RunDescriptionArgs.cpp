#include "cli/RunDescriptionArgs.h"

#include <system_error>

#include "app/ConfigFile.h"
#include "app/NameCheck.h"
#include "app/Preferences.h"
#include "app/UserStore.h"
#include "runs/Em1SettingsStore.h"
#include "runs/PresetRunFile.h"
#include "runs/RotorTable.h"
#include "setup/De1SetupPage.h"
#include "setup/UserPage.h"

namespace corvane::cli {
namespace {

using Taken = InstrumentOptions::Taken;

Taken text(char** argv, int& i, std::optional<std::string>& into) {
    into = argv[++i];
    return Taken::Yes;
}

template <class T>
Taken number(char** argv, int& i, std::optional<T>& into, T low, T high) {
    T value{};
    if (!parseNumber(std::string_view(argv[++i]), value) || !(value >= low && value <= high)) {
        return Taken::Bad;
    }
    into = value;
    return Taken::Yes;
}

Taken choice(char** argv, int& i, std::optional<int>& into, std::initializer_list<const char*> names) {
    const std::string_view value = argv[++i];
    int index = 0;
    for (const char* name : names) {
        if (value == name) {
            into = index;
            return Taken::Yes;
        }
        ++index;
    }
    return Taken::Bad;
}

// A preset's run description over the user's fields: the rotor and the
// experiment's figures; who runs it and when stay.
void applyPreset(RunInfo& info, const RunInfo& preset) {
    RunInfo merged = preset;
    merged.userName = info.userName;
    merged.experimentName = info.experimentName;
    merged.startTime = info.startTime;
    info = merged;
}

}  // namespace

Taken RunDescriptionArgs::take(int argc, char** argv, int& i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc || !arg.starts_with("--")) {
        return Taken::No;
    }
    if (arg == "--user") return text(argv, i, user);
    if (arg == "--preset") return text(argv, i, preset);
    if (arg == "--experiment") return text(argv, i, experiment);
    if (arg == "--rotor-maker") return text(argv, i, rotorMaker);
    if (arg == "--rotor-model") return text(argv, i, rotorModel);
    if (arg == "--gradient") return text(argv, i, gradient);
    if (arg == "--gradient-from") return number(argv, i, gradientFrom, 0.0, 100.0);
    if (arg == "--gradient-to") return number(argv, i, gradientTo, 0.0, 100.0);
    if (arg == "--gradient-units") return choice(argv, i, gradientUnits, {"w/v", "w/w", "v/v"});
    if (arg == "--sample-volume") return text(argv, i, sampleVolume);
    if (arg == "--rotor-speed") return text(argv, i, rotorSpeed);
    if (arg == "--spin-time") return text(argv, i, spinTime);
    if (arg == "--w2t") return text(argv, i, w2t);
    if (arg == "--w2t-exponent") return number(argv, i, w2tExponent, -99, 99);
    if (arg == "--tubes") return number(argv, i, tubes, 1, 99);
    if (arg == "--temperature") return number(argv, i, temperature, -100.0, 200.0);
    if (arg == "--uv-unit") return choice(argv, i, uvUnit, {"dual", "single", "de1"});
    return Taken::No;
}

bool RunDescriptionArgs::any() const {
    return user || preset || experiment || rotorMaker || rotorModel || gradient || gradientFrom || gradientTo ||
           gradientUnits || sampleVolume || rotorSpeed || spinTime || w2t || w2tExponent || tubes ||
           temperature || uvUnit;
}

const char* runDescriptionUsage() {
    return "The run's description (the header of the run file), as the USER page gives it:\n"
           "  --user NAME            that user's stored settings, read as choosing the user does\n"
           "                         (nothing is written: not \"lastuser\", not the user's file)\n"
           "  --preset FILE          a preset run file's settings (its DE-1 settings with --de1)\n"
           "  --experiment TEXT  --rotor-maker TEXT  --rotor-model TEXT  --gradient TEXT\n"
           "  --gradient-from PCT  --gradient-to PCT  --gradient-units w/v|w/w|v/v\n"
           "  --sample-volume TEXT  --rotor-speed TEXT  --spin-time TEXT  --w2t TEXT\n"
           "  --w2t-exponent N  --tubes N  --temperature C  --uv-unit dual|single|de1\n"
           "Each field option wins over --user and --preset; a run needs no rotor.\n";
}

std::optional<RunSetup> resolveRunSetup(const RunDescriptionArgs& a, const std::filesystem::path& folder,
                                        bool de1, const CalendarTime& now, std::string& problem) {
    RunSetup setup;
    if (!a.any()) {
        return setup;
    }
    UserPageFields fields;
    std::filesystem::path userFile;
    if (a.user) {
        if (problem = folderNameProblem(*a.user); !problem.empty()) {
            return std::nullopt;
        }
        // The file itself, never the lookup that moves older user files.
        userFile = UserStore(folder).userFolder(*a.user) / "settings.txt";
        std::error_code error;
        if (std::filesystem::is_regular_file(userFile, error)) {
            fields = loadUserFields(ConfigFile(userFile));
        } else {
            setup.notes.push_back("user " + *a.user + " has no stored settings in " +
                                  UserStore(folder).usersFolder().string());
            userFile.clear();
        }
        fields.name = *a.user;
    }
    fields.when = now;
    RunInfo info = runInfoFrom(fields, fields.rotorEntry, RunInfo{});
    if (const auto geometry = RotorTable::lookupGeometry(folder / "rotors.txt", info.rotorManufacturer,
                                                         info.rotorModel)) {
        info.volumePerMm = geometry->volumePerMm;
    }
    std::optional<PresetRun> preset;
    if (a.preset) {
        preset = readPresetRun(*a.preset);
        if (!preset) {
            problem = "not a preset run file: " + *a.preset;
            return std::nullopt;
        }
        if (preset->runInfo) {
            applyPreset(info, *preset->runInfo);
        }
    }
    if (a.experiment) info.experimentName = *a.experiment;
    if (a.rotorMaker) {
        info.rotorManufacturer = *a.rotorMaker;
        info.manufacturerIndex = RotorTable::findManufacturer(*a.rotorMaker);
    }
    if (a.rotorModel) {
        info.rotorModel = *a.rotorModel;
        info.rotorModelIndex = RotorTable::findModel(info.manufacturerIndex, *a.rotorModel);
    }
    if (a.gradient) info.gradient = *a.gradient;
    if (a.gradientFrom) info.gradientPercent1 = *a.gradientFrom;
    if (a.gradientTo) info.gradientPercent2 = *a.gradientTo;
    if (a.gradientUnits) info.gradientUnits = *a.gradientUnits;
    if (a.sampleVolume) info.sampleVolume = *a.sampleVolume;
    if (a.rotorSpeed) info.speed = *a.rotorSpeed;
    if (a.spinTime) info.spinTime = *a.spinTime;
    if (a.w2t) info.w2tMantissa = *a.w2t;
    if (a.w2tExponent) info.w2tExponent = *a.w2tExponent;
    if (a.tubes) info.numberOfTubes = *a.tubes;
    if (a.temperature) info.temperature = *a.temperature;
    // The header names the detector the run was taken with.
    info.uvUnit = a.uvUnit.value_or(de1 ? RunInfo::kDe1 : RunInfo::kDualWavelength);
    setup.info = info;

    if (de1 && (!userFile.empty() || (preset && preset->em1))) {
        Em1RunWriter::Setup run;
        run.settings = loadEm1Settings(Preferences(folder).store());
        if (!userFile.empty()) {
            (void)loadUserEm1Settings(ConfigFile(userFile), info.manufacturerIndex, info.rotorModelIndex,
                                      run.settings);
        }
        if (preset && preset->em1) {
            const bool autozero = run.settings.autozeroAtStart;  // not kept in presets
            run.settings = *preset->em1;
            run.settings.autozeroAtStart = autozero;
            run.settings.autosendEventMarks = preset->scan.autosendEventMarks;
            if (preset->plan && !preset->plan->zones.empty()) {
                run.overlayPlan = preset->plan;
            }
        }
        run.tubingLength = tubingLengthFor(run.settings.deadVolume);
        setup.de1 = run;
    }
    return setup;
}

}  // namespace corvane::cli
