#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/scenario.h"

namespace quillon::sim {

// A scenario or fault description that cannot be used; the message names the file, the line
// and the reason ("default.ini:12: unknown key 'chipid' in [ec]").
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a scenario file's text. `fileName` only labels the messages.
//
//   [scenario]  name, powered (yes/no), plugged, seed, real_time
//   [board]     firmware (HH.HH), controller_kind, pin_definition_kind,
//               stored_pins (15 numbers), stored_file_size
//   [ec]        chip_id (3 hex bytes), link (kbs/smbus/both), eflash_size, eflash_sector,
//               eflash_id (5 hex bytes), eflash_id16 (16 hex bytes), external_part,
//               selected (internal/external), quick_mode_register (hex), rom_key_locked,
//               match_key (8 hex bytes), kbs_pins (15 numbers), register.HHHH = HH
//   [pd]        chip_id, i2c_address (hex), flash_size, flash_id (up to 16 hex bytes),
//               register.HHHH = HH
//   [socket]    part
//   [timing]    spi_clock_hz, usb_bytes_per_second, usb_round_trip_us (wall-clock per transfer)
//   [fault]     one rule per section: kind and the keys of ParseFaultRule
// Sizes and counts are decimal, 0x-prefixed hex, or carry a K or M suffix; bytes are hex.
// Unknown sections and keys, repeated keys and bad values are refused.
Scenario ParseScenario(std::string_view text, const std::string& fileName);

// Reads and parses a scenario file; a file that cannot be read is refused the same way.
Scenario LoadScenarioFile(const std::filesystem::path& path);

// A fault rule from key = value pairs:
//   kind (fail_transfer, unstable_read, stuck_bits, write_lie, erase_lie, partial_write,
//   stale_read, power_loss, unplug), opcode, sub (hex), unit, times, rate (0..1), bytes,
//   after, flash (eflash, external, socket, pd, board), address, length, bits (hex).
// `where` prefixes the messages.
FaultRule ParseFaultRule(const std::vector<std::pair<std::string, std::string>>& keys,
                         const std::string& where);

}  // namespace quillon::sim
