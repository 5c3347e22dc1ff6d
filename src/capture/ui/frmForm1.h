#pragma once
// The main window: capture set-up, capture button, status grid, buffer read-out, plot and menus.
// Split over files: frmForm1.cpp (layout, load, product switch, self test, flash buttons),
// frmForm1_Settings.cpp (CAPT_CTRL / CAPT_PRD / AVG_CNT controls), frmForm1_Status.cpp (status grid),
// frmForm1_Capture.cpp (capture button, count-down, busy poll, buffer read-out),
// frmForm1_Menus.cpp (menu actions).
#include "capture/CaptureWorkflow.h"
#include <QMainWindow>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

class QAction;
class QColor;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;
class DataPlotWidget;

class frmForm1 : public QMainWindow {
    Q_OBJECT
public:
    static frmForm1* instance();
    static bool exists();
    // Tests: destroys the window so the next instance() loads afresh.
    static void destroyInstance();

    // Window and product (frmForm1.cpp)
    void SetProductNumber(int16_t number);
    void ReadMscCtrl();
    void optSTON_Click();
    void optSTOFF_Click();
    void cmdWriteFlash_Click();
    void cmdRestoreFromFlash_Click();
    void ckDataLog_Click();
    // Event-pumping wait: other handlers may run meanwhile.
    void DelayA(int32_t ms);

    // Capture settings (frmForm1_Settings.cpp)
    void WriteCapCtrl();
    void ReadCapCtrl();
    void ShowWorkingCapPrd(double ms);
    void WriteCAPT_PRD();
    void ReadCapPrd();
    void txtTimerValue_KeyUp();
    void ComboAVG_Click();
    void ReadAVG();
    // "Capt. Duration" for the averaging last read, the capture mode and the write-to-flash box.
    void ShowCapDuration();
    // The capture time "Capt. Duration" shows: what the count-down and the poll go by.
    double CaptureSecondsShown() const;

    // Status grid (frmForm1_Status.cpp). The STATUS word, or nullopt (grid shows "unknown") when
    // no interface answers.
    std::optional<int32_t> ReadStatus();
    void ClearStatus();
    // The grid for a STATUS word already read ("unknown" for nullopt).
    void ShowStatusWord(const std::optional<int32_t>& status);

    // Capture control and read-out (frmForm1_Capture.cpp)
    void cmdONE_Click();
    void DisplayCapInProgress();
    void PollBusy();
    void ReadCaptureBuffer();
    void PlotCaptureData();
    // How the count-down and the wait for a late capture show themselves in this window.
    capture::WaitHooks CaptureWaitHooks();
    void ShowDataFileResult(const DataLog::WriteResult& result);
    void SetDataLogCountBackground(const QColor& colour);
    void ShowCaptureLost(const QString& reason);
    // "Buffer Data": supply, temperature and the three peaks.
    void ShowScalarTexts(const BufferReadout::ScalarTexts& texts);
    // "Auto read-out" (automatic and event modes): polls STATUS while the sensor runs or is armed
    // and reads each new capture out, logging it when data logging is on.
    void AutoReadoutTick();
    // Ticked, and the sensor runs or is armed.
    bool AutoReadoutOn() const;
    // Starts or stops the poll to match.
    void UpdateAutoReadout();
    // Warns when the automatic-mode interval is shorter than a capture.
    void UpdateIntervalWarning();
    // A count-down or a read-out is under way: leaving now would lose it.
    bool CaptureInProgress() const;

    // Menus (frmForm1_Menus.cpp)
    void mnuUsb_Click();
    void mnuAlarms_Click();
    void MnuCal_Click();
    void mnuCommand_Click();
    void mnuDIOGPIO_Click();
    void mnumsc_Click();
    void mnuDatalog_Click();
    void mnuRegisters_Click();
    void mnuParallelPort_Click();
    void MnuExit_Click();
    // "Open Data File...": shows a data file written earlier as the capture on screen (plot,
    // spectrum, statistics, Buffer Data), read as `product`'s capture in capture mode `modeIndex`
    // (a file does not say). False, with a message naming the line, when it cannot be read.
    bool OpenDataFile(const QString& path, int product, int modeIndex);
    void mnuOpenDataFile_Click();
    // Which sensor and capture mode wrote a data file: asked before it is read, preset to the
    // window's own. Empty when the user cancels. Tests replace it.
    struct FileContext {
        int product = 31473;
        int modeIndex = 0;
    };
    std::function<std::optional<FileContext>(const QString& path, const FileContext& preset)> askFileContext;
    // The capture record now holds a capture read earlier (a data file, a stored capture): shown
    // everywhere a read-out shows, and named `source` in the status bar until the next read-out.
    void ShowStoredCapture(const QString& source);

    // Window-level state
    QString CaptureModeName;
    int16_t CapCtrlUpdating = 0;
    std::array<double, 12> CaptureDurations{};
    int LastAvgExponent = 0;   // AVG_CNT as last read
    QString SavedButtonCaption;
    std::optional<int> PreviousBusyLevel;

