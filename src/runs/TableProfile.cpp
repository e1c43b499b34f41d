// The plain-table reader (declared in ProfileReaders.h).
//
// The separator is told from the rows, not from the extension: each of tab,
// semicolon, comma and blanks splits the text, and the one under which the
// most lines at the end of the file read as rows of numbers, all cells
// numbers, wins (a decimal comma split at commas leaves cells like "5;2"
// that are no number, so it loses to the semicolon). The rows are the block
// of lines at the end with one number of cells; the line above them is the
// header, and anything above that is preamble.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/TextFormat.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"

namespace corvane {

namespace {

enum class Separator { Tab, Semicolon, Comma, Blanks };
constexpr std::array<Separator, 4> kSeparators = {Separator::Tab, Separator::Semicolon, Separator::Comma,
                                                  Separator::Blanks};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The end of a quoted cell that starts at from (a doubled quote is a quote).
std::size_t afterQuoted(std::string_view line, std::size_t from) {
    std::size_t i = from + 1;
    while (i < line.size()) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return line.size();
}

// The cells of a line, each trimmed; a separator inside double quotes is text.
void splitCells(std::string_view line, Separator separator, std::vector<std::string_view>& cells) {
    cells.clear();
    std::size_t i = 0;
    const std::size_t n = line.size();
    if (separator == Separator::Blanks) {
        while (true) {
            while (i < n && isBlank(line[i])) ++i;
            if (i == n) return;
            const std::size_t from = i;
            if (line[i] == '"') i = afterQuoted(line, i);
            while (i < n && !isBlank(line[i])) ++i;
            cells.push_back(line.substr(from, i - from));
        }
    }
    const char mark = separator == Separator::Tab ? '\t' : separator == Separator::Semicolon ? ';' : ',';
    while (true) {
        const std::size_t from = i;
        std::size_t j = i;
        while (j < n && line[j] == ' ') ++j;
        if (j < n && line[j] == '"') i = afterQuoted(line, j);
        const std::size_t end = line.find(mark, i);
        cells.push_back(trimBlanks(line.substr(from, end == std::string_view::npos ? end : end - from)));
        if (end == std::string_view::npos) return;
        i = end + 1;
    }
}

enum class CellKind { Number, Missing, Text };

bool isMissing(std::string_view cell) {
    if (cell.empty()) return true;
    if (cell.size() > 3) return false;
    std::string lower;
    for (const char c : cell) lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return lower == "na" || lower == "nan" || lower == "n/a" || lower == "-";
}

CellKind kindOf(std::string_view cell, double& value, unsigned& marks) {
    cell = trimBlanks(unquoted(trimBlanks(cell)));
    if (isMissing(cell)) return CellKind::Missing;
    return parseProfileNumber(cell, value, marks) ? CellKind::Number : CellKind::Text;
}

struct CellCounts {
    std::size_t numbers = 0;
    std::size_t texts = 0;
};

CellCounts countCells(const std::vector<std::string_view>& cells) {
    CellCounts counts;
    double value = 0.0;
    unsigned marks = 0;
    for (const auto cell : cells) {
        switch (kindOf(cell, value, marks)) {
            case CellKind::Number: ++counts.numbers; break;
            case CellKind::Text: ++counts.texts; break;
            case CellKind::Missing: break;
        }
    }
    return counts;
}

// The lines of a text from its last, ended as ProfileLines ends them (LF,
// CR LF or a lone CR; a final line end ends no empty line after it). Only
// the rows at the end are looked at: nothing is kept of the lines above.
class LinesBackward {
public:
    explicit LinesBackward(std::string_view text) : text_(text), pos_(text.size()) {}

