#include "sim/pd_controller.h"

#include <algorithm>

namespace quillon::sim {

namespace {
constexpr uint16_t kUnlockRegister = 0xFE5A;
constexpr uint8_t kUnlockByte = 0x3D;
}  // namespace

uint8_t PdFlashVariantOf(const std::array<uint8_t, 3>& id) {
    if (id[0] == 0x02) {
        return 1;
    }
    if (id[0] != 0xD1) {
        return 0;
    }
    if (id[1] == 0x10 || id[1] == 0xDD || id[1] == 0x01 || id[1] == 0x07) {
        return 1;
    }
    if ((id[2] & 0x7F) >= 5) {
        return 2;
    }
    if (id[1] == 0x08 && id[2] == 0) {
        return 3;
    }
    return 0;
}

PdController::PdController(const PdSpec& spec) : spec_(spec), memory_(spec.flashSize) {
    Reset();
}

void PdController::Reset() {
    registers_ = spec_.registers;
    unlocked_ = false;
    testMode_ = false;
}

uint8_t PdController::Register(uint16_t address) const {
    const auto it = registers_.find(address);
    return it == registers_.end() ? uint8_t{0} : it->second;
}

bool PdController::FlashReady(const CommandHeader& command) const {
    return testMode_ && command.p[6] == PdFlashVariantOf(spec_.chipId);
}

uint8_t PdController::Handle(const CommandHeader& command, std::span<const uint8_t> out,
                             std::span<uint8_t> in, std::optional<ReadOrigin>& origin) {
    if (command.p[5] != spec_.i2cAddress) {
        return 0;  // nobody acknowledges that I2C address
    }
    switch (command.sub) {
        case 0x00:
            std::copy(spec_.chipId.begin(), spec_.chipId.end(), in.begin());
            return 1;
        case 0x01:
            std::fill(in.begin(), in.end(), 0xFF);
            if (command.p[6] != PdFlashVariantOf(spec_.chipId)) {
                return 1;  // the wrong access method reads nothing but a floating bus
            }
            std::copy(spec_.flashId.begin(), spec_.flashId.end(), in.begin());
            return 1;
        case 0x02: {
            if (!FlashReady(command)) {
                return 0;
            }
            const uint32_t address = command.Word(3, 4) * kPage / kEraseUnit * kEraseUnit;
            if (address >= memory_.Size()) {
                return 0;
            }
            memory_.Erase(address, kEraseUnit);
            busyNs_ += 20'000'000;
            std::fill(in.begin(), in.end(), 0);
            return 1;
        }
        case 0x03: {
            const uint32_t address = command.Word(1, 4) * kPage;
            if (!FlashReady(command) || address + kPage > memory_.Size()) {
                return 0;
            }
            origin = ReadOrigin{FlashId::kPd, address};
            std::copy_n(memory_.Bytes().begin() + address, kPage, in.begin());
            busyNs_ += 100'000;
            return 1;
        }
        case 0x04: {
            const uint32_t address = command.Word(2, 4) * kPage;
            if (!FlashReady(command) || address + kPage > memory_.Size()) {
                return 0;
            }
            memory_.ProgramRange(address, out.first(kPage));
            busyNs_ += 1'000'000;
            return 1;
        }
        case 0x10:
            std::fill(in.begin(), in.end(), 0);
            if (!unlocked_) {
                return 0;
            }
            testMode_ = true;
            return 1;
        case 0x11:
            std::fill(in.begin(), in.end(), 0);
            Reset();
            return 1;
        case 0x15: {
            const auto address = static_cast<uint16_t>(command.Word(1, 2));
            registers_[address] = out[0];
            if (address == kUnlockRegister && out[0] == kUnlockByte) {
                unlocked_ = true;
            }
            return 1;
        }
        case 0x16:
            in[0] = Register(static_cast<uint16_t>(command.Word(1, 2)));
            return 1;
        default:
            return 0;
    }
}

}  // namespace quillon::sim
