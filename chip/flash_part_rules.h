#pragma once

#include <optional>
#include <string>

#include "chip/chip_id_strings.h"

namespace quillon {

// Status-register values the station fills in for a part instead of the operator's choice.
struct StatusPreset {
    std::string first;        // Edit_WriteStatus1
    std::string second;       // Edit_WriteStatus2
    bool continuous = false;  // CheckBox_WriteStatusContinue2Bytes

    bool operator==(const StatusPreset&) const = default;
};

// Everything the station does differently for one flash part, resolved from what names the
// part: its JEDEC ID as read, and the maker and part names of the selected flash type. The
// operations ask this record; only the table in flash_part_rules.cpp knows which parts have
// which rule.
struct FlashPartTraits {
    // By the JEDEC ID.
    bool statusByOtherMeans = false;  // no status-register writes and no status read-back
    std::optional<StatusPreset> internalFlashStatus;  // preset while the internal flash is selected
    bool pdControllerFlash = false;  // the ID the USB-PD controller's flash answers
    // By the selected flash type's names.
    bool socketEraseWholeByBlocks = false;  // in the socket: every block erased, whatever the image
    bool controllersOwnEFlash = false;      // "Erase Last 1K" unprotects the controller's last KiB

    bool operator==(const FlashPartTraits&) const = default;
};

// What a flash part is known by. Empty texts name nothing (an older part has no JEDEC texts).
struct FlashPartKey {
    std::string jedecManufacturer;  // slot 4
    std::string jedecMemoryType;    // slot 5
    std::string jedecCapacity;      // slot 6
    std::string maker;              // LastFlashID1
    std::string part;               // LastFlashID2

    bool operator==(const FlashPartKey&) const = default;
};

// The key of the JEDEC texts (slots 4..6) of an identification table.
FlashPartKey JedecKeyOf(const ChipIdStrings& slots);

FlashPartTraits FlashPartTraitsOf(const FlashPartKey& key);

}  // namespace quillon
