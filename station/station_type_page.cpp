// The Station's part of the Type page and of the parameter files at start-up.
#include "config/setting_names.h"
#include "station/station.h"

namespace quillon {

void Station::OpenTypePage() {
    typePage_->Open();
    panel_.ControlsChanged();
}

void Station::AcceptTypePage() {
    // The device box is filled before the store writes; a failed write leaves it shown.
    try {
        typePage_->Ok(eflash_.internalFlashSelected, controls_.main.deviceLines);
    } catch (...) {
        SetDeviceBox(controls_.main.deviceLines);
        throw;
    }
    SetDeviceBox(controls_.main.deviceLines);
}

void Station::CancelTypePage() {
    typePage_->Cancel();
    panel_.ControlsChanged();
}

// At start-up the device box shows the part stored by the last Type OK or TypeAuto.
void Station::FillDeviceBoxFromStore() {
    SetDeviceBox(DeviceBoxLines(store_->ReadText(setting::kLastFlashId1),
                                store_->ReadText(setting::kLastFlashId2),
                                eflash_.internalFlashSelected));
}

// The parameter version below the device box at start-up; "NONE" without Version.ini.
void Station::ShowParameterVersion() {
    controls_.main.iniValue = flashDatabase_->ParameterVersion();
    panel_.ControlsChanged();
}

void Station::SetDeviceBox(std::vector<std::string> lines) {
    std::string hint;
    for (const auto& line : lines) {
        hint += line + "\r\n";
    }
    controls_.main.deviceLines = std::move(lines);
    controls_.main.deviceHint = std::move(hint);
    panel_.ControlsChanged();
}

}  // namespace quillon
