#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

// What the board steps need of the KBS pin definition; the Setup page's pin desk fills these.
// A seam left empty is skipped (no definition is sent while `numbers` is empty).
struct PinDefinitionSeams {
    static constexpr std::size_t kPinCount = 15;
    using Numbers = std::array<uint8_t, kPinCount>;

    // Start-up fill of the pin-set list and the definition from "PinSet.ini". A malformed
    // selected set throws; start-up logs it and goes on to the board.
    std::function<void()> fill;
    // The 15 pin numbers in use, in column order (what SetKbsPinDefine sends).
    std::function<Numbers()> numbers;
    // The board keeps its pin definition in its own flash: the grid takes its two-row form.
    std::function<void()> pinNumberBoard;
    // The board's own copy was read: take the 15 numbers over (labels "PinNN"), redraw.
    std::function<void(const Numbers& numbers)> takeOver;
};

// Seams of the start-up sequence that later layers fill. A hook left empty is skipped.
struct StartupHooks {
    // Pin-source selection rule when the start-up load changes the source item (no File step).
    std::function<void(int item)> pinSourceSelected;
    // Last-file reload: empty the image buffer, load `path`, merge it. False when any of that
    // failed; the load then clears the stored path and tells the operator.
    std::function<bool(const std::string& path)> reloadLastFile;
    // Device box from LastFlashID1 / LastFlashID2 (both exist when it is called).
    std::function<void()> fillDeviceBox;
    // The pin definition: filled after the status bar, used by the board steps.
    PinDefinitionSeams pins;
    // Starts following the board's plug-in and plug-out (the window's device watcher).
    std::function<void()> watchDevices;
};

}  // namespace quillon
