#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"

namespace quillon::sim {

// Which debugger interfaces of the board the controller is wired to.
enum class EcLink { kKbs, kSmbus, kBoth };

struct BoardSpec {
    uint8_t firmwareMajor = 0x02;
    uint8_t firmwareMinor = 0x15;
    uint8_t controllerKind = 1;     // 1 = KQ11ED board (record at 0x1DC00), else KQ775A (0x3FC00)
    uint8_t pinDefinitionKind = 0;  // 0 = pin-number board
    // The parameter record already in the board's flash (pin definition, file size).
    std::optional<std::array<uint8_t, 15>> storedPins;
    std::optional<uint32_t> storedFileSize;
};

// An embedded controller on the target cable.
struct EcSpec {
    std::array<uint8_t, 3> chipId{0x84, 0x58, 0x00};  // family, code, version
    EcLink link = EcLink::kBoth;
    uint32_t eflashSize = 0;       // bytes; 0 = no embedded flash
    uint32_t eflashSector = 1024;  // what a sector erase clears in the embedded flash
    // JEDEC-style ID the embedded flash answers (5-byte form), and its 16-byte ID dump.
    std::array<uint8_t, 5> eflashId{0xC8, 0x40, 0x11, 0xC8, 0x10};
    std::array<uint8_t, 16> eflashId16{};
    // Target registers (0x1080 configuration byte, 0x2003 / 0x2005 bank size, ...);
    // an unlisted register reads 0x00.
    std::map<uint16_t, uint8_t> registers;
    uint8_t quickModeRegister = 0x04;  // debugger register 0x1A as it reads back
    // A ROM-key chip refuses flash access until the built-in ROM key (kind 2) is sent.
    bool romKeyLocked = false;
    // When set, flash access is refused until this key-match key (kind 1) is sent.
    std::optional<std::array<uint8_t, 8>> matchKey;
    std::string externalPart;       // SPI part name from the parts table; empty = none fitted
    bool internalSelected = false;  // flash selected before any action code 10 / 11
    // When set, the debugger on KBS reaches the controller only while the board's active
    // KBS pin definition (SetKbsPinDefine, or the record in its flash) matches this wiring.
    std::optional<std::array<uint8_t, 15>> kbsPins;
};

// A USB-PD controller reached over CC / I2C.
struct PdSpec {
    std::array<uint8_t, 3> chipId{0xD1, 0x08, 0x00};
    uint8_t i2cAddress = 0x80;
    uint32_t flashSize = 0x10000;
    std::map<uint16_t, uint8_t> registers;  // 0xFFC3 flash size bits, ...
    std::array<uint8_t, 16> flashId{0xFF, 0xFF, 0xFE};
};

struct TimingSpec {
    bool realTime = false;  // sleep for the modelled device time (demos)
    uint32_t spiClockHz = 24'000'000;
    uint32_t usbBytesPerSecond = 40'000'000;  // USB 2.0 high speed, bulk, after overheads
    // The wall-clock time every transfer takes on the link, request out and answer back, also
    // without real time (a slow hub, a loaded host); 0 = none beyond the modelled frame.
    uint32_t usbRoundTripUs = 0;
};

// One bench set-up. Code can fill it in; ParseScenarioFile produces it from an INI file.
struct Scenario {
    std::string name = "default";
    BoardSpec board;
    bool plugged = true;
    bool targetPowered = true;
    std::optional<EcSpec> ec;
    std::optional<PdSpec> pd;
    std::string socketPart;  // SPI part in the board's FSPI socket; empty = socket empty
    TimingSpec timing;
    uint64_t faultSeed = 1;
    std::vector<FaultRule> faults;
};

}  // namespace quillon::sim
