#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <utility>

#include "app/about_box.h"
#include "app/customer_page.h"
#include "app/live_wait.h"
#include "app/log_pane.h"
#include "app/main_page.h"
#include "app/pin_editor_dialog.h"
#include "app/platform/global_hot_keys.h"
#include "app/plug_relay.h"
#include "app/program_icon.h"
#include "app/qt_call_runner.h"
#include "app/qt_clock.h"
#include "app/qt_prompts.h"
#include "app/qt_window_timer.h"
#include "app/setup_page.h"
#include "app/simple_combo_box.h"
#include "app/status_bar.h"
#include "app/type_page.h"
#include "app/widget_helpers.h"

namespace quillon {

namespace {
// The log area is exactly what the window loses when the log is hidden (625 - 470).
constexpr int kLogAreaHeight = Station::kHeightWithLog - Station::kHeightWithoutLog;
// How often a close that waits for a running operation looks again.
constexpr int kCloseRetryMs = 20;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The window's size for a window height the station gives (title bar, menu and border
// included): the client area below the menu as it follows from that height, plus the menu bar.
// Qt's window size leaves out the title bar and border but holds the menu bar.
QSize WindowSizeFor(const QMenuBar* menus, int windowHeight) {
    int menuHeight = menus->heightForWidth(MainWindow::kClientWidth);
    if (menuHeight < 0) {
        menuHeight = menus->sizeHint().height();
    }
    return {MainWindow::kClientWidth, menuHeight + Station::ClientHeightBelowMenu(windowHeight)};
}
}  // namespace

MainWindow::MainWindow(StationOptions options, DriverLoader driverLoader, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName("TForm1");
    setWindowTitle(Q(Station::CaptionOfBoard(options.boardIndex)));
    setWindowIcon(ProgramIcon());
    QFont compact = font();
    compact.setPointSizeF(8.5);
    setFont(compact);

    liveWait_ = new LiveWait(this);
    clock_ = std::make_unique<QtClock>(*liveWait_);
    runner_ = std::make_unique<QtCallRunner>(*liveWait_);
    timer_ = new QtWindowTimer("Timer1", kConnectionCheckIntervalMs, this);
    // Timer2: the PD processor-halt poll, run only while the PD power prompt is open.
    haltPollTimer_ = new QtWindowTimer("Timer2", kHaltPollIntervalMs, this);
    options.haltPollTimer = haltPollTimer_;
    closeRetry_ = new QTimer(this);
    closeRetry_->setInterval(kCloseRetryMs);
    connect(closeRetry_, &QTimer::timeout, this, &MainWindow::CloseWhenIdle);
    BuildMenus();
    setCentralWidget(BuildCentre());
    about_ = new AboutBox(this);
    pinEditor_ = new PinEditorDialog(this);

    station_ = std::make_unique<Station>(*this, *clock_, *timer_, std::move(options),
                                         std::move(driverLoader));
    // Library calls and waits keep the window live; a Stop press registers during them, and
    // a Timer1 tick that falls due while other work runs is dropped.
    station_->UseCallRunner(*runner_);
    liveWait_->SetStopHandler([this] { station_->RequestStop(); });
    timer_->SetTickGate([this](const std::function<void()>& tick) { GateTick(tick); });
    mainPage_->ConnectTo(*station_);
    setupPage_->ConnectTo(*station_);
    customerPage_->ConnectTo(*station_);
    ConnectWindowControls();
    ConnectCycle();
    ControlsChanged();

    // A fixed single-line border: the window keeps its size and is centred on the screen.
    setFixedSize(WindowSizeFor(menuBar(), Station::kHeightWithLog));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    fileMenu_ = MakeMenu(bar, "Menu_File", "File");
    burnRun_ = MakeAction(fileMenu_, "Menu_BurnRun", "BurnRun");
    exit_ = MakeAction(fileMenu_, "Menu_Exit", "Exit");

    setup_ = MakeAction(bar, "Menu_Setup", "Setup");

    otherMenu_ = MakeMenu(bar, "Menu_Other", "Other");
    showMessage_ = MakeAction(otherMenu_, "Menu_ShowMessage", "Show Message");
    showMessage_->setCheckable(true);
    showMessage_->setChecked(true);
    saveMessage_ = MakeAction(otherMenu_, "Menu_SaveMessage", "Save Message");
    saveReg_ = MakeAction(otherMenu_, "Menu_SaveREG", "Save REG");
    needPdCpuHalt_ = MakeAction(otherMenu_, "Menu_NeedPdCpuHalt", "NeedPdCpuHalt");
    needPdCpuHalt_->setCheckable(true);

    helpMenu_ = MakeMenu(bar, "Menu_Help", "Help");
    aboutAction_ = MakeAction(helpMenu_, "Menu_About", "About");

    // At the top edge, shown only for a dual-flash target.
    auto* corner = new QWidget(bar);
    auto* buttons = MakeRow(corner, {0, 0, 2, 0}, 2);
    externalFlash_ = MakeButton(corner, "Button_ExternalFlash", "External-Flash");
    internalFlash_ = MakeButton(corner, "Button_InternalFlash", "Internal-Flash");
    for (QPushButton* button : {externalFlash_, internalFlash_}) {
        button->setFlat(false);
        button->setMaximumHeight(20);
        buttons->addWidget(button);
        button->hide();
    }
    bar->setCornerWidget(corner, Qt::TopRightCorner);
}

QWidget* MainWindow::BuildCentre() {
    auto* centre = new QWidget(this);
    auto* column = MakeColumn(centre, {0, 0, 0, 0}, 0);

    pages_ = new QStackedWidget(centre);
    pages_->setObjectName("PageArea");
    mainPage_ = new MainPage(pages_);
    typePage_ = new TypePage(pages_);
    setupPage_ = new SetupPage(pages_);
    customerPage_ = new CustomerPage(pages_);
    for (QWidget* page :
         {static_cast<QWidget*>(mainPage_), static_cast<QWidget*>(typePage_),
          static_cast<QWidget*>(setupPage_), static_cast<QWidget*>(customerPage_)}) {
        pages_->addWidget(page);
    }
    column->addWidget(pages_, 1);

    // Memo1, and Memo2 of the Type page in its place while that page is shown.
    logArea_ = new QWidget(centre);
    logArea_->setObjectName("LogArea");
    logArea_->setFixedHeight(kLogAreaHeight);
    logStack_ = new QStackedLayout(logArea_);
    logStack_->setContentsMargins(2, 2, 2, 2);
    log_ = new LogPaneWidget("Memo1", logArea_);
    logStack_->addWidget(log_);
    logStack_->addWidget(typePage_->Widgets().info);
    column->addWidget(logArea_);

    statusBar_ = new StatusBarWidget(centre);
    column->addWidget(statusBar_);
    return centre;
}

void MainWindow::ConnectWindowControls() {
    connect(exit_, &QAction::triggered, this, &QWidget::close);
    connect(burnRun_, &QAction::triggered, this,
            [this] { station_->RunHandler([this] { station_->Auto().BurnRun(std::nullopt); }); });
    connect(aboutAction_, &QAction::triggered, this, [this] { about_->exec(); });
    // Show Message and NeedPdCpuHalt are options of the window: they take effect at once, also
    // while an operation runs.
    connect(showMessage_, &QAction::triggered, this, [this] {
        station_->RunWindowOption([this] { station_->Messages().ToggleShowMessage(); });
        // The check mark follows the station, also when the handler failed.
        MirrorWindow();
    });
    // Save Message and Save REG write their own progress and outcome lines, which must not fall
    // between a running operation's progress line and its outcome: they wait for the work,
    // shown disabled, so that a click on them is not taken and then dropped.
    station_->WatchWork([this](bool running) {
        saveMessage_->setEnabled(!running);
        saveReg_->setEnabled(!running);
    });
    connect(saveMessage_, &QAction::triggered, this, [this] {
        Handle([this] {
            station_->Messages().SaveMessage(AskSaveFile(MessageMenu::SaveMessageDialog()));
        });
    });
    connect(saveReg_, &QAction::triggered, this, [this] {
        Handle([this] {
            station_->Messages().SaveRegistryExport(
                AskSaveFile(MessageMenu::SaveRegistryExportDialog()));
        });
    });

    // Page switching; the pages' own logic joins these handlers as it lands.
    ConnectTypePage();
    // The Setup page's own controls (OK, Cancel, the rules) are wired by the page itself.
    connect(setup_, &QAction::triggered, this,
            [this] { Handle([this] { station_->SetupLogic().Open(); }); });
    station_->SetupLogic().GetSeams().loadEnabled = [this] {
        return mainPage_->Widgets().load->isEnabled();
    };
    station_->Pins().SetEditor(pinEditor_);
    ConnectWindowHotKeys();
}

// The window's own Ctrl+Alt+R and Ctrl+Alt+A, for when the system-wide keys cannot be had
// (a Wayland session, or another program holds them). They belong to the window, so they work
// whichever page is shown; they call what the system-wide keys call.
void MainWindow::ConnectWindowHotKeys() {
    auto* reload = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R), this);
    reload->setObjectName("HotKey_ReloadLastImage");
    connect(reload, &QShortcut::activated, this, &MainWindow::ReloadLastImage);
    auto* autoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A), this);
    autoKey->setObjectName("HotKey_AutoRun");
    connect(autoKey, &QShortcut::activated, this, &MainWindow::PressAuto);
}

