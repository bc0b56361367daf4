#pragma once

#include <cstdint>
#include <string>

#include "config/connect_mode.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "target/target_identity.h"

namespace quillon {

// Chip codes with rules of their own in the flash operations.
// SMBus speeds: the stored SMBusSpeed of the fast bus, and the port-control codes that switch
// the bus to the low and back to the high speed around a program or verify.
inline constexpr int32_t kHighSmbusSpeed = 2;
inline constexpr uint8_t kSmbusLowSpeedCode = 2;
inline constexpr uint8_t kSmbusHighSpeedCode = 12;

namespace chip {
inline constexpr uint16_t k11ED = 0x11ED;  // ROM-code area of block 1 not tested
inline constexpr uint16_t k4C8A = 0x4C8A;  // no last-KiB unprotect
inline constexpr uint16_t k4CE1 = 0x4CE1;  // no last-KiB unprotect; low SMBus speed to program
inline constexpr uint16_t k4CED = 0x4CED;  // quick paths also on the internal flash
inline constexpr uint16_t k4C40 = 0x4C40;  // quick paths also on the internal flash
inline constexpr uint16_t k1FD2 = 0x1FD2;  // block process compares the eFlash size only
inline constexpr uint16_t k1F62 = 0x1F62;
}  // namespace chip

// The values one operation reads once when it starts, and its counters.
struct FlashRun {
    // Settings of the run.
    int32_t connectMode = 0;
    int32_t allocation = 0;  // 1 From Top, 2 From Medium, 3 From Assigned
    int32_t quickMode = 0;   // 0 Disable, 1 Enable, 2 KBS Burst Write
    int32_t smbusSpeed = 0;  // 2 = the high SMBus speed
    bool romKey = false;
    std::string flashMaker;  // LastFlashID1
    std::string flashPart;   // LastFlashID2
    SettingsCache type;      // the selected flash type, as it stood at the start
    uint16_t chipCode = 0;
    bool romCodeFamily = false;

    // OperationResult as the run leaves it: the previous value until a command is sent.
    bool result = false;
    // Counters.
    int retries = 0;
    long long errors = 0;
    // Why the run failed, when it knows better than its counters say.
    std::string cause;

    bool IsMode(ConnectMode mode) const { return connectMode == StoredValue(mode); }
    bool IsChip(uint16_t code) const { return chipCode == code; }
    // Blocks below StartBlock are worked on only with the From Top allocation.
    bool Covers(uint32_t block, uint32_t startBlock) const {
        return allocation == 1 || block >= startBlock;
    }
    bool RetriesExhausted() const;

    static FlashRun Read(const SettingsStore& settings, const SettingsCache& cache,
                         const TargetIdentity& identity);
};

}  // namespace quillon
