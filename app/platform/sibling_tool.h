#pragma once

class QWidget;

namespace quillon {

// The sibling tool's window title; both programs drive the same board.
inline constexpr const char* kSiblingToolTitle = "Kavo_NewMarlot_Osk";

// True when the sibling tool's window is open (Windows: its application window; Linux: a
// top-level window with its title on the X display).
bool SiblingToolRunning();

// With the sibling tool open: "Please close another Application!" in a "Warning" box, and
// true (this process must end). False otherwise, without a word.
bool RefuseBesideSibling(QWidget* parent = nullptr);

}  // namespace quillon
