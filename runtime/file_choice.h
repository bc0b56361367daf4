#pragma once

#include <optional>
#include <string>

namespace quillon {

// A file command's input: the path the operator chose, or nothing when the dialog was
// cancelled. A front-end asks its own way (a dialog, a command-line argument) before it calls
// the command; the command never asks.
using FileChoice = std::optional<std::string>;

}  // namespace quillon
