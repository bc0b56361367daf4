#include "sim/command_header.h"

#include <gtest/gtest.h>

#include "tests/sim/board_fixture.h"

namespace quillon::sim::test {
namespace {

enum Kinds { kNone = 0, kRead = 1, kErase = 2, kProgram = 4 };

struct Case {
    Header header;
    std::optional<CommandShape> shape;
    std::optional<uint32_t> unit;
    int kinds;
};

TEST(CommandHeaderTest, TheBoardsCommandsDecodeToTheirShapeUnitAndKind) {
    const Case cases[] = {
        // The PD controller's page program: block in P2, page in P4.
        {Cmd(0xFC, 0x04, 0, 0x01, 0, 0x22), CommandShape{kOut, 256, 256}, 0x0122, kProgram},
        {Cmd(0xF0, 0x02), CommandShape{kIn, 4, 4}, std::nullopt, kNone},
        {Cmd(0xF0, 0x03), std::nullopt, std::nullopt, kNone},
        // Flash reads and erases: block in P5, then P1 or P3.
        {Cmd(0xF2, 0x02, 0x07, 0, 0, 0, 0x01), CommandShape{kIn, 65536, 65536}, 0x0107, kRead},
        {Cmd(0xF3, 0x03, 0, 0, 0x02), CommandShape{kOut, 1, 1}, 0x0002, kErase},
        {Cmd(0xF2, 0x04, 0, 0x09), CommandShape{kOut, 1, 65536}, 0x0009, kProgram},
        {Cmd(0xF2, 0x01, 16), CommandShape{kIn, 16, 16}, std::nullopt, kNone},
        {Cmd(0xF3, 0x01, 3), CommandShape{kIn, 5, 5}, std::nullopt, kNone},
        {Cmd(0xF2, 0x1A, 0, 0, 0, 0, 0, 0x40), CommandShape{kIn, 0x40, 0x40}, std::nullopt, kRead},
        // The socket's reads and erases and the board's own flash reach a flash only over KBS.
        {Cmd(0xF2, 0x12, 0x01), CommandShape{kIn, 65536, 65536}, 0x0001, kRead},
        {Cmd(0xF3, 0x12, 0x01), CommandShape{kIn, 65536, 65536}, 0x0001, kNone},
        {Cmd(0xF3, 0x1B), CommandShape{kIn, 0, 0}, std::nullopt, kNone},
        {Cmd(0xF3, 0x14), CommandShape{kOut, 1, 65536}, 0x0000, kProgram},
        {Cmd(0xF2, 0x30), std::nullopt, std::nullopt, kNone},
    };
    for (const Case& c : cases) {
        const CommandHeader command = CommandHeader::From(c.header.data());
        SCOPED_TRACE(::testing::Message()
                     << std::hex << int{command.opcode} << " " << int{command.sub});
        const auto shape = ExpectedShape(command);
        ASSERT_EQ(shape.has_value(), c.shape.has_value());
        if (shape) {
            EXPECT_EQ(shape->direction, c.shape->direction);
            EXPECT_EQ(shape->minLength, c.shape->minLength);
            EXPECT_EQ(shape->maxLength, c.shape->maxLength);
        }
        EXPECT_EQ(CommandUnit(command), c.unit);
        EXPECT_EQ(IsFlashReadCommand(command), (c.kinds & kRead) != 0);
        EXPECT_EQ(IsEraseCommand(command), (c.kinds & kErase) != 0);
        EXPECT_EQ(IsProgramCommand(command), (c.kinds & kProgram) != 0);
    }
}

}  // namespace
}  // namespace quillon::sim::test
