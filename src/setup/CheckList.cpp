#include "setup/CheckList.h"

#include <cstdio>
#include <memory>

#include "app/Prompter.h"
#include "base/LineReader.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

[[nodiscard]] std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

CheckListItem parseCheckListLine(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return {std::string(line), false};
    }
    const std::string_view label = line.substr(0, colon);
    const bool setup = label.find_first_of("gG") != std::string_view::npos;
    return {std::string(trimBlanks(line.substr(colon + 1))), setup};
}

CheckList::CheckList(Prompter& prompter) : prompter_(prompter) {}

std::vector<CheckListItem> CheckList::read(const std::filesystem::path& path) {
    std::vector<CheckListItem> items;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.string().c_str(), "rb"),
                                                               &std::fclose);
    if (!file) {
        prompter_.message(formatText("Error, unable to open file: %s", path.string().c_str()));
        return items;
    }
    LineReader reader(file.get());
    std::string_view line;
    while (items.size() < kMaxItems && reader.next(line)) {
        // Blank lines only space the file out; they are not steps.
        if (trimBlanks(line).empty()) {
            continue;
        }
        items.push_back(parseCheckListLine(line.substr(0, kMaxItemBytes)));
    }
    return items;
}

void CheckList::load(const std::filesystem::path& startupFolder) {
    short_ = read(startupFolder / kShortFile);
    detailedItems_ = read(startupFolder / kDetailedFile);
    clampIndex();
}

void CheckList::showDetailed(bool detailed) {
    detailed_ = detailed;
    clampIndex();
}

const std::vector<CheckListItem>& CheckList::items() const {
    return detailed_ ? detailedItems_ : short_;
}

const CheckListItem* CheckList::current() const {
    const auto& list = items();
    if (list.empty()) {
        return nullptr;
    }
    return &list[static_cast<std::size_t>(index_)];
}

bool CheckList::previous() {
    if (index_ <= 0) {
        return false;
    }
    --index_;
    return true;
}

bool CheckList::next() {
    if (index_ + 1 >= static_cast<int>(items().size())) {
        return false;
    }
    ++index_;
    return true;
}

void CheckList::clampIndex() {
    const int count = static_cast<int>(items().size());
    if (index_ >= count) {
        index_ = count > 0 ? count - 1 : 0;
    }
}

}  // namespace corvane
