#pragma once

// The environment variable that names, to a child, the inherited read end of the pipe its
// parent writes stops into (the handle's value in decimal).
namespace quillon::platform {
inline constexpr const wchar_t* kStopPipeVariable = L"QUILLON_STOP_PIPE";
}  // namespace quillon::platform
