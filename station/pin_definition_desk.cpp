#include "station/pin_definition_desk.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "config/setting_names.h"

namespace quillon {

namespace {
constexpr const char* kBinFileFilter = "[*.bin]|*.bin|[*.rom]|*.rom|*.*|*.*";
constexpr const char* kNoPinDefine = "There is not Pin Define in this bin file.";
constexpr int kPinNumberBoardRows = 2;
constexpr int kPinCodeBoardRows = 3;
constexpr int kTallSecondRow = 33;
constexpr int kRowHeight = 16;

// The whole file in one read; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // A 32-bit build cannot hold a file beyond its stream size in memory.
    if (size < 0 || size > std::numeric_limits<std::streamsize>::max()) {
        return std::nullopt;
    }
    in.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (!bytes.empty() &&
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    return bytes;
}
}  // namespace

PinDefinitionDesk::PinDefinitionDesk(SettingsStore& store, IniFolder folder,
                                     BoardSideCommands& board, OperatorPanel& panel,
                                     MessageLog& log, SetupPageControls& setup)
    : store_(store),
      file_(std::move(folder)),
      board_(board),
      panel_(panel),
      log_(log),
      setup_(setup) {
    Publish();
}

void PinDefinitionDesk::Publish() {
    setup_.pins.labels = definition_.labels;
    setup_.pins.codes = definition_.codes;
}

void PinDefinitionDesk::SetDefinition(const PinDefinition& definition) {
    definition_ = definition;
    Publish();
}

void PinDefinitionDesk::FillList() {
    setup_.pins.setEntries = file_.ListEntries();
}

int PinDefinitionDesk::StoredSetNumber() const {
    return store_.ReadInt(setting::kPinDefNum);
}

void PinDefinitionDesk::SelectEntry(int index) {
    setup_.pins.setIndex = index;
}

void PinDefinitionDesk::FillAtStartup() {
    FillList();
    const int count = file_.Count();
    // A settings load that ended early may not have created PinDefNum: it is then set to 0.
    const int stored = store_.Exists(setting::kPinDefNum) ? StoredSetNumber() : -1;
    if (stored >= 0 && stored < count) {
        SelectEntry(stored);
    } else {
        SelectEntry(0);
        store_.WriteInt(setting::kPinDefNum, 0);
    }
    const int index = setup_.pins.setIndex;
    // A set that cannot be read must not keep the board from being contacted: it is
    // skipped, and the definition stays empty until a set is picked.
    const PinParse parsed = ParsePinSetValue(file_.Value(index));
    if (!parsed.definition) {
        log_.Append("Pin set " + std::to_string(index) + " of " + kPinSetFileName +
                    " is skipped : " + parsed.error);
        return;
    }
    SetDefinition(*parsed.definition);
}

void PinDefinitionDesk::SetBoardKind(uint8_t pinDefinitionKind) {
    pinKind_ = pinDefinitionKind;
    if (!PinNumberBoard()) {
        setup_.pins.gridRows = kPinCodeBoardRows;
        setup_.pins.secondRowHeight = kRowHeight;
        return;
    }
    setup_.pins.gridRows = kPinNumberBoardRows;
    setup_.pins.secondRowHeight = kTallSecondRow;
}

void PinDefinitionDesk::TakeOver(std::span<const uint8_t, kPinColumns> numbers) {
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        definition_.numbers[c] = numbers[c];
        definition_.labels[c] = PinLabel(numbers[c]);
    }
    Publish();
}

std::optional<std::array<uint8_t, kPinColumns>> PinDefinitionDesk::NumbersToSend() const {
    for (const uint8_t pin : definition_.numbers) {
        if (pin < kFirstPin || pin > kLastPin) {
            return std::nullopt;  // no definition loaded
        }
    }
    return definition_.numbers;
}

bool PinDefinitionDesk::SelectSource(int item) {
    return ApplySourceRule(item, false);
}

void PinDefinitionDesk::SelectSourceAtStartup(int item) {
    ApplySourceRule(item, true);
}

bool PinDefinitionDesk::ApplySourceRule(int item, bool startup) {
    setup_.pinDefSourceItem = item;
    if (item == kEFlash && !PinNumberBoard()) {
        return ApplySourceRule(kIni, startup);
    }
    if (item == kEFlash) {
        ReadBoardCopy();
    }
    if (item == kIni) {
        setup_.pinSetListEnabled = true;
        PinSetChange();
    } else {
        setup_.pinSetListEnabled = false;
    }
    if (item == kFile && PinNumberBoard()) {
        return ApplySourceRule(kIni, startup);
    }
    if (item == kFile && !startup) {
        FileStep();
        return true;
    }
    return false;
}

void PinDefinitionDesk::ReadBoardCopy() {
    std::array<uint8_t, BoardSideCommands::kPinDefineSize> record{};
    if (!board_.ReadBoardPinDefine(record).Succeeded()) {
        return;  // no board, or it did not answer: the definition stays as it was
    }
    TakeOver(std::span<const uint8_t, kPinColumns>(record.data(), kPinColumns));
}

void PinDefinitionDesk::FileStep() {
    SelectEntry(0);
    store_.WriteInt(setting::kPinDefNum, 0);
}