void MainWindow::ReloadLastImage() {
    Handle([this] { station_->Files().Reload(); });
}

void MainWindow::PressAuto() {
    mainPage_->Widgets().autoRun->click();
}

// Timer1 and Timer2, the flash-selection buttons and the CPU-halt menu item.
void MainWindow::ConnectCycle() {
    timer_->SetTickHandler([this] { station_->Timer1Tick(); });
    haltPollTimer_->SetTickHandler([this] { station_->Timer2Tick(); });
    connect(externalFlash_, &QPushButton::clicked, this,
            [this] { Handle([this] { station_->Cycle().ExternalFlash(); }); });
    connect(internalFlash_, &QPushButton::clicked, this,
            [this] { Handle([this] { station_->Cycle().InternalFlash(); }); });
    connect(needPdCpuHalt_, &QAction::triggered, this, [this] {
        station_->RunWindowOption([this] { station_->Cycle().ToggleNeedPdCpuHalt(); });
        MirrorWindow();  // the check mark follows the station, also when refused
    });
}

// The Type button, the two lists (picked or typed letter by letter), OK and Cancel.
void MainWindow::ConnectTypePage() {
    const auto typeHandler = [this](std::function<void()> handler) {
        return [this, handler] {
            Handle(handler);
            typePage_->Mirror(station_->TypeLogic().State());
        };
    };
    TypePageLogic& logic = station_->TypeLogic();
    connect(mainPage_->Widgets().type, &QPushButton::clicked, this,
            typeHandler([this] { station_->OpenTypePage(); }));
    const TypePage::Controls& type = typePage_->Widgets();
    for (const auto& [combo, box] : {std::pair{type.manufacturer, TypeBox::Manufacturer},
                                     std::pair{type.device, TypeBox::Device}}) {
        connect(combo, &SimpleComboBox::rowPicked, this, [typeHandler, &logic, box](int row) {
            typeHandler([&logic, box, row] { logic.PickEntry(box, row); })();
        });
        connect(combo, &SimpleComboBox::textEdited, this,
                [typeHandler, &logic, box](const QString& text) {
                    typeHandler([&logic, box, text] { logic.EditText(box, text.toStdString()); })();
                });
    }
    connect(type.ok, &QPushButton::clicked, this,
            typeHandler([this] { station_->AcceptTypePage(); }));
    connect(type.cancel, &QPushButton::clicked, this,
            typeHandler([this] { station_->CancelTypePage(); }));
}

