#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/board_flash.h"
#include "sim/ec_target.h"
#include "sim/faults.h"
#include "sim/pd_controller.h"
#include "sim/scenario.h"
#include "sim/spi_flash.h"
#include "sim/trace.h"

namespace quillon::sim {

// Transfer counts and modelled device time since the board was built.
struct BoardStats {
    uint64_t transfers = 0;
    uint64_t failedTransfers = 0;
    uint64_t bytesToBoard = 0;
    uint64_t bytesFromBoard = 0;
    uint64_t deviceNs = 0;  // modelled time: USB link plus the parts' busy time
};

// A Vessa board with what is fitted to it: the board itself (firmware information, its own
// flash with the parameter record, the KBS pin definition, port control), the controller on
// the target cable with its embedded flash and external SPI part, the part in the FSPI
// socket, and a USB-PD controller. It answers each transfer as the hardware would.
// Not thread-safe: one caller at a time (the daemon serialises its clients).
class VirtualBoard {
public:
    explicit VirtualBoard(const Scenario& scenario);
    ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    // --- the driver's side: results as the four entry points give them
    // 0 = board open, 1 = no board (unplugged). `parameter` is the driver's connection
    // parameter (9000, or 1000 for a USB-PD target), remembered for tests to look at.
    uint8_t Connect(int32_t parameter = 0);
    void Disconnect();
    bool IsConnected() const { return connected_; }
    uint8_t Write(const uint8_t* header, uint32_t length, const uint8_t* data);
    uint8_t Read(const uint8_t* header, uint32_t length, uint8_t* buffer);

    // --- the bench
    void SetTargetPower(bool on);
    bool TargetPowered() const { return targetPowered_; }
    // Unplugging drops the open connection; after Plug the driver must connect again.
    void Unplug();
    void Plug();
    bool IsPlugged() const { return plugged_; }
    // The board's own power-on: it takes its KBS pin definition from its flash again.
    void ResetBoard() { LoadPinDefinitionFromFlash(); }

    // --- memories, for tests to seed and inspect; empty when not fitted
    std::span<uint8_t> Flash(FlashId id);
    bool HasFlash(FlashId id) const;

    // --- fault injection (seeded, repeatable)
    void AddFault(const FaultRule& rule);
    void ClearFaults();
    void SeedFaults(uint64_t seed) { random_.seed(seed); }

    // --- trace of every transfer that reached the board
    const std::vector<TraceEntry>& Trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }
    // Keep at most this many entries (the oldest go first); 0 = no trace.
    void SetTraceLimit(std::size_t limit) { traceLimit_ = limit; }

    // --- state a test may look at
    const BoardStats& Stats() const { return stats_; }
    const Scenario& GetScenario() const { return scenario_; }
    EcTarget* Ec() { return ec_.get(); }
    PdController* Pd() { return pd_.get(); }
    SpiFlash* Socket() { return socket_.get(); }
    BoardFlash& OwnFlash() { return boardFlash_; }
    const std::array<uint8_t, 15>& KbsPinDefinition() const { return pinDefinition_; }
    std::optional<uint8_t> LastKbsAction() const { return lastKbsAction_; }
    std::optional<uint8_t> LastSmbAction() const { return lastSmbAction_; }
    std::optional<int32_t> LastConnectParameter() const { return lastConnectParameter_; }
    // Sleep for the modelled device time of each transfer (demos).
    void SetRealTime(bool on) { realTime_ = on; }

private:
    struct Active {
        FaultRule rule;
        uint32_t remaining;  // kFailTransfer with a count, kPowerLoss, kUnplug
    };
    uint8_t Transfer(const uint8_t* header, uint32_t direction, uint32_t length, const uint8_t* out,
                     uint8_t* in);
    uint8_t Dispatch(const CommandHeader& command, uint32_t direction, uint32_t length,
                     std::span<const uint8_t> out, std::span<uint8_t> in);
    uint8_t BoardCommand(const CommandHeader& command, std::span<const uint8_t> out,
                         std::span<uint8_t> in);
    uint8_t SocketCommand(const CommandHeader& command, std::span<const uint8_t> out,
                          std::span<uint8_t> in);
    bool InjectFailure(const CommandHeader& command);
    bool InjectWriteLie(const CommandHeader& command);
    void ShakeReadBytes(std::span<uint8_t> in);
    void CountDownEvents();
    void SeedRecord();
    void LoadPinDefinitionFromFlash();
    void ApplyStuckBits(const FaultRule& rule);
    uint64_t BusyNs() const;
    void Record(const uint8_t* header, uint32_t direction, uint32_t length, uint8_t result,
                std::span<const uint8_t> data);

    Scenario scenario_;
    bool plugged_ = true;
    bool connected_ = false;
    bool targetPowered_ = true;
    bool realTime_ = false;
    std::unique_ptr<EcTarget> ec_;
    std::unique_ptr<PdController> pd_;
    std::unique_ptr<SpiFlash> socket_;
    BoardFlash boardFlash_;
    std::array<uint8_t, 15> pinDefinition_{};
    std::optional<uint8_t> lastKbsAction_;
    std::optional<uint8_t> lastSmbAction_;
    std::optional<int32_t> lastConnectParameter_;
    std::vector<Active> faults_;
    std::mt19937_64 random_;
    std::vector<TraceEntry> trace_;
    std::size_t traceLimit_ = 1'000'000;
    BoardStats stats_;
    // The flash range the last bulk read came from, for unstable-read faults.
    std::optional<ReadOrigin> lastRead_;
};

}  // namespace quillon::sim
