#include "sim/command_header.h"

namespace quillon::sim {

std::optional<uint32_t> CommandUnit(const CommandHeader& command) {
    if (command.opcode == 0xFC) {
        switch (command.sub) {
            case 0x02:
                return command.Word(3, 4);
            case 0x03:
                return command.Word(1, 4);
            case 0x04:
                return command.Word(2, 4);
            default:
                return std::nullopt;
        }
    }
    if (command.opcode != 0xF2 && command.opcode != 0xF3) {
        return std::nullopt;
    }
    switch (command.sub) {
        case 0x02:
        case 0x12:
            return command.Word(5, 1);
        case 0x03:
        case 0x13:
        case 0x0A:
        case 0x16:
            return command.Word(5, 3);
        case 0x04:
        case 0x14:
        case 0x07:
        case 0x08:
            return command.Word(5, 2);
        default:
            return std::nullopt;
    }
}

bool IsProgramCommand(const CommandHeader& command) {
    if (command.opcode == 0xFC) {
        return command.sub == 0x04;
    }
    if (command.opcode == 0xF2 && command.sub == 0x1C) {
        return true;
    }
    if (command.opcode != 0xF2 && command.opcode != 0xF3) {
        return false;
    }
    switch (command.sub) {
        case 0x04:
        case 0x14:
        case 0x08:
        case 0x0A:
        case 0x16:
            return true;
        default:
            return false;
    }
}

bool IsEraseCommand(const CommandHeader& command) {
    switch (command.opcode) {
        case 0xFC:
            return command.sub == 0x02;
        case 0xF2:
            return command.sub == 0x03 || command.sub == 0x13 || command.sub == 0x1B;
        case 0xF3:
            return command.sub == 0x03;
        default:
            return false;
    }
}

bool IsFlashReadCommand(const CommandHeader& command) {
    switch (command.opcode) {
        case 0xFC:
            return command.sub == 0x03;
        case 0xF2:
            return command.sub == 0x02 || command.sub == 0x12 || command.sub == 0x1A;
        case 0xF3:
            return command.sub == 0x02;
        default:
            return false;
    }
}

}  // namespace quillon::sim