    // Menus
    QMenu* mnuInterface = nullptr;
    QAction* mnuUsb = nullptr;
    QAction* mnuParallelPort = nullptr;
    QMenu* mnuProductNumber = nullptr;
    QAction* mnu31470 = nullptr;
    QAction* mnu31473 = nullptr;
    QMenu* mnuDeviceConfiguration = nullptr;
    QAction* mnuAlarms = nullptr;
    QAction* MnuCal = nullptr;
    QAction* mnuCommand = nullptr;
    QAction* mnuDIOGPIO = nullptr;
    QAction* mnumsc = nullptr;
    QMenu* mnuDatalogMenu = nullptr;
    QAction* mnuDatalog = nullptr;
    QAction* mnuOpenDataFile = nullptr;
    QAction* mnuRegisters = nullptr;
    QAction* MnuExit = nullptr;

    // "AVG_CNT"
    QGroupBox* fraAvg = nullptr;
    QComboBox* ComboAVG = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* LbLCapDuration = nullptr;
    QLabel* Label10 = nullptr;
    // "Data Log"
    QGroupBox* FrameDataLog = nullptr;
    QCheckBox* ckDataLog = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* LbLDataLogCount = nullptr;
    // "Timer   CAPT_PRD"
    QGroupBox* FrameCaptPrd = nullptr;
    QLineEdit* txtTimerValue = nullptr;
    QComboBox* ComboTimerUnits = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    // "Buffer    CAPT_CTRL"
    QGroupBox* FraCap = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboCapMode = nullptr;
    QLabel* Label12 = nullptr;
    QComboBox* ComboPreTrigLength = nullptr;
    QCheckBox* ckPowerDown = nullptr;
    QCheckBox* ckWriteFlash = nullptr;
    QCheckBox* ckBPfilter = nullptr;
    QPushButton* cmdONE = nullptr;
    QCheckBox* ckAutoReArm = nullptr;
    QLineEdit* txtCapBusy = nullptr;
    QLineEdit* txtDIOBusy = nullptr;
    QLabel* LbLPollingDIO = nullptr;
    QPushButton* cmdWriteFlash = nullptr;
    QPushButton* cmdRestoreFromFlash = nullptr;
    QTimer* TimerPollBusy = nullptr;
    QTimer* TimerCapDuration = nullptr;
    QCheckBox* ckAutoReadout = nullptr;
    QLabel* LbLCapturesRead = nullptr;
    QTimer* TimerAutoReadout = nullptr;
    capture::AutoReadoutCount AutoReadCount;
    // Seconds on a monotonic clock, for counting captures between polls (tests use the board's).
    std::function<double()> autoReadoutClock;
    QLabel* LbLIntervalWarning = nullptr;
    int32_t LastCaptPrd = -1;  // CAPT_PRD as last read
    // "Status Register"
    QGroupBox* FrmStatus = nullptr;
    std::array<QLabel*, 15> LBLAtitle{};
    std::array<QLabel*, 15> LbLAbit{};
    QPushButton* cmdClearStatus = nullptr;
    QPushButton* CmdReadStatus = nullptr;
    // "Buffer Data"
    QGroupBox* frameDataReg = nullptr;
    QPushButton* cmdReadBuffer = nullptr;
    QCheckBox* ckFastReadout = nullptr;
    QLabel* LbLSupply = nullptr;
    QLabel* LbLTemp = nullptr;
    QLabel* LbLXpk = nullptr;
    QLabel* LbLADC0 = nullptr;
    QLabel* LbLADC1 = nullptr;
    std::array<QLabel*, 3> lblReadReg{};
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    // "Data Plot"
    DataPlotWidget* FrameDataPLot = nullptr;
    // "Self Test"
    QGroupBox* frameSelfTest = nullptr;
    QRadioButton* optSTON = nullptr;
    QRadioButton* optSTOFF = nullptr;
    QLabel* lblProduct = nullptr;

    // Status bar: interface and card, product, capture mode and activity, the capture on show,
    // the next data file while logging. Reads program state only, never the sensor.
    void UpdateStatusBar();
    QString StatusBarText() const;
    // A short note in the status bar (after a copy, an export).
    void ShowNote(const QString& text);
    QLabel* sbInterface = nullptr;
    QLabel* sbProduct = nullptr;
    QLabel* sbMode = nullptr;
    QLabel* sbCapture = nullptr;
    QLabel* sbNextFile = nullptr;
    QTimer* TimerStatusBar = nullptr;

    // Remembered between runs (window place, data-log choices, plot scale, spectrum options).
    void SaveRememberedSettings() const;
    void RestoreRememberedSettings();
    // Shrinks the window (and moves a placed one) into its screen's available area.
    void FitToScreen();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmForm1();
    void BuildMenus();
    void BuildControls();
    QWidget* BuildCaptureFrame();
    QWidget* BuildPeriodFrame();
    QWidget* BuildAvgFrame();
    QWidget* BuildDataLogFrame();
    QWidget* BuildSelfTestFrame();
    QWidget* BuildStatusFrame();
    QWidget* BuildBufferDataFrame();
    void ConnectControls();
    void Form_Load();
    void InterfaceStartUp();
    void ShowStatusRow(int bit, const QString& text, uint32_t rgb);
    void BuildStatusBar();
    void BuildShortcuts();
    // The read-out, plot, analysis and data file of one capture; `polled` is the STATUS word of an
    // automatic read-out, shown on the grid instead of a fresh read.
    capture::ReadOutResult ReadAndShowCapture(const std::function<capture::ReadOutResult(int)>& readOut,
                                              const std::optional<int32_t>& polled);
    bool exiting_ = false;
    bool reading_ = false;
    std::optional<double> readOutSeconds_; // how long the last whole read-out took
    QString shownSource_;  // stored capture on show, while its record is the one shown
    QDateTime shownTime_;
};