void MainWindow::Handle(const std::function<void()>& handler) {
    station_->RunHandler(handler);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The start-up sequence follows the first activation, once the window is on screen.
    if (!startupQueued_) {
        startupQueued_ = true;
        QTimer::singleShot(0, this, &MainWindow::RunStartup);
    }
}

void MainWindow::RunStartup() {
    // The first thing the start-up does: the application takes the window caption as its
    // title, so it reads so while the board is greeted and the power prompt is open.
    QCoreApplication::setApplicationName(Station::kCaption);
    Handle([this] { station_->RunStartup(); });
    ControlsChanged();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (station_->Busy()) {
        // Ask the running operation to stop; the window closes once it has ended.
        closePending_ = true;
        station_->RequestStop();
        closeRetry_->start();
        event->ignore();
        return;
    }
    closeRetry_->stop();
    closePending_ = false;
    timer_->SetEnabled(false);
    Handle([this] { station_->Session().CloseSequence(); });
    QMainWindow::closeEvent(event);
}

void MainWindow::GateTick(const std::function<void()>& tick) {
    // A tick that falls due while other work runs (a handler, or a tick of its own that is
    // waiting on the board) is dropped. The tick enters the station's activity guard itself,
    // so it is not run through RunHandler, which would find the guard taken.
    if (station_->Busy() || tickRunning_) {
        return;
    }
    tickRunning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tickRunning_};
    try {
        tick();
    } catch (const std::exception& error) {
        // As for a handler: the error box, and the program runs on.
        ShowMessage(MessageKind::Error, Station::kCaption, error.what());
    }
}

