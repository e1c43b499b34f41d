#include "runs/RotorTable.h"

#include <array>

#include "app/ConfigFile.h"

namespace corvane {
namespace {

constexpr std::array<std::string_view, 11> kBeckman = {
    "SW32", "SW28", "SW32.1", "SW28.1", "SW41Ti", "SW40Ti",
    "SW50.1", "SW55Ti", "SW65Ti", "SW60Ti", "TLS-55"};
// The last two slots of this list are empty in the instrument's table and stay so.
constexpr std::array<std::string_view, 10> kSorvall = {
    "AH-629/38", "SureSpin 630/38", "TH-641", "AH-650", "S50-ST",
    "S52-ST",    "TH-660",          "RP55S",  "",       ""};
constexpr std::array<std::string_view, 15> kHitachi = {
    "SRP28SA", "RPS27-2",  "RPS27",  "SRP28SA1", "RPS27-3", "RPS25-3", "RPS40T", "RPS65T",
    "RPS55T-2", "RPS50-2", "RPS40T-2", "RPS40",  "RPS50",   "RPS56T",  "RPS5S"};
constexpr std::array<std::string_view, 5> kKendro = {
    "TST28.38", "TST28.17", "TST41.14", "TST55.5", "TST60.4"};

struct Manufacturer {
    std::string_view name;
    std::span<const std::string_view> models;
};

constexpr std::array<Manufacturer, 4> kManufacturers = {{
    {"Beckman", kBeckman},
    {"Sorvall/Thermo/Fisher", kSorvall},
    {"Hitachi", kHitachi},
    {"Kendro", kKendro},
}};

}  // namespace

int RotorTable::manufacturerCount() { return static_cast<int>(kManufacturers.size()); }

std::string_view RotorTable::manufacturerName(int manufacturer) {
    if (manufacturer < 0 || manufacturer >= manufacturerCount()) {
        return {};
    }
    return kManufacturers[static_cast<std::size_t>(manufacturer)].name;
}

std::span<const std::string_view> RotorTable::models(int manufacturer) {
    if (manufacturer < 0 || manufacturer >= manufacturerCount()) {
        return {};
    }
    return kManufacturers[static_cast<std::size_t>(manufacturer)].models;
}

std::string_view RotorTable::modelName(int manufacturer, int model) {
    const auto list = models(manufacturer);
    if (model < 0 || static_cast<std::size_t>(model) >= list.size()) {
        return {};
    }
    return list[static_cast<std::size_t>(model)];
}

int RotorTable::findManufacturer(std::string_view name) {
    for (int i = 0; i < manufacturerCount(); ++i) {
        if (!name.empty() && kManufacturers[static_cast<std::size_t>(i)].name == name) {
            return i;
        }
    }
    return -1;
}

int RotorTable::findModel(int manufacturer, std::string_view name) {
    const auto list = models(manufacturer);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!name.empty() && list[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<RotorGeometry> RotorTable::lookupGeometry(const std::filesystem::path& rotorsFile,
                                                        std::string_view manufacturer,
                                                        std::string_view model) {
    if (model.empty() || manufacturer.empty()) {
        return std::nullopt;
    }
    ConfigFile file(rotorsFile);
    if (!file.isOpen() || !file.getString(manufacturer, model)) {
        return std::nullopt;
    }
    std::array<double, 3> numbers{};
    file.getDoubleArray(manufacturer, model, numbers);
    RotorGeometry geometry;
    geometry.top = numbers[0];
    geometry.tubeLength =
        (numbers[0] != 0.0 && numbers[1] != 0.0) ? numbers[1] - numbers[0] : numbers[1];
    geometry.volumePerMm = numbers[2] != 0.0 ? numbers[2] : kDefaultVolumePerMm;
    return geometry;
}

}  // namespace corvane
