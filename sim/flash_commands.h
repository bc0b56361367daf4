#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "sim/command_header.h"
#include "sim/spi_flash.h"

namespace quillon::sim {

// The target flash commands as one flash answers them, whoever drives it (the controller's
// debugger, or the board's own FSPI socket). `command.sub` is the plain sub-command (0x01,
// 0x02, 0x03, 0x04, 0x07, 0x08, 0x09, 0x0A); the socket's +0x10 forms are mapped first.
uint8_t RunFlashCommand(SpiFlash& flash, FlashId id, const CommandHeader& command,
                        std::span<const uint8_t> out, std::span<uint8_t> in,
                        std::optional<ReadOrigin>& origin);

// The plain sub-command of a socket sub-command (0x11..0x16), or the sub-command itself.
uint8_t PlainFlashSub(uint8_t sub);

}  // namespace quillon::sim
