#pragma once

#include <array>
#include <string>
#include <vector>

#include "runtime/operator_panel.h"

namespace quillon {

// Plain mirrors of the window's controls whose state the logic reads or sets. The Station
// owns them; the window copies them into its widgets after OperatorPanel::ControlsChanged()
// and writes operator edits of unstored fields back through Station::Controls().
// Radio items count from 0; -1 means no item selected.

// Group "WriteStatus" on the main page.
struct WriteStatusControls {
    bool visible = false;         // shown when ShowWriteStatus is non-zero
    std::string status1;          // Edit_WriteStatus1
    std::string status2;          // Edit_WriteStatus2
    bool continue2Bytes = false;  // CheckBox_WriteStatusContinue2Bytes
};

struct MainPageControls {
    bool checkErase = true;    // CheckBox_Erase
    bool checkCheck = true;    // CheckBox_Check
    bool checkProgram = true;  // CheckBox_Program
    bool checkVerify = true;   // CheckBox_Verify
    bool skipFF = false;       // SkipFF "Skip FF"
    bool skipFFVisible = true;
    bool blockProcess = false;  // CheckBox_BlockProcess
    bool readTwice = false;     // CheckBox_ReadTwice
    WriteStatusControls writeStatus;
    std::string filePathText;              // LabeledEdit_FilePath text
    std::string filePathHint;              // its hint (full path)
    std::vector<std::string> deviceLines;  // Memo_Device, one entry per line
    std::string deviceHint;                // its hint (the whole text)
    std::string iniValue;                  // Label_IniValue
    bool resetEcVisible = true;            // Button_ResetEC
};

// Group "Pin Define for KBS": the pin-set list and the pin grid.
struct PinDefineControls {
    std::vector<std::string> setEntries;  // ComboBox_PinSet: "i : name" ..., then "New"
    int setIndex = -1;                    // its selected entry
    int gridRows = 3;                     // StringGrid_PinNum: 3 pin-code board, 2 pin-number
    int secondRowHeight = 16;             // 33 on a pin-number board
    std::array<std::string, 15> labels;   // row 1: "Pin07"
    std::array<std::string, 15> codes;    // row 2: "0x37" (pin-code board)
};

struct SetupPageControls {
    int pinDefSourceItem = -1;            // RadioGroup_PinDefSource
    bool pinSetListEnabled = false;       // ComboBox_PinSet
    int connectModeItem = -1;             // RadioGroup_Connect_Mode
    std::string pdI2cAddress;             // Edit_PDI2CAddr
    int allocationItem = -1;              // RadioGroup_Allocation
    std::string assignedAddress;          // Edit_AssignedAddress
    int specialWaveItem = -1;             // RadioGroup_SMB_Special_Wave (two items)
    int smbSpeedItem = -1;                // RadioGroup_SMB_Speed
    int quickModeItem = -1;               // RadioGroup_QuickMode
    bool internalClock = false;           // CheckBox_InternalClock
    bool dualFlash = false;               // CheckBox_DualFlash
    bool breakAt0 = false;                // CheckBox_BreakAt0
    bool switchRom = false;               // CheckBox_SwitchRom
    int fastFlashItem = 0;                // ComboBox_FastFlash: FastFlash = item
    bool unprotectTheLast1K = false;      // CheckBox_UnprotectTheLast1K "Erase Last 1K"
    bool unprotectKeyMatch = false;       // CheckBox_UnprotectKeyMatch "KeyMatch"
    std::array<std::string, 8> keyCells;  // StringGrid_KeyMatch, two hex digits each
    bool keyGridEnabled = true;
    bool eraseLast1KEnabled = true;

    // Groups the connect-mode selection rule switches.
    bool allocationEnabled = true;   // RadioGroup_Allocation
    bool specialWaveEnabled = true;  // RadioGroup_SMB_Special_Wave
    bool quickModeEnabled = true;    // RadioGroup_QuickMode
    bool othersEnabled = true;       // GroupBox_Others
    bool unprotectEnabled = true;    // GroupBox_UnProtect
    bool pinDefineEnabled = true;    // GroupBox_PinDef

    PinDefineControls pins;
};

struct WindowControls {
    std::string caption;                   // "KavoEC_Quillon 4.0.0.8" once started
    std::string aboutVersion;              // about box: "Version : 4.0.0.8"
    Page page = Page::Main;                // the one visible page
    int pageMode = 0;                      // SpecialForm: 0 main page, 1 customer page
    bool showMessage = true;               // Other > Show Message check mark
    bool logVisible = true;                // Memo1
    int height = 625;                      // 625 with the log shown, 470 hidden
    bool menusVisible = true;              // the four top-level menus
    bool dualFlashButtonsVisible = false;  // Button_ExternalFlash, Button_InternalFlash
};

struct ControlState {
    WindowControls window;
    MainPageControls main;
    SetupPageControls setup;
};

// The main-page boxes that store their state on every click.
enum class StepCheckBox { Erase, Check, Program, Verify, SkipFF };

}  // namespace quillon
