#pragma once

#include <filesystem>
#include <string_view>

namespace quillon {

// Replaces `file` with `content` so that a reader sees either the old or the whole new file:
// a temporary file beside it is written, flushed to disk and renamed over it. A symbolic link
// is followed and its target replaced, so the link stays. An existing file the user may not
// write (a read-only file in a writable folder) is refused, never replaced. On failure the old
// file is untouched, the temporary file removed, and std::runtime_error says what and where.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view content);

}  // namespace quillon
