#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "board/board_command.h"
#include "board/driver_loader.h"
#include "board/transfer_result.h"
#include "runtime/blocking_call.h"
#include "runtime/operator_panel.h"

namespace quillon {

// The link to the Vessa board: binds the driver library, opens and closes the board
// through it and moves one command at a time. One per process; it also holds the one
// BoardCommand record every board command fills.
class BoardLink {
public:
    // Device index (of a one-board bench; --board N names another) and connection parameters
    // the shell passes to Bind.
    static constexpr uint8_t kDeviceIndex = 0;
    static constexpr int32_t kConnectParameter = 9000;
    static constexpr int32_t kConnectParameterPd = 1000;  // ConnectMode 4 (PD CC/I2C)

    BoardLink(DriverLoader loader, OperatorPanel& panel);
    ~BoardLink();
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // Loads the driver and opens the board. 1 = loaded and open, 0 = not. When loading
    // fails the connected flag is left as it was; when ConnectDevice fails the library
    // stays loaded and a later Bind tries again.
    int Bind(uint8_t deviceIndex, int32_t connectParameter);
    // Closes the board (DisconnectDevice is given the index the board was opened with) and
    // releases the library. Always 1.
    int Unbind();
    // Sends or fetches one data block: the library's result byte (1 = success), or 0 when
    // refused (not connected, block longer than 65536 bytes, no data block). The library
    // call itself runs through the blocking-call seam.
    TransferResult Transfer(const BoardCommand& command);

    // Where library calls run: inline unless a front-end hands over its own runner (the
    // window's keeps repainting during a long call). The runner must outlive the link.
    void UseCallRunner(BlockingCallRunner& runner) { runner_ = &runner; }
    // The connected flag: 1 only after a successful ConnectDevice.
    uint8_t IsConnected() const { return connected_; }
    // Clears the connected flag (the plug-out handler does this after Unbind).
    void ClearConnected() { connected_ = 0; }

    bool IsLoaded() const { return driver_.has_value(); }
    // Why the last Bind did not open the board, where that is known: the driver could not be
    // loaded, or another program holds the board; "" otherwise.
    const std::string& LoadError() const { return loadError_; }
    static constexpr const char* kBoardInUse = "the board is in use by another program";

    // The shared command record.
    BoardCommand& Record() { return record_; }
    // Fills the record's opcode, sub-command, direction and data block (P1..P7 stay as the
    // caller set them) and transfers it. A length that would run past the scratch area is
    // refused with 0 and nothing sent; a length above 65536 still reaches Transfer, which
    // refuses it with the size message.
    TransferResult SendFromScratch(uint8_t opcode, uint8_t subCommand, uint32_t direction,
                                   std::span<uint8_t> scratch, uint32_t length);

private:
    DriverLoader loader_;
    OperatorPanel& panel_;
    InlineCallRunner inlineRunner_;
    BlockingCallRunner* runner_ = &inlineRunner_;  // not owned
    std::optional<LoadedDriver> driver_;
    std::string loadError_;
    uint8_t connected_ = 0;
    uint8_t deviceIndex_ = kDeviceIndex;  // of the last Bind
    BoardCommand record_;
};

}  // namespace quillon
