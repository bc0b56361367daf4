#pragma once

#include <filesystem>
#include <string_view>

namespace quillon {

// Replaces `file` with `content` so that a reader sees either the old or the whole new file:
// a temporary file beside it is written, flushed to disk and renamed over it. On failure the
// old file is untouched, the temporary file removed, and std::runtime_error says what and where.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view content);

}  // namespace quillon
