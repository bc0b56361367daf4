#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "records/stored_unit.h"

namespace quillon {

// The line's report as one self-contained HTML page: inline SVG charts and their tables, its
// own style, no script and nothing fetched from elsewhere. `source` names where the units
// came from (a file or a database URI), `made` when the page was made (ISO 8601 UTC).
std::string LineReportHtml(const std::vector<StoredUnit>& units, const std::string& source,
                           const std::string& made);

// Replaces `file` with `html` whole (a temporary file beside it, renamed over it): a page that
// cannot be written leaves the old one as it was. Throws std::runtime_error saying what and
// where ("Cannot write 'r.html': ...").
void WriteLineReport(const std::filesystem::path& file, const std::string& html);

}  // namespace quillon
