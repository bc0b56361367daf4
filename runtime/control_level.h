#pragma once

namespace quillon {

// The four nested sets of controls that operations switch off and the connection check
// switches on. A lower level includes every higher one:
//   StopAndBelow    - the Stop button, then everything of FilesAndBelow;
//   FilesAndBelow   - Load, Confirm and Save, then everything of Operations;
//   Operations      - Type, TypeAuto, Read, External-/Internal-Flash, Erase, Check, Program,
//                     Verify, Auto, the BurnRun menu item, Reset EC and the Setup menu;
//   SetupMenu       - the Setup menu only.
// A flash operation switches FilesAndBelow off so that only Stop stays usable.
enum class ControlLevel { StopAndBelow = 1, FilesAndBelow = 2, Operations = 3, SetupMenu = 4 };

constexpr int LevelNumber(ControlLevel level) {
    return static_cast<int>(level);
}

}  // namespace quillon
