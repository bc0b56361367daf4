#include "target/type_auto.h"

#include "config/flash_type.h"
#include "runtime/operation_frame_lines.h"
#include "target/eflash_sizing.h"

namespace quillon {

StepResult TypeAuto::Run() {
    fileProblem_.clear();
    const auto mode = c_.Mode();
    auto& slots = c_.identity.chipIdStrings;
    if (ThroughDebugger(mode) && !c_.board.ReadChipId(slots).Succeeded()) {
        return StepResult::Failed;  // no power: nothing logged, nothing changed
    }

    const bool flashAnswered =
        mode == ConnectMode::Pd
            ? c_.boardSide.ReadPdFlashId(c_.PdAddress(), c_.identity).Succeeded()
            : c_.board.ReadFlashId(slots, c_.flashType.commandModeReadId).Succeeded();
    bool selected = false;
    if (!flashAnswered) {
        OperationLines(c_.panel, c_.log).Close("Get Flash Jedec ID", StepReport::Failure({}));
    } else {
        const std::string key = LookupKey();
        if (mode != ConnectMode::Socket) {
            c_.log.Append("Chip ID=" + c_.identity.ChipCode() +
                          " : Version=" + c_.identity.ChipVersion() +
                          DisplayNameSuffix(c_.identity.Traits(), c_.identity.ChipCode()));
        }
        if (olderIdForm_) {
            c_.log.Append("Manufacturer ID=" + slots[kSlotManufacturerId] +
                          " : Device ID=" + slots[kSlotDeviceId]);
        } else {
            c_.log.Append("Manufacturer ID=" + slots[kSlotJedecManufacturer] +
                          " : m_MemoryType=" + slots[kSlotJedecMemoryType] +
                          " : m_MemoryCapacity=" + slots[kSlotJedecCapacity]);
        }
        if (!SelectPart(key)) {
            c_.log.Append(fileProblem_.empty() ? "Error : Flash TypeAuto not support this flash !!"
                                               : "Error : Flash TypeAuto : " + fileProblem_);
            c_.controls.SetDeviceBox({});
            c_.panel.ControlsChanged();
            // No sizing, write-status controls unchanged.
            return fileProblem_.empty() ? StepResult::Failed : StepResult::Refused;
        }
        selected = true;
    }

    sizing_.Size();
    SetUpWriteStatus();
    ReadBackStatus();
    c_.panel.ControlsChanged();
    return selected ? StepResult::Ok : StepResult::Failed;
}

std::string TypeAuto::LookupKey() {
    auto& slots = c_.identity.chipIdStrings;
    olderIdForm_ = slots[kSlotJedecManufacturer] == slots[kSlotJedecCapacity];
    if (olderIdForm_) {
        slots[kSlotJedecManufacturer].clear();
        slots[kSlotJedecMemoryType].clear();
        slots[kSlotJedecCapacity].clear();
        return slots[kSlotManufacturerId] + slots[kSlotDeviceId];
    }
    return slots[kSlotJedecManufacturer] + slots[kSlotJedecMemoryType] + slots[kSlotJedecCapacity];
}

bool TypeAuto::SelectPart(const std::string& key) {
    // A missing table reads like a table without this section.
    FlashDatabase::AutoType part = database_.LookupAutoType(key);
    fileProblem_ = part.problem;
    if (part.manufacturer.empty()) {
        typePage_.ShowAutoTypeNames(part.manufacturer, part.device);
        return false;
    }
    // A part whose description cannot be read is not flashed on the previous part's values.
    fileProblem_ = database_.ManufacturerDocument(part.manufacturer).LoadProblem();
    if (!fileProblem_.empty()) {
        return false;
    }
    typePage_.ApplyAutoType(part.manufacturer, part.device);
    c_.controls.SetDeviceBox({part.manufacturer, part.device});
    c_.panel.ControlsChanged();
    StoreFlashType(c_.settings, part.manufacturer, part.device, c_.flashType);
    return true;
}

void TypeAuto::SetUpWriteStatus() {
    auto& controls = c_.controls;
    const bool internal = c_.eflash.internalFlashSelected;
    const auto preset = c_.identity.FlashPart().internalFlashStatus;
    if (internal && preset) {
        controls.writeStatusVisible = true;
        controls.writeStatus1 = preset->first;
        controls.writeStatus2 = preset->second;
        controls.writeStatusContinue2Bytes = preset->continuous;
        return;
    }
    const int32_t show = c_.settings.ReadInt(setting::kShowWriteStatus);
    if ((show >= 1 && !internal) || (show == 2 && internal)) {
        controls.writeStatusVisible = true;
        return;
    }
    controls.writeStatusVisible = false;
    controls.writeStatus1.clear();
    controls.writeStatus2.clear();
}

void TypeAuto::ReadBackStatus() {
    if (c_.Mode() == ConnectMode::Pd || c_.identity.FlashPart().statusByOtherMeans ||
        c_.controls.writeStatus1.empty()) {
        return;
    }
    c_.board.WriteFlashStatus(StatusWriteMode::ReadOnly, 0, 0);
}

}  // namespace quillon
