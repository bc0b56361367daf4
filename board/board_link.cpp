#include "board/board_link.h"

#include <utility>

namespace quillon {

BoardLink::BoardLink(DriverLoader loader, OperatorPanel& panel)
    : loader_(std::move(loader)), panel_(panel) {}

BoardLink::~BoardLink() {
    // Close the board before its library goes away with us.
    if (driver_ && connected_ != 0) {
        driver_->functions.disconnectDevice(deviceIndex_);
    }
}

int BoardLink::Bind(uint8_t deviceIndex, int32_t connectParameter) {
    DriverLoadResult loaded = loader_ ? loader_() : DriverLoadResult{{}, "no driver loader"};
    loadError_ = loaded.error;
    if (!loaded.driver) {
        return 0;  // the connected flag is left as it was
    }
    // A fresh load replaces the one held; the old handle is released afterwards, so a
    // library loaded twice stays mapped throughout.
    driver_ = std::move(loaded.driver);
    connected_ = 0;
    deviceIndex_ = deviceIndex;
    uint8_t opened = 1;
    const auto connect = driver_->functions.connectDevice;
    runner_->Run([&] { opened = connect(deviceIndex, connectParameter); });
    if (opened != 0) {
        if (opened == VESSA_CONNECT_BUSY) {
            loadError_ = kBoardInUse;
        }
        return 0;  // ConnectDevice reports success as 0
    }
    connected_ = 1;
    return 1;
}

int BoardLink::Unbind() {
    // Without a library there is nothing to disconnect through.
    if (driver_) {
        const auto disconnect = driver_->functions.disconnectDevice;
        const uint32_t index = deviceIndex_;
        runner_->Run([disconnect, index] { disconnect(index); });
    }
    connected_ = 0;
    driver_.reset();
    return 1;
}

TransferResult BoardLink::SendFromScratch(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                                          std::span<uint8_t> scratch, uint32_t length) {
    if (length > scratch.size() && length <= kMaxTransferLength) {
        return 0;
    }
    record_.opcode = opcode;
    record_.subCommand = subCommand;
    record_.direction = direction;
    record_.buffer = scratch.data();
    record_.length = length;
    return Transfer(record_);
}

TransferResult BoardLink::Transfer(const BoardCommand& command) {
    if (connected_ == 0 || !driver_) {
        return 0;
    }
    if (command.length > kMaxTransferLength) {
        panel_.ShowMessage(MessageKind::Plain, "", "The size can not be more 65536 bytes!");
        return 0;
    }
    if (command.length > 0 && command.buffer == nullptr) {
        return 0;  // nothing to send from or read into
    }
    if (command.direction != kToBoard && command.direction != kFromBoard) {
        return TransferResult::Refused();  // no such direction: nothing moved
    }
    const std::array<uint8_t, VESSA_HEADER_SIZE> header = command.Header();
    const uint32_t length = command.length;
    uint8_t* const buffer = command.buffer;
    const VessaWriteDataToDeviceFn write = driver_->functions.writeDataToDevice;
    const VessaReadDataFromDeviceFn read = driver_->functions.readDataFromDevice;
    const bool toBoard = command.direction == kToBoard;
    if (runner_ == &inlineRunner_) {
        // No hand-off to pay for.
        return toBoard ? write(header.data(), length, buffer) : read(header.data(), length, buffer);
    }
    // Everything the call needs is read above, on the caller's thread. The lambda holds one
    // pointer, so the std::function keeps it without allocating.
    struct LibraryCall {
        const uint8_t* header;
        uint32_t length;
        uint8_t* buffer;
        bool toBoard;
        VessaWriteDataToDeviceFn write;
        VessaReadDataFromDeviceFn read;
        uint8_t result;
    } call{header.data(), length, buffer, toBoard, write, read, 0};
    runner_->Run([&call] {
        call.result = call.toBoard ? call.write(call.header, call.length, call.buffer)
                                   : call.read(call.header, call.length, call.buffer);
    });
    return call.result;
}

}  // namespace quillon
