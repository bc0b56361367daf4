// The Station's part of the Type page and of the parameter files at start-up.
#include <algorithm>

#include "config/ini_profile.h"
#include "config/setting_names.h"
#include "station/station.h"

namespace quillon {

namespace {

// The entry of that name: its exact spelling first, else one that differs only in case.
int IndexOfName(const std::vector<std::string>& list, const std::string& wanted) {
    const auto exact = std::find(list.begin(), list.end(), wanted);
    if (exact != list.end()) {
        return static_cast<int>(exact - list.begin());
    }
    const auto loose = std::find_if(list.begin(), list.end(), [&](const std::string& item) {
        return SameIniName(item, wanted);
    });
    return loose == list.end() ? -1 : static_cast<int>(loose - list.begin());
}

std::string KnownNames(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& item : list) {
        if (item.empty()) {
            continue;
        }
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

}  // namespace

StepReport Station::ChooseType(const std::string& manufacturer, const std::string& part) {
    OpenTypePage();
    const int maker = IndexOfName(typePage_->State().manufacturer.names, manufacturer);
    if (maker < 0) {
        const std::string known = KnownNames(typePage_->State().manufacturer.names);
        CancelTypePage();
        return StepReport::Refusal("no manufacturer '" + manufacturer + "'; known: " + known);
    }
    typePage_->PickEntry(TypeBox::Manufacturer, maker);
    const int device = IndexOfName(typePage_->State().device.names, part);
    if (device < 0) {
        const std::string known = KnownNames(typePage_->State().device.names);
        CancelTypePage();
        if (const std::string problem =
                flashDatabase_->ManufacturerDocument(manufacturer).LoadProblem();
            !problem.empty()) {
            return StepReport::Refusal(problem);
        }
        return StepReport::Refusal("no device '" + part + "' of " + manufacturer +
                                   "; known: " + known);
    }
    typePage_->PickEntry(TypeBox::Device, device);
    AcceptTypePage();
    return StepReport::Done();
}

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
