#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runs/ProfileFile.h"

namespace corvane {

// The readers of other instruments' profile files, each a pure function from
// the file's bytes (UTF-8 with or without its mark, or UTF-16) to a profile
// or the reason it is refused. None guesses: a file that could be read two
// ways is refused with what was ambiguous. The profile's name is the caller's.

// A .pks file: whitespace-separated rows under a header line beginning with
// "#" (" El Tm  Val  Rack  Tube  Peak  Waste"), mapped by position because
// "El Tm" holds a blank: row number, elapsed minutes, detector value, rack,
// tube and two booleans in any language. Decimal comma or point, CR LF or LF.
// A change of rack or tube is a mark labelled "rack/tube" at that row; the
// last row, when it has value 0 and rack and tube 0, is the recorder's end
// marker and not data (rows of rack and tube 0 before it are). A file written
// back by a statistics program is read too: its quoted header, quoted row
// names, trailing NA column and dropped rows.
[[nodiscard]] ProfileFileResult readPksProfile(std::string_view bytes);

// An .asc file: tab-separated, three lines first (ignored, trace names,
// units), then volume and absorbance in columns 1-2; the pair whose unit is
// "(Fractions)" lists each fraction's start volume and quoted label, one per
// row from the first, blank after the list. Each fraction is a mark.
[[nodiscard]] ProfileFileResult readAscProfile(std::string_view bytes);

// A plain table: optional lines first, a header line of column names (or
// none), then rows separated by tabs, semicolons, commas or blanks, with a
// decimal point or comma, each told from the rows themselves. x and y are the
// columns options names (the first two by default); a unit in a column's name
// ("Volume (ml)", "A260 [mAU]") is kept. Rows missing x or y are skipped.
[[nodiscard]] ProfileFileResult readTableProfile(std::string_view bytes, const ProfileFileOptions& options = {});

// A plain table's column names in order, as readTableProfile finds its
// header ("column N" for a table without one); error says why the bytes give
// no table.
struct TableColumns {
    std::vector<std::string> names;
    std::string error;
};
[[nodiscard]] TableColumns tableColumnNames(std::string_view bytes);

// Whether decoded text has the header of a .pks file, or the preamble of an
// .asc file, where its name does not say.
[[nodiscard]] bool looksLikePks(std::string_view text);
[[nodiscard]] bool looksLikeAsc(std::string_view text);

}  // namespace corvane
