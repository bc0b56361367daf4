#include "sim/command_header.h"

#include "platform/lookup_table.h"

namespace quillon::sim {

namespace {

// The opcodes a command exists under: the board's own (0xF0), the USB-PD controller's (0xFC),
// and the debugger's over KBS (0xF2) or SMBus (0xF3).
enum Opcodes : uint8_t {
    kBoard = 1,
    kPd = 2,
    kKbs = 4,
    kSmbus = 8,
    kDebugger = kKbs | kSmbus,
    kAnyOpcode = 0xFF,
};

constexpr LookupRow<uint8_t, uint8_t> kOpcodes[] = {
    {0xF0, kBoard},
    {0xFC, kPd},
    {0xF2, kKbs},
    {0xF3, kSmbus},
};

uint8_t OpcodeOf(uint8_t opcode) {
    return LookUp(kOpcodes, opcode, 0);
}

enum class Length : uint8_t {
    kExact,    // `length` bytes
    kFromP,    // as many bytes as P<length> says
    kIdReply,  // 16 bytes when P1 asks for the 16-byte ID, else 5
    kUpTo,     // 1 to `length` bytes
};

enum class Kind : uint8_t { kNone, kFlashRead, kErase, kProgram };

// The P bytes (high, low) that address a flash block or page; {0, 0} for none.
struct Unit {
    uint8_t high;
    uint8_t low;
};

struct CommandRow {
    uint8_t opcodes;
    uint8_t sub;
    uint32_t direction;
    Length lengthIs;
    uint32_t length;
    Unit unit{};
    Kind kind = Kind::kNone;
    uint8_t kindOn = kAnyOpcode;  // the opcodes under which the command does what `kind` says
};

// Every command the board answers. Socket and board-own commands keep their shape under the
// SMBus opcode, but only under KBS do they reach a flash (the socket writes excepted).
constexpr CommandRow kCommands[] = {
    // opcodes, sub-command, direction, length, unit, kind[, under which opcodes]
    {kBoard, 0x02, kIn, Length::kExact, 4},
    {kPd, 0x00, kIn, Length::kExact, 3},
    {kPd, 0x01, kIn, Length::kExact, 16},
    {kPd, 0x02, kIn, Length::kExact, 16, {3, 4}, Kind::kErase},
    {kPd, 0x03, kIn, Length::kExact, 256, {1, 4}, Kind::kFlashRead},
    {kPd, 0x04, kOut, Length::kExact, 256, {2, 4}, Kind::kProgram},
    {kPd, 0x10, kIn, Length::kExact, 4},
    {kPd, 0x11, kIn, Length::kExact, 4},
    {kPd, 0x15, kOut, Length::kExact, 1},
    {kPd, 0x16, kIn, Length::kExact, 1},
    {kDebugger, 0x00, kIn, Length::kExact, 3},
    {kDebugger, 0x01, kIn, Length::kIdReply, 0},
    {kDebugger, 0x02, kIn, Length::kExact, 65536, {5, 1}, Kind::kFlashRead},
    {kDebugger, 0x03, kOut, Length::kExact, 1, {5, 3}, Kind::kErase},
    {kDebugger, 0x04, kOut, Length::kUpTo, 65536, {5, 2}, Kind::kProgram},
    {kDebugger, 0x05, kOut, Length::kExact, 15},
    {kDebugger, 0x06, kOut, Length::kFromP, 2},
    {kDebugger, 0x07, kOut, Length::kExact, 128, {5, 2}},
    {kDebugger, 0x08, kOut, Length::kExact, 65536, {5, 2}, Kind::kProgram},
    {kDebugger, 0x09, kIn, Length::kFromP, 1},
    {kDebugger, 0x0A, kOut, Length::kExact, 256, {5, 3}, Kind::kProgram},
    {kDebugger, 0x11, kIn, Length::kIdReply, 0},
    {kDebugger, 0x12, kIn, Length::kExact, 65536, {5, 1}, Kind::kFlashRead, kKbs},
    {kDebugger, 0x13, kOut, Length::kExact, 1, {5, 3}, Kind::kErase, kKbs},
    {kDebugger, 0x14, kOut, Length::kUpTo, 65536, {5, 2}, Kind::kProgram},
    {kDebugger, 0x15, kIn, Length::kFromP, 1},
    {kDebugger, 0x16, kOut, Length::kExact, 256, {5, 3}, Kind::kProgram},
    {kDebugger, 0x1A, kIn, Length::kFromP, 6, {}, Kind::kFlashRead, kKbs},
    {kDebugger, 0x1B, kIn, Length::kExact, 0, {}, Kind::kErase, kKbs},
    {kDebugger, 0x1C, kOut, Length::kFromP, 6, {}, Kind::kProgram, kKbs},
    {kDebugger, 0x20, kIn, Length::kExact, 1},
    {kDebugger, 0x23, kOut, Length::kExact, 1},
    {kDebugger, 0x24, kIn, Length::kExact, 1},
    {kDebugger, 0x27, kOut, Length::kExact, 1},
    {kDebugger, 0x2F, kIn, Length::kExact, 4},
};

const CommandRow* Find(const CommandHeader& command) {
    const uint8_t opcode = OpcodeOf(command.opcode);
    for (const CommandRow& row : kCommands) {
        if ((row.opcodes & opcode) != 0 && row.sub == command.sub) {
            return &row;
        }
    }
    return nullptr;
}

bool Is(const CommandHeader& command, Kind kind) {
    const CommandRow* row = Find(command);
    return row != nullptr && row->kind == kind && (row->kindOn & OpcodeOf(command.opcode)) != 0;
}

}  // namespace

std::optional<CommandShape> ExpectedShape(const CommandHeader& command) {
    const CommandRow* row = Find(command);
    if (row == nullptr) {
        return std::nullopt;
    }
    const auto exact = [row](uint32_t length) {
        return CommandShape{row->direction, length, length};
    };
    switch (row->lengthIs) {
        case Length::kExact:
            return exact(row->length);
        case Length::kFromP:
            return exact(command.p[row->length]);
        case Length::kIdReply:
            return exact(command.p[1] == 16 ? 16 : 5);
        case Length::kUpTo:
            return CommandShape{row->direction, 1, row->length};
    }
    return std::nullopt;
}

std::optional<uint32_t> CommandUnit(const CommandHeader& command) {
    const CommandRow* row = Find(command);
    if (row == nullptr || row->unit.high == 0) {
        return std::nullopt;
    }
    return command.Word(row->unit.high, row->unit.low);
}

bool IsProgramCommand(const CommandHeader& command) {
    return Is(command, Kind::kProgram);
}

bool IsEraseCommand(const CommandHeader& command) {
    return Is(command, Kind::kErase);
}

bool IsFlashReadCommand(const CommandHeader& command) {
    return Is(command, Kind::kFlashRead);
}

}  // namespace quillon::sim
