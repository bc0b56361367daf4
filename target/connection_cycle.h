#pragma once

#include <cstdint>
#include <functional>

#include "board/port_control.h"
#include "target/eflash_sizing.h"
#include "target/target_context.h"
#include "target/type_auto.h"

namespace quillon {

// Keeps the link between the board and the target alive: the periodic connection check
// (Timer1) that watches target power and brings the target into flash mode, the flash-mode
// entry itself, Reset EC, the two flash-selection buttons and the USB-PD CPU-halt poll
// (Timer2).
class ConnectionCycle {
public:
    // `reloadLastImage` loads and merges the last image file again (ROM-key chips).
    ConnectionCycle(TargetContext& context, EFlashSizing& sizing, TypeAuto& typeAuto,
                    std::function<void()> reloadLastImage)
        : c_(context),
          sizing_(sizing),
          typeAuto_(typeAuto),
          reloadLastImage_(std::move(reloadLastImage)) {}

    // One Timer1 tick: the connection check.
    void Tick();
    // The last tick found the target switched off (and asked the operator to power it).
    bool TargetWasOff() const { return targetWasOff_; }
    // Brings a powered target into flash mode (connect modes 1 and 2); in every mode it ends
    // with FlashModeReentry set, so the next entry resets the controller and asks first.
    void EnterFlashMode();
    // Button_ResetEC.
    void ResetEc();
    // Button_ExternalFlash and Button_InternalFlash: select the flash, enter flash mode
    // again and identify the part.
    void ExternalFlash();
    void InternalFlash();
    // Other > NeedPdCpuHalt: uncheck always; check only in connect mode 4.
    void ToggleNeedPdCpuHalt();
    // One Timer2 tick: halts the USB-PD controller's CPU once it reports ready.
    void HaltPollTick();

private:
    enum class Port { Kbs, Smb };
    void SendCode(Port port, PortAction code);
    void CheckDebuggerTarget(Port port);
    void BeginPowerOff(const char* status);
    void EndPowerOff();
    void PowerOffKbs();
    void PowerOffSmb();
    void FirstPoweredEntry(Port port);
    void EnterEFlashOnly(Port port);
    void ProbeQuickMode();
    void CheckPdTarget();
    void PowerOffPd();
    void EnterPdFlashMode();
    void ReleaseForSetup(std::optional<ConnectMode> mode);
    void EnterFlashModeOnDebugger(Port port);
    void SendRunCode(Port port);
    // Selects the internal or external flash and enters flash mode again; returns the mode.
    std::optional<ConnectMode> SelectFlash(bool internal);
    void WriteRegister(uint16_t address, uint8_t value);
    uint8_t ReadRegister(uint16_t address);
    void PdWrite(uint16_t address, uint8_t value);
    uint8_t PdRead(uint16_t address);
    void UnlockPd();
    bool Setting(const char* name) const;
    int32_t IntSetting(const char* name) const;

    TargetContext& c_;
    EFlashSizing& sizing_;
    TypeAuto& typeAuto_;
    std::function<void()> reloadLastImage_;
    bool haltPolling_ = false;  // a Timer2 tick is running
    bool targetWasOff_ = false;
};

}  // namespace quillon
