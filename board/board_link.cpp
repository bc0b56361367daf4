#include "board/board_link.h"

#include <utility>

namespace quillon {

BoardLink::BoardLink(DriverLoader loader, OperatorPanel& panel)
    : loader_(std::move(loader)), panel_(panel) {}

BoardLink::~BoardLink() {
    // Close the board before its library goes away with us.
    if (driver_ && connected_ != 0) {
        driver_->functions.disconnectDevice(0);
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
    uint8_t opened = 1;
    const auto connect = driver_->functions.connectDevice;
    runner_->Run([&] { opened = connect(deviceIndex, connectParameter); });
    if (opened != 0) {
        return 0;  // ConnectDevice reports success as 0
    }
    connected_ = 1;
    return 1;
}

int BoardLink::Unbind() {
    // Without a library there is nothing to disconnect through.
    if (driver_) {
        driver_->functions.disconnectDevice(0);
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
    const std::array<uint8_t, VESSA_HEADER_SIZE> header = command.Header();
    const uint32_t length = command.length;
    uint8_t* const buffer = command.buffer;
    uint8_t result = 0;
    switch (command.direction) {
        case kToBoard: {
            const auto write = driver_->functions.writeDataToDevice;
            runner_->Run([&] { result = write(header.data(), length, buffer); });
            return result;
        }
        case kFromBoard: {
            const auto read = driver_->functions.readDataFromDevice;
            runner_->Run([&] { result = read(header.data(), length, buffer); });
            return result;
        }
        default:
            return TransferResult::Refused();  // no such direction: nothing moved
    }
}

}  // namespace quillon