void MainWindow::WatchBoard(BoardWatchConfig config) {
    if (deviceWatcher_ != nullptr) {
        return;
    }
    deviceWatcher_ = new DeviceWatcher(std::move(config), this);
    plugRelay_ = new PlugRelay(*deviceWatcher_, *station_, this);
    station_->WatchDevicesWith([this] { deviceWatcher_->Start(); });
}

void MainWindow::RegisterHotKeys() {
    if (hotKeys_ != nullptr) {
        return;
    }
    hotKeys_ = new GlobalHotKeys(this);
    connect(hotKeys_, &GlobalHotKeys::reloadPressed, this, &MainWindow::ReloadLastImage);
    connect(hotKeys_, &GlobalHotKeys::autoPressed, this, &MainWindow::PressAuto);
    hotKeys_->Register();  // a key that cannot be had is left to the window's shortcuts
}

void MainWindow::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void MainWindow::CloseWhenIdle() {
    if (closePending_ && !station_->Busy()) {
        close();
    }
}

// ---- OperatorPanel -------------------------------------------------------------------

void MainWindow::LogAppended(LogPane pane, const std::string& line) {
    (pane == LogPane::Main ? log_ : customerPage_->Widgets().log)->AppendLine(Q(line));
}

void MainWindow::LogLastReplaced(LogPane pane, const std::string& line) {
    (pane == LogPane::Main ? log_ : customerPage_->Widgets().log)->ReplaceLastLine(Q(line));
}

void MainWindow::LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) {
    (pane == LogPane::Main ? log_ : customerPage_->Widgets().log)
        ->ReplaceLineFromEnd(static_cast<int>(fromEnd), Q(line));
}

void MainWindow::SetLogColour(LogColour colour) {
    switch (colour) {
        case LogColour::Normal:
            log_->SetBackground(Qt::white);
            break;
        case LogColour::Silver:
            log_->SetBackground(kSilver);
            break;
        case LogColour::Highlight:
            log_->SetBackground(QApplication::palette().color(QPalette::Highlight));
            break;
        case LogColour::Red:
            log_->SetBackground(Qt::red);
            break;
    }
}

void MainWindow::SetStatusText(StatusPanel panel, const std::string& text) {
    statusBar_->SetPanelText(static_cast<int>(panel), Q(text));
}

void MainWindow::SetProgress(int percent) {
    statusBar_->SetProgress(percent);
}

