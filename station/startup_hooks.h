#pragma once

#include <functional>
#include <string>

namespace quillon {

// Seams of the start-up sequence that later layers fill. A hook left empty is skipped.
struct StartupHooks {
    // Pin-source selection rule when the start-up load changes the source item (no File step).
    std::function<void(int item)> pinSourceSelected;
    // Last-file reload: empty the image buffer, load `path`, merge it. False when any of that
    // failed; the load then clears the stored path and tells the operator.
    std::function<bool(const std::string& path)> reloadLastFile;
    // Device box from LastFlashID1 / LastFlashID2 (both exist when it is called).
    std::function<void()> fillDeviceBox;
    // After the status bar is set: the pin-set list and the pin definition.
    std::function<void()> fillPinSets;
    // After the status bar is set: pin sets, board binding and greeting, parameter version.
    // When the settings load ended with an error, a settings error here ends the hook
    // without a second box.
    std::function<void()> afterStatusBar;
};

}  // namespace quillon
