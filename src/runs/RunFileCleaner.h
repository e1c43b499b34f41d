#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

class Prompter;

// The clean-up passes run over a finished or rescued run file: duplicate
// removal (two-channel and DE-1) and the DE-1 event merge. Each works through
// a scratch file and replaces the run file by it only when the scratch file is
// complete; on any failure the run file is left as it was and the pass shows
// its message.
//
// The scratch file is the hidden work file of a safe replacement beside the
// run file (the file names the messages give, "to.csv", "temp_duplicate.txt"
// and "temp_events.txt", are the passes' names for it): a kill mid-pass leaves
// the run as it was, and the work file is cleared by the next replacement in
// that folder, never a file of the user's.
class RunFileCleaner {
public:
    explicit RunFileCleaner(Prompter& prompter);

    // Two-channel files: keeps a row only when both positions moved on from
    // the last row kept (both start at 0, so rows at 0 mm or below go too),
    // and writes it again in the row format. Unreadable rows are dropped, and
    // so is a row ahead of the run (most of the 16 rows after it that move
    // on lie behind it): one damaged far position must not cost the rows up
    // to it.
    [[nodiscard]] bool removeDuplicates(const std::filesystem::path& file);

    // DE-1 files, either layout: drops sample rows whose distance does not
    // move on, the same way. Rows with an event mark or fraction are always
    // kept: the marks are the fractions in the collector's tubes.
    [[nodiscard]] bool removeEm1Duplicates(const std::filesystem::path& file);

    // DE-1 files: moves each event mark back by the dead-volume distance to
    // the sample row nearest its shifted distance, since marks reach the
    // collector only after the liquid has crossed the tubing.
    [[nodiscard]] bool mergeEvents(const std::filesystem::path& file);

    // The clean-up a rescued file gets: the event merge for DE-1 runs, the
    // duplicate removal of its own layout for the others.
    [[nodiscard]] bool cleanRescued(const std::filesystem::path& file);

    // Rows that could not be read are never dropped without a word: each
    // pass that leaves some out says how many and on which lines of the file
    // as it was (naming the file shownAs when given: a copy on its way to
    // that name). A line too long to read whole refuses the pass: it is
    // never cut. rowsLeftOut() counts them over every pass of this cleaner,
    // so a caller can tell whether a file lost rows it could not read.
    void showFileAs(std::filesystem::path shownAs) { shownAs_ = std::move(shownAs); }
    [[nodiscard]] std::size_t rowsLeftOut() const { return totalLeftOut_; }

private:
    class Pass;

    void tellLeftOut(const std::filesystem::path& file);
    [[nodiscard]] std::string shown(const std::filesystem::path& file) const;

    Prompter& prompter_;
    std::filesystem::path shownAs_;
    std::vector<std::size_t> leftOut_;  // this pass's lines
    std::size_t totalLeftOut_ = 0;
};

}  // namespace corvane
