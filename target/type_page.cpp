#include "target/type_page.h"
#include "config/setting_names.h"

#include <utility>

namespace quillon {

TypePageLogic::TypePageLogic(const FlashDatabase& database, SettingsStore& store,
                             SettingsCache& flashType, OperatorPanel& panel)
    : database_(database), store_(store), flashType_(flashType), panel_(panel) {}

namespace {
int IndexOf(const std::vector<std::string>& names, const std::string& text) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameIniName(names[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
}  // namespace

bool NameChoice::Pick(int entry) {
    if (entry < 0 || static_cast<std::size_t>(entry) >= names.size()) {
        return false;
    }
    index = entry;
    text = names[static_cast<std::size_t>(entry)];
    return true;
}

void NameChoice::Edit(std::string typed) {
    text = std::move(typed);
    index = IndexOf(names, text);
}

void NameChoice::Select(const std::string& name) {
    index = IndexOf(names, name);
    text = index < 0 ? std::string() : names[static_cast<std::size_t>(index)];
}

void TypePageLogic::Open() {
    state_.visible = true;
    panel_.ShowPage(Page::Type);
    state_.manufacturer.names.clear();
    state_.device.names.clear();
    state_.manufacturer.names = database_.Manufacturers();

    state_.manufacturer.Select(store_.ReadText(setting::kLastFlashId1));
    ManufacturerChanged();

    state_.device.Select(store_.ReadText(setting::kLastFlashId2));
    DeviceChanged();
}

NameChoice& TypePageLogic::Box(TypeBox box) {
    return box == TypeBox::Manufacturer ? state_.manufacturer : state_.device;
}

void TypePageLogic::Changed(TypeBox box) {
    if (box == TypeBox::Manufacturer) {
        ManufacturerChanged();
    } else {
        DeviceChanged();
    }
}

void TypePageLogic::PickEntry(TypeBox box, int index) {
    if (Box(box).Pick(index)) {
        Changed(box);
    }
}

void TypePageLogic::EditText(TypeBox box, std::string text) {
    Box(box).Edit(std::move(text));
    Changed(box);
}

// Every change re-opens the file named by the text, so typing a name letter by letter tries
// each partial name; one without a file gives an empty device list.
void TypePageLogic::ManufacturerChanged() {
    openManufacturer_ = state_.manufacturer.text;
    state_.device.names = database_.Devices(openManufacturer_);
    if (!state_.device.Pick(0)) {
        state_.device.index = -1;
        state_.device.text.clear();
    }
    DeviceChanged();
}

void TypePageLogic::DeviceChanged() {
    flashType_.sectorSize = 64;
    flashType_.commandModeRead = 0;
    flashType_.sectorOffset = "0";

    const std::vector<IniEntry> entries =
        database_.DeviceEntries(openManufacturer_, state_.device.text);
    state_.memo2.clear();

    for (const auto& entry : entries) {
        const std::string& key = entry.key;
        const std::string& value = entry.value;
        if (key == "PIN") {
            state_.pin = "PIN : " + value;
        } else if (key == "Vcc") {
            state_.vcc = "Vcc : " + value;
        } else if (key == "Vccp") {
            state_.vccp = "Vccp : " + value;
        } else if (key == "Vpp") {
            state_.vpp = "Vpp : " + value;
        } else if (key == "Size") {
            state_.size = "Size : " + value;
        } else if (key == "MIDDID") {
            state_.id = "ID : " + value;
        } else if (int32_t* field = FlashTypeIntegerField(flashType_, key)) {
            *field = ConvertIniInteger(value);  // a bad value ends the step at this line
            state_.memo2.push_back(key + " :" + value);
        } else if (key == "SectorOffset") {
            flashType_.sectorOffset = value;
            state_.memo2.push_back("SectorOffset :" + value);
        }
    }
}

void TypePageLogic::Leave() {
    state_.visible = false;
    panel_.ShowPage(Page::Main);
}

void TypePageLogic::Ok(bool internalFlashSelected, std::vector<std::string>& deviceBox) {
    Leave();
    deviceBox = DeviceBoxLines(state_.manufacturer.text, state_.device.text, internalFlashSelected);
    StoreFlashType(store_, state_.manufacturer.text, state_.device.text, flashType_);
}

void TypePageLogic::Cancel() {
    Leave();
    RestoreFlashType(store_, flashType_);
}

void TypePageLogic::ApplyAutoType(std::string manufacturer, std::string device) {
    ShowAutoTypeNames(std::move(manufacturer), std::move(device));
    openManufacturer_ = state_.manufacturer.text;
    DeviceChanged();
}

void TypePageLogic::ShowAutoTypeNames(std::string manufacturer, std::string device) {
    state_.manufacturer.Edit(std::move(manufacturer));
    state_.device.Edit(std::move(device));
}

std::vector<std::string> DeviceBoxLines(const std::string& manufacturer, const std::string& device,
                                        bool internalFlashSelected) {
    std::vector<std::string> lines;
    if (!internalFlashSelected) {
        lines.push_back(manufacturer);
    }
    lines.push_back(device);
    return lines;
}

}  // namespace quillon
