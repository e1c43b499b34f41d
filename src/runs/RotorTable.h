#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace corvane {

// A tube's place under the piston, from "rotors.txt".
struct RotorGeometry {
    double top = 0.0;          // upper limit switch to the top of the tube, mm
    double tubeLength = 0.0;   // top to bottom of the tube, mm
    double volumePerMm = 0.0;  // ml per mm of tube height
};

// The built-in rotor names. The USER page and the per-rotor keys store the
// manufacturer index and the model's index in its manufacturer's list; the
// geometry of each model comes from "rotors.txt".
class RotorTable {
public:
    // Volume per mm used when "rotors.txt" gives none, and wherever a run
    // has no rotor to take it from.
    static constexpr double kDefaultVolumePerMm = 0.143;
    // Each name sits in a slot of this many bytes, terminator included.
    static constexpr std::size_t kNameSlot = 64;

    [[nodiscard]] static int manufacturerCount();
    // Empty when the index is out of range.
    [[nodiscard]] static std::string_view manufacturerName(int manufacturer);
    // The models of one manufacturer in list order (empty span when out of range).
    [[nodiscard]] static std::span<const std::string_view> models(int manufacturer);
    [[nodiscard]] static std::string_view modelName(int manufacturer, int model);

    // Exact, case-sensitive matches; -1 when none. An empty name matches nothing.
    [[nodiscard]] static int findManufacturer(std::string_view name);
    [[nodiscard]] static int findModel(int manufacturer, std::string_view name);

    // The geometry line of a model in "rotors.txt" (section = manufacturer
    // name without brackets, key = model name, three numbers). Missing numbers
    // read as 0; the tube length is second - first only when both are
    // non-zero; a volume per mm of 0 becomes kDefaultVolumePerMm. Nothing when
    // the file or the model's line is missing, or the model name is empty.
    [[nodiscard]] static std::optional<RotorGeometry> lookupGeometry(
        const std::filesystem::path& rotorsFile, std::string_view manufacturer,
        std::string_view model);
};

}  // namespace corvane
