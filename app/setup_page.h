#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quillon {

class RadioGroupBox;
class Station;
struct PinDefineControls;
struct SetupPageControls;

// The Setup page (TabControl_Setup): connect mode, allocation, SMB signalling, quick
// mode, the option boxes, the unprotect key and the KBS pin definition.
class SetupPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeyCells = 8;
    static constexpr int kPinColumns = 15;

    struct Controls {
        RadioGroupBox* connectMode = nullptr;   // RadioGroup_Connect_Mode
        QLineEdit* pdI2cAddress = nullptr;      // Edit_PDI2CAddr
        RadioGroupBox* allocation = nullptr;    // RadioGroup_Allocation
        QLineEdit* assignedAddress = nullptr;   // Edit_AssignedAddress
        RadioGroupBox* specialWave = nullptr;   // RadioGroup_SMB_Special_Wave
        RadioGroupBox* smbSpeed = nullptr;      // RadioGroup_SMB_Speed
        RadioGroupBox* quickMode = nullptr;     // RadioGroup_QuickMode
        QGroupBox* others = nullptr;            // GroupBox_Others
        QCheckBox* internalClock = nullptr;     // CheckBox_InternalClock
        QCheckBox* dualFlash = nullptr;         // CheckBox_DualFlash
        QCheckBox* breakAt0 = nullptr;          // CheckBox_BreakAt0
        QCheckBox* switchRom = nullptr;         // CheckBox_SwitchRom
        QComboBox* fastFlash = nullptr;         // ComboBox_FastFlash
        QGroupBox* unprotect = nullptr;         // GroupBox_UnProtect
        QCheckBox* eraseLast1K = nullptr;       // CheckBox_UnprotectTheLast1K
        QCheckBox* keyMatch = nullptr;          // CheckBox_UnprotectKeyMatch
        QTableWidget* keyGrid = nullptr;        // StringGrid_KeyMatch
        QGroupBox* pinDefine = nullptr;         // GroupBox_PinDef
        QComboBox* pinSet = nullptr;            // ComboBox_PinSet
        QTableWidget* pinGrid = nullptr;        // StringGrid_PinNum
        RadioGroupBox* pinDefSource = nullptr;  // RadioGroup_PinDefSource
        QPushButton* ok = nullptr;              // BitBtn_Setup_OK
        QPushButton* cancel = nullptr;          // BitBtn_Setup_Cancel
    };

    explicit SetupPage(QWidget* parent = nullptr);

    const Controls& Widgets() const { return controls_; }

    // Copies the station's Setup-page state into the widgets.
    void Mirror(const SetupPageControls& state);
    // Keeps the operator's edits in the station's state until OK stores them.
    void ConnectTo(Station& station);

    QString KeyCell(int cell) const;
    void SetKeyCell(int cell, const QString& text);

signals:
    // The operator finished editing key cell `cell`.
    void keyCellEdited(int cell, const QString& text);

private:
    QWidget* BuildModes();
    QWidget* BuildOptions();
    QGroupBox* BuildPinDefine();
    void MirrorPins(const PinDefineControls& pins);

    Controls controls_;
};

}  // namespace quillon
