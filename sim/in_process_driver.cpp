#include "sim/in_process_driver.h"

#include <array>
#include <stdexcept>

namespace quillon::sim {

namespace {

std::array<VirtualBoard*, InProcessBoard::kIndexes> attached{};
uint8_t opened = 0;  // the index of the last ConnectDevice

VirtualBoard* Opened() {
    return attached[opened];
}

uint8_t VESSA_CALL InProcessConnect(uint8_t index, int32_t parameter) {
    if (index >= attached.size() || attached[index] == nullptr) {
        return 1;  // no board at that index: as an unplugged one
    }
    opened = index;
    return attached[index]->Connect(parameter);
}

uint8_t VESSA_CALL InProcessDisconnect(uint32_t /*index*/) {
    if (VirtualBoard* board = Opened()) {
        board->Disconnect();
    }
    return 0;
}

uint8_t VESSA_CALL InProcessWrite(const uint8_t* header, uint32_t length, const uint8_t* data) {
    VirtualBoard* board = Opened();
    return board != nullptr ? board->Write(header, length, data) : uint8_t{0};
}

uint8_t VESSA_CALL InProcessRead(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    VirtualBoard* board = Opened();
    return board != nullptr ? board->Read(header, length, buffer) : uint8_t{0};
}

}  // namespace

VessaDriverFunctions InProcessDriverFunctions() {
    return {&InProcessConnect, &InProcessDisconnect, &InProcessWrite, &InProcessRead};
}

InProcessBoard::InProcessBoard(VirtualBoard& board, uint8_t index) : index_(index) {
    if (index >= attached.size()) {
        throw std::out_of_range("device index " + std::to_string(index) + " is beyond 15");
    }
    if (attached[index] != nullptr) {
        throw std::logic_error("a virtual board is already attached to the in-process driver at " +
                               std::to_string(index));
    }
    attached[index] = &board;
}

InProcessBoard::~InProcessBoard() {
    attached[index_] = nullptr;
    if (opened == index_) {
        opened = 0;
    }
}

}  // namespace quillon::sim