FileDialogRequest PinDefinitionDesk::PinFileDialog() {
    return {kBinFileFilter, "", ""};
}

void PinDefinitionDesk::LoadPinFile(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    std::optional<std::array<uint8_t, kPinColumns>> codes;
    if (bytes) {
        codes = FindPinCodes(*bytes);
    }
    if (!bytes) {
        panel_.Warn("Cannot read the file '" + path + "'.");
    } else if (!codes) {
        panel_.Warn(kNoPinDefine);
    } else if (const PinParse parsed = DefinitionFromCodes(*codes); !parsed.definition) {
        panel_.Warn(parsed.error);
    } else {
        SetDefinition(*parsed.definition);
        return;
    }
    ApplySourceRule(kIni, false);
}

void PinDefinitionDesk::PickSet(int index) {
    SelectEntry(index);
    PinSetChange();
}

void PinDefinitionDesk::PinSetChange() {
    const int count = file_.Count();
    const int index = setup_.pins.setIndex;
    if (index < 0 || index > count) {
        return;
    }
    const std::string value = index == count ? std::string(kPinSetTemplate) : file_.Value(index);
    if (value.empty()) {
        return;
    }
    const PinParse parsed = ParsePinSetValue(value);
    if (!parsed.definition) {
        panel_.Warn(parsed.error + "\nThe pin definition is left as it was.");
        return;
    }
    SetDefinition(*parsed.definition);
}

void PinDefinitionDesk::EditPin(int row, int column) {
    if (row != kLabelRow || column < 0 || column >= static_cast<int>(kPinColumns)) {
        return;
    }
    const int source = setup_.pinDefSourceItem;
    if (!(source == kIni || (source == kEFlash && PinNumberBoard())) || editor_ == nullptr) {
        return;
    }
    const auto c = static_cast<std::size_t>(column);
    const auto chosen = editor_->EditPin(kPinSignals[c], definition_.labels[c]);
    if (!chosen) {
        return;
    }
    const auto pin = PinOfLabel(*chosen);
    const auto code = pin ? PinCodeOf(*pin) : std::nullopt;
    if (!code) {
        return;
    }
    definition_.labels[c] = *chosen;
    definition_.codes[c] = PinCodeText(*code);
    Publish();
}

void PinDefinitionDesk::ApplyLabelsToNumbers() {
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        if (const auto pin = PinOfLabel(definition_.labels[c])) {
            definition_.numbers[c] = static_cast<uint8_t>(*pin);
        }
    }
}

void PinDefinitionDesk::StoreOnSetupOk() {
    const int source = setup_.pinDefSourceItem;
    if (source == kIni) {
        StoreIniSet();
    } else if (source == kEFlash && PinNumberBoard()) {
        StoreBoardCopy();
    }
    SendToBoard();
}

void PinDefinitionDesk::StoreIniSet() {
    const auto pins = PinsTextOfLabels(definition_.labels);
    if (!pins) {
        panel_.Warn("No pin definition is loaded: no pin set is stored.");
        return;
    }
    const int count = file_.Count();
    const int index = setup_.pins.setIndex;
    if (index < 0 || index > count) {
        return;
    }
    IniWriteResult written{true, {}};
    if (index == count) {
        const auto name = editor_ != nullptr ? editor_->AskSetName() : std::nullopt;
        if (!name) {
            SelectEntry(StoredSetNumber());
        } else {
            const std::string value = *pins + *name;
            written = file_.StoreNew(index, value);
            if (written.ok) {
                auto& entries = setup_.pins.setEntries;
                const auto at = std::min(entries.size(), static_cast<std::size_t>(index));
                entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at),
                               std::to_string(index) + " : " + *name);
                SelectEntry(index);
                store_.WriteInt(setting::kPinDefNum, index);
            }
        }
    } else {
        const std::string value = *pins + PinSetName(file_.Value(index));
        written = file_.Store(index, value);
        if (written.ok) {
            store_.WriteInt(setting::kPinDefNum, index);
        }
    }
    if (!written.ok) {
        // The file stays as it was; the board still gets the pins the grid shows.
        panel_.Warn(written.error);
        ApplyLabelsToNumbers();
        return;
    }
    PinSetChange();
}

void PinDefinitionDesk::StoreBoardCopy() {
    bool changed = false;
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        const auto pin = PinOfLabel(definition_.labels[c]);
        if (pin && definition_.numbers[c] != *pin) {
            definition_.numbers[c] = static_cast<uint8_t>(*pin);
            changed = true;
        }
    }
    if (!changed) {
        return;
    }
    std::array<uint8_t, 4> info{};
    board_.ReadBoardFirmware(info);  // the record address follows the board kind
    std::array<uint8_t, BoardSideCommands::kPinDefineSize> record{};
    std::copy(definition_.numbers.begin(), definition_.numbers.end(), record.begin());
    board_.WriteBoardPinDefine(record);
}

TransferResult PinDefinitionDesk::SendToBoard() {
    for (const uint8_t pin : definition_.numbers) {
        if (pin < kFirstPin || pin > kLastPin) {
            log_.Append("No KBS pin definition is loaded : the board keeps the one it has.");
            return TransferResult::Refused();
        }
    }
    return board_.SetKbsPinDefine(definition_.numbers);
}

}  // namespace quillon
