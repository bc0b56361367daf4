#pragma once

#include <string>

#include "sim/scenario.h"

namespace quillon::testing {

// The usual bench: an EC (8458) reached over KBS and SMBus, with a 128 KiB eFlash and an
// external SPI part behind it (a W25Q32FV unless told), external flash selected.
inline sim::Scenario EcScenario(const std::string& externalPart = "W25Q32FV") {
    sim::Scenario scenario;
    sim::EcSpec ec;
    ec.chipId = {0x84, 0x58, 0x01};
    ec.eflashSize = 0x20000;
    ec.externalPart = externalPart;
    scenario.ec = ec;
    return scenario;
}

}  // namespace quillon::testing