    bool previous(std::string_view& line) {
        if (pos_ == 0) return false;
        std::size_t end = pos_;
        if (text_[end - 1] == '\n') {
            --end;
            if (end > 0 && text_[end - 1] == '\r') --end;
        } else if (text_[end - 1] == '\r') {
            --end;
        }
        std::size_t start = end;
        while (start > 0 && text_[start - 1] != '\n' && text_[start - 1] != '\r') --start;
        line = text_.substr(start, end - start);
        pos_ = start;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

// The 1-based number of the line starting at offset, for a message.
std::size_t lineNumberAt(std::string_view text, std::size_t offset) {
    ProfileLines lines(text.substr(0, offset));
    std::string_view line;
    while (lines.next(line)) {
    }
    return lines.number() + 1;
}

// How the text reads under one separator.
struct Reading {
    Separator separator = Separator::Tab;
    std::size_t columns = 0;
    std::size_t firstRow = 0;        // offset of the first row of the block in the text
    std::size_t rows = 0;
    bool allNumbers = true;          // no text cell in any row
    std::optional<std::string_view> header;  // the line above the block
};

Reading readAs(std::string_view text, Separator separator, std::vector<std::string_view>& cells) {
    Reading r;
    r.separator = separator;
    LinesBackward lines(text);
    std::string_view line;
    while (lines.previous(line)) {
        if (line.empty()) continue;
        splitCells(line, separator, cells);
        const CellCounts c = countCells(cells);
        if (c.numbers + c.texts == 0) continue;  // an empty line, or a row of blank cells
        const bool numbersRow = cells.size() >= 2 && c.numbers >= 2 && c.numbers >= c.texts;
        if (r.rows == 0 && !numbersRow) return r;
        if (r.rows == 0) r.columns = cells.size();
        // A row with missing values still is one: numbers and blanks, no name.
        const bool row = cells.size() == r.columns && (numbersRow || c.texts == 0);
        if (!row) {
            r.header = line;
            return r;
        }
        r.firstRow = static_cast<std::size_t>(line.data() - text.data());
        ++r.rows;
        r.allNumbers = r.allNumbers && c.texts == 0;
    }
    return r;
}

bool better(const Reading& a, const Reading& b) {
    if (a.allNumbers != b.allNumbers) return a.allNumbers;
    return a.rows > b.rows;
}

// The header's names; a header under blanks may hold blanks in its names, so
// tabs, then runs of two or more blanks are tried as well. The separator's
// own split when none gives the rows' number of columns.
std::vector<std::string_view> headerNames(std::string_view line, const Reading& r) {
    std::vector<std::string_view> names;
    splitCells(line, r.separator, names);
    if (names.size() == r.columns || r.separator != Separator::Blanks) return names;
    std::vector<std::string_view> other;
    splitCells(line, Separator::Tab, other);
    if (other.size() == r.columns) return other;
    other.clear();
    std::string_view rest = trimBlanks(line);
    while (!rest.empty()) {
        const auto gap = rest.find("  ");
        other.push_back(trimBlanks(rest.substr(0, gap)));
        if (gap == std::string_view::npos) break;
        rest = trimBlanks(rest.substr(gap));
    }
    return other.size() == r.columns ? other : names;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

// A column's name and the unit in it: "Volume (ml)", "A260 [mAU]",
// "Time/min", or a name that is a unit itself ("ml").
struct NameAndUnit {
    std::string_view name;
    std::string_view unit;
};

NameAndUnit nameAndUnit(std::string_view text) {
    text = trimBlanks(text);
    for (const auto& [open, close] : {std::pair{'(', ')'}, std::pair{'[', ']'}}) {
        if (text.ends_with(close)) {
            const auto at = text.rfind(open);
            if (at != std::string_view::npos) {
                return {trimBlanks(text.substr(0, at)), trimBlanks(text.substr(at + 1, text.size() - at - 2))};
            }
        }
    }
    constexpr std::array<std::string_view, 7> kUnits = {"ml", "min", "mm", "s", "mau", "au", "od"};
    const auto isUnit = [&](std::string_view u) {
        for (const auto known : kUnits) {
            if (sameIgnoringCase(u, known)) return true;
        }
        return false;
    };
    if (const auto slash = text.rfind('/'); slash != std::string_view::npos && isUnit(trimBlanks(text.substr(slash + 1)))) {
        return {trimBlanks(text.substr(0, slash)), trimBlanks(text.substr(slash + 1))};
    }
    if (isUnit(text)) return {text, text};
    return {text, {}};
}

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 6) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The 0-based column a choice names: a 1-based number, or a name (exact, then
// ignoring case, then without its unit). Nothing, with the reason in error.
std::optional<std::size_t> columnOf(std::string_view choice, std::size_t fallback, const std::vector<std::string>& names,
                                    std::size_t columns, std::string& error) {
    choice = trimBlanks(choice);
    if (choice.empty()) return fallback;
    if (allDigits(choice)) {
        const std::size_t k = std::stoul(std::string(choice));
        if (k >= 1 && k <= columns) return k - 1;
        error = formatText("column %zu asked for, but the table has %zu columns", k, columns);
        return std::nullopt;
    }
    if (names.empty()) {
        error = "column " + quotedForMessage(choice) + " asked for, but the table has no header line naming columns";
        return std::nullopt;
    }
    const std::array<bool (*)(std::string_view, std::string_view), 3> matchers = {
        [](std::string_view name, std::string_view c) { return name == c; },
        [](std::string_view name, std::string_view c) { return sameIgnoringCase(name, c); },
        [](std::string_view name, std::string_view c) { return sameIgnoringCase(nameAndUnit(name).name, c); },
    };
    for (const auto matches : matchers) {
        std::vector<std::size_t> found;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (matches(names[k], choice)) found.push_back(k);
        }
        if (found.size() == 1) return found.front();
        if (found.size() > 1) {
            error = formatText("column %s is ambiguous: columns %zu and %zu both match it", quotedForMessage(choice).c_str(),
                               found[0] + 1, found[1] + 1);
            return std::nullopt;
        }
    }
    error = "no column named " + quotedForMessage(choice);
    return std::nullopt;
}

ProfileFileResult refused(std::string text) { return {std::nullopt, std::move(text)}; }

const char* separatorName(Separator s) {
    switch (s) {
        case Separator::Tab: return "tabs";
        case Separator::Semicolon: return "semicolons";
        case Separator::Comma: return "commas";
        case Separator::Blanks: return "blanks";
    }
    return "blanks";
}

// Where a table's rows are and what its columns are called: the reading
// that won and the header's names (none without a header line).
struct TableLayout {
    Reading reading;
    std::vector<std::string> names;
};

std::optional<TableLayout> tableLayout(std::string_view text, std::string& error) {
    TableLayout t;
    {
        // Any overlong line refuses the file, wherever it is.
        ProfileLines reader(text);
        std::string_view line;
        while (reader.next(line)) {
        }
        if (reader.overlong()) {
            error = overlongLineMessage(reader.number());
            return std::nullopt;
        }
    }
    std::vector<std::string_view> cells;
    std::optional<Reading> best;
    for (const Separator s : kSeparators) {
        const Reading r = readAs(text, s, cells);
        if (r.rows > 0 && (!best || better(r, *best))) best = r;
    }
    if (!best) {
        error = "no rows of numbers at the end of the file (two or more numbers a line, separated by "
                "tabs, semicolons, commas or blanks)";
        return std::nullopt;
    }
    t.reading = *best;
    const Reading& r = t.reading;
    if (r.header) {
        const auto header = headerNames(*r.header, r);
        if (header.size() != r.columns) {
            error = formatText("line %zu has %zu columns where the rows below it (separated by %s) have %zu",
                               lineNumberAt(text, static_cast<std::size_t>(r.header->data() - text.data())),
                               header.size(), separatorName(r.separator), r.columns);
            return std::nullopt;
        }
        for (const auto name : header) t.names.emplace_back(trimBlanks(unquoted(trimBlanks(name))));
    }
    return t;
}

}  // namespace

TableColumns tableColumnNames(std::string_view bytes) {
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) return {{}, decoded.error()};
    TableColumns out;
    const auto layout = tableLayout(decoded.text(), out.error);
    if (!layout) return out;
    for (std::size_t k = 0; k < layout->reading.columns; ++k) {
        out.names.push_back(layout->names.empty() ? formatText("column %zu", k + 1) : layout->names[k]);
    }
    return out;
}

ProfileFileResult readTableProfile(std::string_view bytes, const ProfileFileOptions& options) {
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) return refused(decoded.error());
    std::string error;
    const auto layout = tableLayout(decoded.text(), error);
    if (!layout) return refused(error);
    const Reading& r = layout->reading;
    const auto& names = layout->names;
    std::vector<std::string_view> cells;
    const auto xColumn = columnOf(options.xColumn, 0, names, r.columns, error);
    const auto yColumn = xColumn ? columnOf(options.yColumn, 1, names, r.columns, error) : std::nullopt;
    if (!xColumn || !yColumn) return refused(error);
    if (*xColumn == *yColumn) return refused(formatText("x and y are the same column (%zu)", *xColumn + 1));

