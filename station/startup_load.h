#pragma once

#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "station/control_state.h"
#include "station/startup_hooks.h"

namespace quillon {

// The settings load of the start-up sequence: creates every missing value with its default,
// applies the values to the controls and the cache, and writes the settings summary into the
// log. A settings error ends it at the failing step.
class StartupLoad {
public:
    StartupLoad(SettingsStore& store, MessageLog& log, OperatorPanel& panel, ControlState& controls,
                SettingsCache& cache, const StartupHooks& hooks)
        : store_(store),
          log_(log),
          panel_(panel),
          controls_(controls),
          cache_(cache),
          hooks_(hooks) {}

    void Run();

private:
    void PinSource();
    void ConnectMode();
    void Allocation();
    void AssignedAddress();
    void FlashSize();
    void CommandModes();
    void EraseType();
    void SectorOffset();
    void SkipFF();
    void SectorSize();
    void PageWriteSize();
    void ShowMessage();
    void DualFlash();
    void LastFile();
    void DeviceBox();
    void StepCheckBoxes();
    void PageModeAndPins();
    void InternalClock();
    void SpecialWave();
    void BreakAt0();
    void KeyGrid();
    void Unprotect();
    void SmbAndQuickMode();
    void PdAddress();
    void Remaining();

    // Creates the value with its default when missing, then reads it.
    int32_t EnsureInt(const char* name);
    bool EnsureBool(const char* name);
    std::string EnsureText(const char* name);

    SettingsStore& store_;
    MessageLog& log_;
    OperatorPanel& panel_;
    ControlState& controls_;
    SettingsCache& cache_;
    const StartupHooks& hooks_;
};

// Show Message state: the log's visibility, the menu check mark and the window height.
void ApplyShowMessage(bool shown, WindowControls& window);

}  // namespace quillon
