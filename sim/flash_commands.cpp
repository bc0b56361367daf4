#include "sim/flash_commands.h"

#include <algorithm>
#include <vector>

#include "board/block_checksum.h"
#include "sim/command_modes.h"

namespace quillon::sim {

namespace {
constexpr uint32_t kBlock = 65536;
uint32_t PageAddress(const CommandHeader& c) {
    return c.Word(5, 3) * kBlock + uint32_t{c.p[4]} * 256;
}
}  // namespace

uint8_t PlainFlashSub(uint8_t sub) {
    static constexpr uint8_t kPlain[] = {0x01, 0x02, 0x03, 0x04, 0x09, 0x0A};
    return sub >= 0x11 && sub <= 0x16 ? kPlain[sub - 0x11] : sub;
}

uint8_t RunFlashCommand(SpiFlash& flash, FlashId id, const CommandHeader& c,
                        std::span<const uint8_t> out, std::span<uint8_t> in,
                        std::optional<ReadOrigin>& origin) {
    bool ok = false;
    switch (c.sub) {
        case 0x01:
            ok = flash.ReadId(c.p[1], in);
            break;
        case 0x02: {
            const uint32_t address = c.Word(5, 1) * kBlock;
            origin = ReadOrigin{id, address};
            ok = flash.Read(c.p[2], address, in);
            break;
        }
        case 0x03:
            ok = flash.Erase(c.p[2], c.p[1], PageAddress(c));
            break;
        case 0x04:
            ok = flash.Program(c.p[1], c.Word(5, 2) * kBlock, out, c.p[3]);
            break;
        case 0x07: {
            // The board reads the block back and compares its own checksums with the 128 bytes.
            std::vector<uint8_t> block(kBlock);
            if (!flash.Read(modes::kReadNormal, c.Word(5, 2) * kBlock, block)) {
                return 0;
            }
            const auto sums = BlockChecksums(block);
            ok = std::equal(sums.begin(), sums.end(), out.begin(), out.end());
            break;
        }
        case 0x08:
            ok = flash.Program(modes::kWritePageAlt, c.Word(5, 2) * kBlock, out, 256);
            break;
        case 0x09:
            ok = flash.WriteStatus(c.p[1], c.p[2], c.p[3], in);
            break;
        // WritePage carries no write mode: page program with PageWriteSize bytes per command.
        case 0x0A:
            ok = flash.Program(modes::kWritePageAlt, PageAddress(c), out, c.p[2]);
            break;
        default:
            break;
    }
    return ok ? 1 : 0;
}

}  // namespace quillon::sim
