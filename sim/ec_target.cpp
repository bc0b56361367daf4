#include "sim/ec_target.h"

#include <algorithm>

#include "sim/flash_commands.h"

namespace quillon::sim {

namespace {
constexpr uint8_t kQuickModeRegister = 0x1A;
}  // namespace

EcTarget::EcTarget(const EcSpec& spec) : spec_(spec), internalSelected_(spec.internalSelected) {
    if (spec.eflashSize != 0) {
        eflash_ = std::make_unique<SpiFlash>(
            SpiFlash::Embedded(spec.eflashSize, spec.eflashSector, spec.eflashId, spec.eflashId16));
    }
    if (!spec.externalPart.empty()) {
        if (const SpiPartInfo* part = FindSpiPart(spec.externalPart)) {
            external_ = std::make_unique<SpiFlash>(*part);
        }
    }
    PowerUp();
}

bool EcTarget::Answers(uint8_t opcode) const {
    switch (spec_.link) {
        case EcLink::kKbs:
            return opcode == 0xF2;
        case EcLink::kSmbus:
            return opcode == 0xF3;
        case EcLink::kBoth:
            return opcode == 0xF2 || opcode == 0xF3;
    }
    return false;
}

void EcTarget::PowerUp() {
    registers_ = spec_.registers;
    debugRegisters_.clear();
    runControl_.reset();
    romKeyAccepted_ = false;
    matchKeyAccepted_ = false;
    if (external_) {
        external_->PowerUp();
    }
    if (eflash_) {
        eflash_->PowerUp();
    }
}

bool EcTarget::FlashLocked() const {
    if (spec_.matchKey && !matchKeyAccepted_) {
        return true;
    }
    return internalSelected_ && spec_.romKeyLocked && !romKeyAccepted_;
}

uint8_t EcTarget::Register(uint16_t address) const {
    const auto it = registers_.find(address);
    return it == registers_.end() ? uint8_t{0} : it->second;
}

uint64_t EcTarget::BusyNs() const {
    return (eflash_ ? eflash_->BusyNs() : 0) + (external_ ? external_->BusyNs() : 0);
}

uint8_t EcTarget::Handle(const CommandHeader& command, std::span<const uint8_t> out,
                         std::span<uint8_t> in, std::optional<ReadOrigin>& origin) {
    switch (command.sub) {
        case 0x00:
            std::copy(spec_.chipId.begin(), spec_.chipId.end(), in.begin());
            return 1;
        case 0x06:
            return SendKey(command, out);
        case 0x23:
            registers_[static_cast<uint16_t>(command.Word(1, 2))] = out[0];
            return 1;
        case 0x24:
            in[0] = Register(static_cast<uint16_t>(command.Word(1, 2)));
            return 1;
        case 0x27:
            if (command.p[1] != 0x80 && command.p[1] != 0x81) {
                return 0;
            }
            runControl_ = command.p[1];
            return 1;
        case 0x2F: {
            const uint8_t index = command.p[2];
            if (command.p[1] == 1) {
                debugRegisters_[index] = command.p[3];
                std::fill(in.begin(), in.end(), 0);
                return 1;
            }
            if (command.p[1] != 0) {
                return 0;
            }
            std::fill(in.begin(), in.end(), 0);
            if (index == kQuickModeRegister) {
                in[0] = spec_.quickModeRegister;
            } else {
                const auto it = debugRegisters_.find(index);
                in[0] = it == debugRegisters_.end() ? uint8_t{0} : it->second;
            }
            return 1;
        }
        default:
            return FlashCommand(command, out, in, origin);
    }
}

uint8_t EcTarget::SendKey(const CommandHeader& command, std::span<const uint8_t> out) {
    if (out.size() != 8) {
        return 0;
    }
    if (command.p[1] == 2) {
        if (!std::equal(out.begin(), out.end(), kBuiltInRomKey.begin())) {
            return 0;
        }
        romKeyAccepted_ = true;
        return 1;
    }
    if (command.p[1] == 1) {
        if (!spec_.matchKey) {
            return 1;  // nothing to unlock
        }
        if (!std::equal(out.begin(), out.end(), spec_.matchKey->begin())) {
            return 0;
        }
        matchKeyAccepted_ = true;
        return 1;
    }
    return 0;
}

uint8_t EcTarget::FlashCommand(const CommandHeader& command, std::span<const uint8_t> out,
                               std::span<uint8_t> in, std::optional<ReadOrigin>& origin) {
    SpiFlash* flash = Selected();
    if (flash == nullptr) {
        return 0;  // nothing fitted on the selected side: the debugger gets no answer
    }
    if (command.sub != 0x01 && FlashLocked()) {
        return 0;
    }
    if (command.sub == 0x08) {
        const uint8_t quick = spec_.quickModeRegister;
        if (quick == 0xFF || (quick & 0x04) == 0) {
            return 0;  // the controller has no quick-write engine
        }
    }
    const FlashId id = internalSelected_ ? FlashId::kEFlash : FlashId::kExternalSpi;
    return RunFlashCommand(*flash, id, command, out, in, origin);
}

}  // namespace quillon::sim
