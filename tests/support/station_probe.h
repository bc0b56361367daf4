#pragma once

#include <array>
#include <string>

#include "station/station.h"

namespace quillon {

// Reaches the parts a station owns, for tests and benchmarks that preset them or look into
// them: the store, the cache, the image buffers, the identity and the board link. Front-ends
// reach the station only through its own small API.
class StationProbe {
public:
    explicit StationProbe(Station& station) : station_(station) {}

    MessageLog& Log() { return station_.log_; }
    SettingsCache& Cache() { return station_.cache_; }
    ImageState& Image() { return station_.image_; }
    ConnectionFlags& Flags() { return station_.flags_; }
    TargetIdentity& Identity() { return station_.identity_; }
    std::array<std::string, 7>& ChipIdStrings() { return station_.identity_.chipIdStrings; }
    EFlashFacts& EFlash() { return station_.eflash_; }
    BoardLink& Link() { return *station_.link_; }
    BoardCommands& Board() { return *station_.board_; }
    BoardSideCommands& BoardSide() { return *station_.boardSide_; }
    Clock& GetClock() { return station_.clock_; }
    // What the next operation does first.
    void ClearStop() { station_.stop_.Clear(); }

private:
    Station& station_;
};

inline StationProbe Probe(Station& station) {
    return StationProbe(station);
}

}  // namespace quillon
