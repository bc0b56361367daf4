#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quillon {

class Station;
struct MainPageControls;

// The Main page (TabControl_Main): group "Source" (image and flash part) and group
// "Process" (the flash steps). Pure widgets: the window mirrors the station's state
// into them and forwards their clicks.
class MainPage : public QWidget {
    Q_OBJECT
public:
    struct Controls {
        // "Source"
        QPushButton* type = nullptr;       // BitBtn_Type
        QPushButton* typeAuto = nullptr;   // BitBtn_TypeAuto
        QPushButton* load = nullptr;       // BitBtn_Load
        QPushButton* read = nullptr;       // BitBtn_Read
        QPushButton* save = nullptr;       // BitBtn_Save
        QPushButton* confirm = nullptr;    // BitBtn_Confirm (hidden with its label)
        QLineEdit* filePath = nullptr;     // LabeledEdit_FilePath
        QPlainTextEdit* device = nullptr;  // Memo_Device
        QLabel* iniVersion = nullptr;      // Label_IniVersion
        QLabel* iniValue = nullptr;        // Label_IniValue
        QCheckBox* readTwice = nullptr;    // CheckBox_ReadTwice
        // "Process"
        QPushButton* erase = nullptr;              // BitBtn_Erase
        QPushButton* check = nullptr;              // BitBtn_Check
        QPushButton* program = nullptr;            // BitBtn_Program
        QPushButton* verify = nullptr;             // BitBtn_Verify
        QPushButton* autoRun = nullptr;            // BitBtn_AutoRun
        QPushButton* stop = nullptr;               // BitBtn_Stop
        QCheckBox* stepErase = nullptr;            // CheckBox_Erase
        QCheckBox* stepCheck = nullptr;            // CheckBox_Check
        QCheckBox* stepProgram = nullptr;          // CheckBox_Program
        QCheckBox* stepVerify = nullptr;           // CheckBox_Verify
        QCheckBox* skipFF = nullptr;               // SkipFF
        QCheckBox* blockProcess = nullptr;         // CheckBox_BlockProcess
        QGroupBox* writeStatus = nullptr;          // WriteStatus
        QLineEdit* writeStatus1 = nullptr;         // Edit_WriteStatus1
        QLineEdit* writeStatus2 = nullptr;         // Edit_WriteStatus2
        QCheckBox* writeStatusContinue = nullptr;  // CheckBox_WriteStatusContinue2Bytes
        QPushButton* resetEc = nullptr;            // Button_ResetEC
    };

    explicit MainPage(QWidget* parent = nullptr);

    const Controls& Widgets() const { return controls_; }

    // Copies the station's main-page state into the widgets.
    void Mirror(const MainPageControls& state);
    // Forwards the operator's clicks and edits to the station.
    void ConnectTo(Station& station);

    // The FilePath box shows the file name; its hint carries the full path.
    void SetFilePath(const QString& text, const QString& hint);
    // The device pane's hint is always its whole text.
    void SetDeviceText(const QString& text);

private:
    QGroupBox* BuildSource();
    QGroupBox* BuildProcess();

    Controls controls_;
};

}  // namespace quillon
