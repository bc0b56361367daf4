#include "sim/in_process_driver.h"

#include <stdexcept>

namespace quillon::sim {

namespace {

VirtualBoard* attached = nullptr;

uint8_t VESSA_CALL InProcessConnect(uint8_t /*index*/, int32_t parameter) {
    return attached != nullptr ? attached->Connect(parameter) : uint8_t{1};
}

uint8_t VESSA_CALL InProcessDisconnect(uint32_t /*reserved*/) {
    if (attached != nullptr) {
        attached->Disconnect();
    }
    return 0;
}

uint8_t VESSA_CALL InProcessWrite(const uint8_t* header, uint32_t length, const uint8_t* data) {
    return attached != nullptr ? attached->Write(header, length, data) : uint8_t{0};
}

uint8_t VESSA_CALL InProcessRead(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    return attached != nullptr ? attached->Read(header, length, buffer) : uint8_t{0};
}

}  // namespace

VessaDriverFunctions InProcessDriverFunctions() {
    return {&InProcessConnect, &InProcessDisconnect, &InProcessWrite, &InProcessRead};
}

InProcessBoard::InProcessBoard(VirtualBoard& board) {
    if (attached != nullptr) {
        throw std::logic_error("a virtual board is already attached to the in-process driver");
    }
    attached = &board;
}

InProcessBoard::~InProcessBoard() {
    attached = nullptr;
}

}  // namespace quillon::sim
