#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/flash_database.h"
#include "config/flash_type.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "runtime/operator_panel.h"

namespace quillon {

// One of the page's combo boxes: its list, the selected entry and the edit text.
struct NameChoice {
    std::vector<std::string> names;
    int index = -1;    // selected entry, -1 for none
    std::string text;  // the combo box's edit text

    // Entry `entry` becomes the chosen one; false (nothing changed) when there is no such entry.
    bool Pick(int entry);
    // The operator typed `typed`: the entry of that name is selected, or none.
    void Edit(std::string typed);
    // The entry named `name` is chosen with its own spelling; none leaves the text empty.
    void Select(const std::string& name);
};

// The page's two boxes.
enum class TypeBox { Manufacturer, Device };

// What the Type page shows; the window mirrors it.
struct TypePageState {
    bool visible = false;  // the Type page is shown, with Memo2 in the place of the message log

    NameChoice manufacturer;  // ComboBox_ManufacturerID
    NameChoice device;        // ComboBox_DeviceID

    // The six information fields and their initial captions.
    std::string pin = "PIN";
    std::string vcc = "Vcc";
    std::string vccp = "Vccp";
    std::string vpp = "Vpp";
    std::string size = "Size";
    std::string id = "ID";

    std::vector<std::string> memo2;  // command-mode lines of the shown device
};

// The Type page's logic: pick a manufacturer and a device from the parameter files and make
// the device the current flash type. ConversionError and SettingsError end a step part-way,
// as they end the handler that runs it.
class TypePageLogic {
public:
    TypePageLogic(const FlashDatabase& database, SettingsStore& store, SettingsCache& flashType,
                  OperatorPanel& panel);

    const TypePageState& State() const { return state_; }

    // The Type button: show the page, fill the manufacturer list and select the stored part.
    void Open();

    // The operator picked entry `index` of a box, or typed `text` into it; either runs the
    // box's change step (a manufacturer opens its file, a device loads its part).
    void PickEntry(TypeBox box, int index);
    void EditText(TypeBox box, std::string text);

    // OK: accept the shown device. Fills the device box (Memo_Device) with the manufacturer
    // (left out when the internal flash is selected) and the device, then stores the part.
    void Ok(bool internalFlashSelected, std::vector<std::string>& deviceBox);

    // Cancel: back to the main page, the flash type read back from the store.
    void Cancel();

    // For the automatic typing: put the two names into the boxes, open the manufacturer's
    // file and load the device, without refilling the lists.
    void ApplyAutoType(std::string manufacturer, std::string device);
    // The automatic typing's lookup result shown in the boxes as read, nothing loaded (an
    // unknown part leaves both boxes empty).
    void ShowAutoTypeNames(std::string manufacturer, std::string device);

private:
    NameChoice& Box(TypeBox box);
    void Changed(TypeBox box);
    void ManufacturerChanged();
    void DeviceChanged();
    void Leave();

    const FlashDatabase& database_;
    SettingsStore& store_;
    SettingsCache& flashType_;  // the in-memory flash type fields
    OperatorPanel& panel_;
    TypePageState state_;
    std::string openManufacturer_;  // the manufacturer whose file the device step reads
};

// The device box lines for a part, as OK and the start-up load fill it.
std::vector<std::string> DeviceBoxLines(const std::string& manufacturer, const std::string& device,
                                        bool internalFlashSelected);

}  // namespace quillon