void MainWindow::OperationStarted(const std::string&, const std::string& label) {
    statusBar_->OperationStarted(Q(label));
}

void MainWindow::OperationEnded(const std::string&, const StepReport&) {
    statusBar_->OperationEnded();
}

void MainWindow::ShowMessage(MessageKind kind, const std::string& title, const std::string& text) {
    ShowMessageBox(this, kind, title, text);
}

std::optional<std::string> MainWindow::AskOpenFile(const FileDialogRequest& request) {
    return AskForFile(this, false, request);
}

std::optional<std::string> MainWindow::AskSaveFile(const FileDialogRequest& request) {
    return AskForFile(this, true, request);
}

MainWindow::LevelSet MainWindow::LevelOwnControls(ControlLevel level) const {
    const MainPage::Controls& main = mainPage_->Widgets();
    switch (level) {
        case ControlLevel::StopAndBelow:
            return {{main.stop}, {}};
        case ControlLevel::FilesAndBelow:
            return {{main.load, main.confirm, main.save}, {}};
        case ControlLevel::Operations:
            return {{main.type, main.typeAuto, main.read, externalFlash_, internalFlash_,
                     main.erase, main.check, main.program, main.verify, main.autoRun, main.resetEc},
                    {burnRun_}};
        case ControlLevel::SetupMenu:
            return {{}, {setup_}};
    }
    return {};
}

void MainWindow::SetControlLevel(ControlLevel named, bool enabled) {
    // Each level holds every higher-numbered level.
    for (int nested = LevelNumber(named); nested <= LevelNumber(ControlLevel::SetupMenu);
         ++nested) {
        const LevelSet set = LevelOwnControls(static_cast<ControlLevel>(nested));
        for (QWidget* widget : set.widgets) {
            widget->setEnabled(enabled);
        }
        for (QAction* action : set.actions) {
            action->setEnabled(enabled);
        }
    }
}

void MainWindow::SetBusyCursor(bool busy, CursorArea /*area*/) {
    // One override cursor serves both areas: the log pane's and the window's busy periods
    // never overlap.
    if (busy == busyCursor_) {
        return;
    }
    busyCursor_ = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void MainWindow::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::ShowPage(Page page) {
    station_->Controls().window.page = page;
    MirrorWindow();
}

void MainWindow::ControlsChanged() {
    MirrorWindow();
    mainPage_->Mirror(station_->Controls().main);
    typePage_->Mirror(station_->TypeLogic().State());
    setupPage_->Mirror(station_->Controls().setup);
}

void MainWindow::MirrorWindow() {
    const WindowControls& window = station_->Controls().window;
    setWindowTitle(window.caption.empty() ? Q(Station::CaptionOfBoard(station_->BoardIndex()))
                                          : Q(window.caption));
    if (!window.aboutVersion.empty()) {
        about_->SetVersionText(Q(window.aboutVersion));
    }

    // In the order of Page.
    QWidget* const pages[] = {mainPage_, typePage_, setupPage_, customerPage_};
    pages_->setCurrentWidget(pages[static_cast<int>(window.page)]);
    logStack_->setCurrentWidget(window.page == Page::Type
                                    ? static_cast<QWidget*>(typePage_->Widgets().info)
                                    : static_cast<QWidget*>(log_));
    logArea_->setVisible(window.logVisible);
    showMessage_->setChecked(window.showMessage);
    needPdCpuHalt_->setChecked(station_->Flags().pdCpuHaltPending);

    for (QMenu* menu : {fileMenu_, otherMenu_, helpMenu_}) {
        menu->menuAction()->setVisible(window.menusVisible);
    }
    setup_->setVisible(window.menusVisible);
    externalFlash_->setVisible(window.dualFlashButtonsVisible);
    internalFlash_->setVisible(window.dualFlashButtonsVisible);
    // Last: the menu bar's height depends on what it shows.
    if (const QSize wanted = WindowSizeFor(menuBar(), window.height); size() != wanted) {
        setFixedSize(wanted);
    }
}

}  // namespace quillon
