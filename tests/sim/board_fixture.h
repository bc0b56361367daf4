#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/virtual_board.h"
#include "tests/support/ec_scenario.h"

namespace quillon::sim::test {

using Header = std::array<uint8_t, 9>;

// Builds a header the way the protocol tables name the bytes.
inline Header Cmd(uint8_t opcode, uint8_t sub, uint8_t p1 = 0, uint8_t p2 = 0, uint8_t p3 = 0,
                  uint8_t p4 = 0, uint8_t p5 = 0, uint8_t p6 = 0, uint8_t p7 = 0) {
    return {opcode, sub, p1, p2, p3, p4, p5, p6, p7};
}

inline std::vector<uint8_t> ReadFrom(VirtualBoard& board, const Header& header, uint32_t length,
                                     uint8_t* result = nullptr) {
    std::vector<uint8_t> buffer(length, 0xEE);
    const uint8_t r = board.Read(header.data(), length, buffer.data());
    if (result != nullptr) {
        *result = r;
    }
    return buffer;
}

inline uint8_t WriteTo(VirtualBoard& board, const Header& header,
                       const std::vector<uint8_t>& data) {
    return board.Write(header.data(), static_cast<uint32_t>(data.size()), data.data());
}

using quillon::testing::EcScenario;

}  // namespace quillon::sim::test