    const auto nameOf = [&](std::size_t k) { return names.empty() ? formatText("column %zu", k + 1) : names[k]; };
    Profile p;
    p.format = ProfileFormat::Table;
    p.xName = nameOf(*xColumn);
    p.channel = nameOf(*yColumn);
    p.xUnit = profileXUnit(nameAndUnit(p.xName).unit);
    const ProfileYUnit yUnit = profileYUnit(nameAndUnit(p.channel).unit);
    p.yUnit = yUnit.unit;

    unsigned marks = 0;
    ProfileLines rows(decoded.text().substr(r.firstRow));
    const auto lineNumber = [&] { return lineNumberAt(decoded.text(), r.firstRow) + rows.number() - 1; };
    std::string_view line;
    while (rows.next(line)) {
        splitCells(line, r.separator, cells);
        if (cells.size() != r.columns) continue;  // an empty line among the rows
        double x = 0.0;
        double y = 0.0;
        const CellKind xKind = kindOf(cells[*xColumn], x, marks);
        const CellKind yKind = kindOf(cells[*yColumn], y, marks);
        if (xKind == CellKind::Text || yKind == CellKind::Text) {
            const std::size_t k = xKind == CellKind::Text ? *xColumn : *yColumn;
            return refused(formatText("line %zu: column %zu holds %s, not a number", lineNumber(), k + 1,
                                      quotedForMessage(cells[k]).c_str()));
        }
        if (marks == (kDecimalPoint | kDecimalComma)) {
            return refused(formatText("line %zu: decimal points and decimal commas both, so a number's meaning is "
                                      "ambiguous", lineNumber()));
        }
        if (xKind == CellKind::Missing || yKind == CellKind::Missing) continue;
        p.x.push_back(x);
        p.y.push_back(y * yUnit.scale);
    }
    if (p.y.empty()) return refused(formatText("no row has both column %zu and column %zu", *xColumn + 1, *yColumn + 1));
    return {std::move(p), {}};
}

}  // namespace corvane
