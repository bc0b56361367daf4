#include "target/type_page.h"
#include "config/setting_names.h"

#include <utility>

namespace quillon {

TypePageLogic::TypePageLogic(const FlashDatabase& database, SettingsStore& store,
                             SettingsCache& flashType, OperatorPanel& panel)
    : database_(database), store_(store), flashType_(flashType), panel_(panel) {}

int TypePageLogic::IndexOf(const std::vector<std::string>& list, const std::string& text) const {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (SameIniName(list[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TypePageLogic::Open() {
    state_.visible = true;
    panel_.ShowPage(Page::Type);
    state_.manufacturers.clear();
    state_.devices.clear();
    state_.manufacturers = database_.Manufacturers();

    const std::string storedManufacturer = store_.ReadText(setting::kLastFlashId1);
    state_.manufacturerIndex = IndexOf(state_.manufacturers, storedManufacturer);
    state_.manufacturerText =
        state_.manufacturerIndex < 0
            ? std::string()
            : state_.manufacturers[static_cast<std::size_t>(state_.manufacturerIndex)];
    ManufacturerChanged();

    const std::string storedDevice = store_.ReadText(setting::kLastFlashId2);
    state_.deviceIndex = IndexOf(state_.devices, storedDevice);
    state_.deviceText = state_.deviceIndex < 0
                            ? std::string()
                            : state_.devices[static_cast<std::size_t>(state_.deviceIndex)];
    DeviceChanged();
}

namespace {
// Item `index` of `items` becomes the chosen one; false when there is no such item.
bool Pick(const std::vector<std::string>& items, int index, int& chosenIndex,
          std::string& chosenText) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        return false;
    }
    chosenIndex = index;
    chosenText = items[static_cast<std::size_t>(index)];
    return true;
}
}  // namespace

void TypePageLogic::SelectManufacturer(int index) {
    if (Pick(state_.manufacturers, index, state_.manufacturerIndex, state_.manufacturerText)) {
        ManufacturerChanged();
    }
}

void TypePageLogic::EditManufacturerText(std::string text) {
    state_.manufacturerText = std::move(text);
    state_.manufacturerIndex = IndexOf(state_.manufacturers, state_.manufacturerText);
    ManufacturerChanged();
}

void TypePageLogic::SelectDevice(int index) {
    if (Pick(state_.devices, index, state_.deviceIndex, state_.deviceText)) {
        DeviceChanged();
    }
}

void TypePageLogic::EditDeviceText(std::string text) {
    state_.deviceText = std::move(text);
    state_.deviceIndex = IndexOf(state_.devices, state_.deviceText);
    DeviceChanged();
}

// Every change re-opens the file named by the text, so typing a name letter by letter tries
// each partial name; one without a file gives an empty device list.
void TypePageLogic::ManufacturerChanged() {
    openManufacturer_ = state_.manufacturerText;
    state_.devices = database_.Devices(openManufacturer_);
    if (state_.devices.empty()) {
        state_.deviceIndex = -1;
        state_.deviceText.clear();
    } else {
        state_.deviceIndex = 0;
        state_.deviceText = state_.devices.front();
    }
    DeviceChanged();
}

void TypePageLogic::DeviceChanged() {
    flashType_.sectorSize = 64;
    flashType_.commandModeRead = 0;
    flashType_.sectorOffset = "0";

    const std::vector<IniEntry> entries =
        database_.DeviceEntries(openManufacturer_, state_.deviceText);
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
    deviceBox = DeviceBoxLines(state_.manufacturerText, state_.deviceText, internalFlashSelected);
    StoreFlashType(store_, state_.manufacturerText, state_.deviceText, flashType_);
}

void TypePageLogic::Cancel() {
    Leave();
    RestoreFlashType(store_, flashType_);
}

void TypePageLogic::ApplyAutoType(std::string manufacturer, std::string device) {
    ShowAutoTypeNames(std::move(manufacturer), std::move(device));
    openManufacturer_ = state_.manufacturerText;
    DeviceChanged();
}

void TypePageLogic::ShowAutoTypeNames(std::string manufacturer, std::string device) {
    state_.manufacturerText = std::move(manufacturer);
    state_.manufacturerIndex = IndexOf(state_.manufacturers, state_.manufacturerText);
    state_.deviceText = std::move(device);
    state_.deviceIndex = IndexOf(state_.devices, state_.deviceText);
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
