#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "board/board_side_commands.h"
#include "config/pin_sets.h"
#include "config/settings_store.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "station/control_state.h"
#include "station/pin_editor.h"

namespace quillon {

// The KBS pin definition: the pin sets of "PinSet.ini", the three sources ("eFlash", "File",
// "INI"), the grid and its editor, and what the board receives. The definition lives here
// for the whole run; the grid and the pin-set list are mirrored into the Setup page's state.
class PinDefinitionDesk {
public:
    enum SourceItem { kEFlash = 0, kFile = 1, kIni = 2 };
    static constexpr int kLabelRow = 1;
    static constexpr uint8_t kPinNumberBoard = 0;  // pin-definition kind of the firmware info

    PinDefinitionDesk(SettingsStore& store, IniFolder folder, BoardSideCommands& board,
                      OperatorPanel& panel, MessageLog& log, SetupPageControls& setup);

    // The editor dialog; without one (headless) every edit is cancelled.
    void SetEditor(PinEditor* editor) { editor_ = editor; }

    // Start-up, once the settings are loaded: the pin-set list and the definition from the
    // stored PinDefNum. A set that cannot be parsed is skipped with one log line.
    void FillAtStartup();
    // The grid's form for the board's pin-definition kind (no board command).
    void SetBoardKind(uint8_t pinDefinitionKind);
    // The board's own copy was read: its 15 pin numbers become the definition.
    void TakeOver(std::span<const uint8_t, kPinColumns> numbers);
    // The pin numbers SetKbsPinDefine sends; nothing while no sound definition is loaded.
    std::optional<std::array<uint8_t, kPinColumns>> NumbersToSend() const;

    // The source radio group changed its item (operator or program): the selection rule.
    // True when the rule asks for a pin file ("File" on a pin-code board): the front-end
    // shows PinFileDialog() and passes the chosen file to LoadPinFile; a cancelled dialog
    // needs no call, and the source stays "File".
    bool SelectSource(int item);
    // The same while the start-up load sets the group: no file is asked for.
    void SelectSourceAtStartup(int item);

    static FileDialogRequest PinFileDialog();
    // The pins of a bin file's "$PJIG$" (else "$MISC$") record become the definition. A file
    // that cannot be read or holds no record is refused with a Warning, and the source
    // falls back to "INI".
    void LoadPinFile(const std::string& path);

    // The operator picked another pin-set entry (PinDefNum is stored only by Setup OK).
    void PickSet(int index);
    // Shows the selected set (the template for "New"); an empty value changes nothing, a
    // malformed one changes nothing and says so.
    void PinSetChange();
    // Selects entry `index` of the list without the pin-set change.
    void SelectEntry(int index);

    // Grid double-click: edits one pin label (and its code) on the label row.
    void EditPin(int row, int column);

    // Setup OK: saves the set (source "INI"), writes the board's copy (source "eFlash" on a
    // pin-number board, when pins changed), and sends the pins to the board.
    void StoreOnSetupOk();
    // SetKbsPinDefine with the current pin numbers.
    TransferResult SendToBoard();

    bool PinNumberBoard() const { return pinKind_ == kPinNumberBoard; }
    uint8_t PinDefinitionKind() const { return pinKind_; }
    const PinDefinition& Definition() const { return definition_; }

private:
    // True when the rule ends asking for a pin file.
    bool ApplySourceRule(int item, bool startup);
    void ReadBoardCopy();
    void FileStep();
    void StoreIniSet();
    void StoreBoardCopy();
    void ApplyLabelsToNumbers();
    void SetDefinition(const PinDefinition& definition);
    void Publish();
    void FillList();
    int StoredSetNumber() const;

    SettingsStore& store_;
    PinSetFile file_;
    BoardSideCommands& board_;
    OperatorPanel& panel_;
    MessageLog& log_;
    SetupPageControls& setup_;
    PinEditor* editor_ = nullptr;  // not owned
    PinDefinition definition_;
    uint8_t pinKind_ = kPinNumberBoard;  // until the board says otherwise
};

}  // namespace quillon
