#pragma once

#include <atomic>

#include "app/Prompter.h"

namespace corvane {

class SimKelvoUnit;

// The lab assistant of the simulated bench: every message passes to the
// real prompter, and one that tells the operator to put the needles into
// water or into the reference liquid has the simulated unit's needles moved
// there first (while a message is up the operator cannot reach the bench),
// and puts them back into the tube before the piston next moves.
// Off, it only passes the messages on.
class SimAssistant : public Prompter {
public:
    SimAssistant(Prompter& target, SimKelvoUnit& unit) : target_(target), unit_(unit) {}

    void setFollowing(bool on) { following_.store(on); }
    [[nodiscard]] bool following() const { return following_.load(); }

    void message(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] bool askYesNo(const std::string& text, const std::string& caption = {}) override {
        return target_.askYesNo(text, caption);
    }
    void notify(const std::string& text, const std::string& caption = {}) override {
        target_.notify(text, caption);
    }
    [[nodiscard]] std::optional<std::string> openFile(const FileDialogRequest& request) override {
        return target_.openFile(request);
    }
    [[nodiscard]] std::vector<std::string> openFiles(const FileDialogRequest& request) override {
        return target_.openFiles(request);
    }
    [[nodiscard]] std::optional<std::string> saveFile(const FileDialogRequest& request) override {
        return target_.saveFile(request);
    }
    [[nodiscard]] std::optional<int> chooseColour(int rgb) override { return target_.chooseColour(rgb); }
    [[nodiscard]] std::optional<ColumnChoice> chooseColumns(const ColumnChoiceRequest& request) override {
        return target_.chooseColumns(request);
    }

private:
    Prompter& target_;
    SimKelvoUnit& unit_;
    std::atomic<bool> following_{true};
};

}  // namespace corvane
