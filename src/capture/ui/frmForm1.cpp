#include "capture/ui/frmForm1.h"
#include "analysis/ui/GuiAnalysis.h"
#include "capture/CaptureSettings.h"
#include "capture/ui/DataPlotWidget.h"
#include "capture/FastReadout.h"
#include "config/ConfigConversions.h"
#include "device/EzUsb.h"
#include "device/SetupGiveIO.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"
#include "shell/Module1.h"
#include "ui/Settings.h"
#include "ui/Ui.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "datalog/DataFile.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {
frmForm1* g_instance = nullptr;

// Keeps a control's place in the layout while it is hidden, so showing it does not shift the frame.
void KeepSpaceWhenHidden(QWidget* w)
{
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}
} // namespace

frmForm1* frmForm1::instance()
{
    if (!g_instance) {
        // The load runs once the instance is known, because handlers it reaches ask for it.
        g_instance = new frmForm1;
        g_instance->Form_Load();
    }
    return g_instance;
}

bool frmForm1::exists() { return g_instance != nullptr; }

void frmForm1::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

frmForm1::frmForm1()
{
    ui::SetMainWindow(this);
    setWindowTitle(QStringLiteral("Form1"));
    BuildMenus();
    BuildControls();
    ConnectControls();
    GuiAnalysis::Attach(this);
    BuildStatusBar();
    BuildShortcuts();
    resize(1200, 760);
}

void frmForm1::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    sbInterface = new QLabel;
    sbProduct = new QLabel;
    sbMode = new QLabel;
    sbCapture = new QLabel;
    sbNextFile = new QLabel;
    for (QLabel* l : {sbInterface, sbProduct, sbMode, sbCapture})
        bar->addPermanentWidget(l);
    bar->addPermanentWidget(sbNextFile, 1);
    // State changes come from many places (timers, menus, read-outs); a light poll of the
    // program's own variables catches them all.
    TimerStatusBar = new QTimer(this);
    TimerStatusBar->setInterval(500);
    connect(TimerStatusBar, &QTimer::timeout, this, &frmForm1::UpdateStatusBar);
    TimerStatusBar->start();
}

void frmForm1::UpdateStatusBar()
{
    using CaptureRecord::Last;
    switch (Module1::InterfaceType) {
    case kInterfaceUsb:
        sbInterface->setText(EzUsb::SelectedUsbCard.Valid == VTrue
                                 ? QStringLiteral("USB card %1").arg(EzUsb::SelectedUsbCard.Name)
                                 : QStringLiteral("USB card: none selected"));
        break;
    case kInterfaceParallel:
        sbInterface->setText(QStringLiteral("Parallel port 0x%1").arg(Module1::PortAddress, 0, 16));
        break;
    default:
        sbInterface->setText(QStringLiteral("no interface"));
        break;
    }
    sbProduct->setText(QStringLiteral("Product %1").arg(Module1::ProductNumber));
    // The capture button's caption names the next action, so it tells the state.
    const QString caption = cmdONE->text();
    QString activity = QStringLiteral("idle");
    if (caption == QLatin1String("Abort") || TimerCapDuration->isActive())
        activity = QStringLiteral("capture running");
    else if (caption == QLatin1String("Stop"))
        activity = QStringLiteral("running");
    else if (caption == QLatin1String("DisArm"))
        activity = QStringLiteral("armed");
    if (AutoReadoutOn())
        activity += QStringLiteral(", auto read-out (%1)").arg(AutoReadCount.Text());
    sbMode->setText(QStringLiteral("%1, %2").arg(ComboCapMode->currentText(), activity));

    if (!shownSource_.isEmpty() && Last.time == shownTime_) {
        sbCapture->setText(QStringLiteral("Showing %1 (read-only)").arg(shownSource_));
    } else if (Last.time.isValid()) {
        shownSource_.clear();
        sbCapture->setText(QStringLiteral("Last read-out %1, %2")
                               .arg(DataLog::TimeWithSeconds(Last.time.time(), QLocale()),
                                    Last.complete ? QStringLiteral("complete") : QStringLiteral("incomplete")));
    } else {
        sbCapture->setText(QStringLiteral("No capture read yet"));
    }
    if (ckDataLog->isChecked()) {
        // The name the writer will use, its defaults filled in without changing its state.
        const QString base = DataLog::FileBase.isEmpty() ? QStringLiteral("Datalog") : DataLog::FileBase;
        const QString ext = DataLog::FileExt.isEmpty() ? QStringLiteral(".csv") : DataLog::FileExt;
        sbNextFile->setText(QStringLiteral("Next data file %1_%2%3").arg(base).arg(DataLog::DataFileNumber).arg(ext));
    } else {
        sbNextFile->clear();
    }
}

QString frmForm1::StatusBarText() const
{
    QStringList parts;
    for (const QLabel* l : {sbInterface, sbProduct, sbMode, sbCapture, sbNextFile})
        if (!l->text().isEmpty())
            parts << l->text();
    return parts.join(QStringLiteral(" | "));
}

void frmForm1::ShowNote(const QString& text) { statusBar()->showMessage(text, 4000); }

void frmForm1::BuildShortcuts()
{
    auto add = [this](const QKeySequence& keys, auto slot) {
        auto* a = new QAction(this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    // Trigger / Start / Arm and Read act as their buttons do, only when those are usable.
    add(QKeySequence(Qt::Key_F5), [this] {
        if (cmdONE->isVisible() && cmdONE->isEnabled())
            cmdONE->click();
    });
    add(QKeySequence(Qt::Key_F6), [this] {
        if (cmdReadBuffer->isEnabled())
            cmdReadBuffer->click();
    });
    add(QKeySequence(Qt::Key_Home), [this] { FrameDataPLot->FitToRecord(); });
}

void frmForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    mnuInterface = bar->addMenu(QStringLiteral("&Interface"));
    mnuUsb = mnuInterface->addAction(QStringLiteral("&Usb"));
    mnuUsb->setCheckable(true);
    mnuParallelPort = mnuInterface->addAction(QStringLiteral("&Parallel Port..."));

    mnuProductNumber = bar->addMenu(QStringLiteral("&Product"));
    mnu31470 = mnuProductNumber->addAction(QStringLiteral("3147&0 single axis"));
    mnu31473 = mnuProductNumber->addAction(QStringLiteral("3147&3 Tri axis"));
    mnu31470->setCheckable(true);
    mnu31473->setCheckable(true);
    connect(mnu31470, &QAction::triggered, this, [this] { SetProductNumber(31470); });
    connect(mnu31473, &QAction::triggered, this, [this] { SetProductNumber(31473); });

    mnuDeviceConfiguration = bar->addMenu(QStringLiteral("&Configuration"));
    mnuAlarms = mnuDeviceConfiguration->addAction(QStringLiteral("&ALARMS"));
    MnuCal = mnuDeviceConfiguration->addAction(QStringLiteral("Ca&libration"));
    mnuCommand = mnuDeviceConfiguration->addAction(QStringLiteral("C&OMMAND"));
    mnuDIOGPIO = mnuDeviceConfiguration->addAction(QStringLiteral("&DIO_CTRL / GPIO_CTRL"));
    mnumsc = mnuDeviceConfiguration->addAction(QStringLiteral("&MSC_CTRL"));

    // The data-log set-up keeps its place; opening an earlier file sits beside it.
    mnuDatalogMenu = bar->addMenu(QStringLiteral("&Datalog"));
    mnuDatalog = mnuDatalogMenu->addAction(QStringLiteral("&Datalog..."));
    mnuOpenDataFile = mnuDatalogMenu->addAction(QStringLiteral("&Open Data File..."));
    mnuOpenDataFile->setShortcut(QKeySequence::Open);
    mnuRegisters = bar->addAction(QStringLiteral("&Registers"));
    MnuExit = bar->addAction(QStringLiteral("E&xit"));
    connect(mnuUsb, &QAction::triggered, this, &frmForm1::mnuUsb_Click);
    connect(mnuParallelPort, &QAction::triggered, this, &frmForm1::mnuParallelPort_Click);
    connect(mnuAlarms, &QAction::triggered, this, &frmForm1::mnuAlarms_Click);
    connect(MnuCal, &QAction::triggered, this, &frmForm1::MnuCal_Click);
    connect(mnuCommand, &QAction::triggered, this, &frmForm1::mnuCommand_Click);
    connect(mnuDIOGPIO, &QAction::triggered, this, &frmForm1::mnuDIOGPIO_Click);
    connect(mnumsc, &QAction::triggered, this, &frmForm1::mnumsc_Click);
    connect(mnuDatalog, &QAction::triggered, this, &frmForm1::mnuDatalog_Click);
    connect(mnuOpenDataFile, &QAction::triggered, this, &frmForm1::mnuOpenDataFile_Click);
    connect(mnuRegisters, &QAction::triggered, this, &frmForm1::mnuRegisters_Click);
    connect(MnuExit, &QAction::triggered, this, &frmForm1::MnuExit_Click);
}

QWidget* frmForm1::BuildCaptureFrame()
{
    FraCap = new QGroupBox(QStringLiteral("Buffer    CAPT_CTRL"));
    auto* g = new QGridLayout(FraCap);
    Label2 = new QLabel(QStringLiteral("Capture Mode"));
    ComboCapMode = new QComboBox;
    Label12 = new QLabel(QStringLiteral("Pre-Trigger"));
    ComboPreTrigLength = new QComboBox;
    ckPowerDown = new QCheckBox(QStringLiteral("Power Down Between Captures"));
    ckWriteFlash = new QCheckBox(QStringLiteral("Event Alarm Write to Flash"));
    ckBPfilter = new QCheckBox(QStringLiteral("Enable Band Pass Filter"));
    cmdONE = new QPushButton(QStringLiteral("cmdONE"));
    cmdONE->setMinimumHeight(cmdONE->sizeHint().height() * 3 / 2);
    QFont big = cmdONE->font();
    big.setBold(true);
    cmdONE->setFont(big);
    ckAutoReArm = new QCheckBox(QStringLiteral("Automatic Re-arm"));
    txtCapBusy = new QLineEdit(QStringLiteral("txtCapBusy"));
    ui::DisplayOnly(txtCapBusy);
    ui::FitText(txtCapBusy, QStringLiteral("Capture Busy  0000.0"), false);
    txtDIOBusy = new QLineEdit(QStringLiteral("DIOBusy"));
    txtDIOBusy->setReadOnly(true);
    txtDIOBusy->setFocusPolicy(Qt::ClickFocus);
    QPalette white = txtDIOBusy->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    txtDIOBusy->setPalette(white);
    LbLPollingDIO = new QLabel(QStringLiteral("->"));
    cmdWriteFlash = new QPushButton(QStringLiteral("Write to Flash"));
    cmdRestoreFromFlash = new QPushButton(QStringLiteral("Read Flash"));
    Label2->setBuddy(ComboCapMode);
    Label12->setBuddy(ComboPreTrigLength);

    g->addWidget(Label2, 0, 0);
    g->addWidget(ComboCapMode, 0, 1, 1, 2);
    g->addWidget(Label12, 1, 0);
    g->addWidget(ComboPreTrigLength, 1, 1, 1, 2);
    g->addWidget(ckPowerDown, 2, 0, 1, 3);
    g->addWidget(ckWriteFlash, 3, 0, 1, 3);
    g->addWidget(ckBPfilter, 4, 0, 1, 3);
    g->addWidget(cmdONE, 5, 0, 1, 2);
    g->addWidget(ckAutoReArm, 5, 2);
    g->addWidget(txtCapBusy, 6, 0, 1, 2);
    auto* busy = new QHBoxLayout;
    busy->addWidget(LbLPollingDIO);
    busy->addWidget(txtDIOBusy, 1);
    g->addLayout(busy, 6, 2);
    g->addWidget(cmdWriteFlash, 7, 0, 1, 2);
    g->addWidget(cmdRestoreFromFlash, 7, 2);
    ckAutoReadout = new QCheckBox(QStringLiteral("Auto read-out"));
    ckAutoReadout->setToolTip(QStringLiteral("While the sensor runs or is armed, read each new capture out "
                                             "(and log it when data logging is on)"));
    LbLCapturesRead = new QLabel(QStringLiteral("0 read"));
    g->addWidget(ckAutoReadout, 8, 0, 1, 2);
    g->addWidget(LbLCapturesRead, 8, 2);
    ckAutoReadout->hide();
    LbLCapturesRead->hide();
    g->setColumnStretch(1, 1);

    for (QWidget* w : {static_cast<QWidget*>(ckBPfilter), static_cast<QWidget*>(ckAutoReArm),
                       static_cast<QWidget*>(txtCapBusy), static_cast<QWidget*>(txtDIOBusy),
                       static_cast<QWidget*>(LbLPollingDIO)})
        KeepSpaceWhenHidden(w);
    ckAutoReArm->hide();
    txtCapBusy->hide();
    txtDIOBusy->hide();
    LbLPollingDIO->hide();

    TimerPollBusy = new QTimer(this);
    TimerPollBusy->setInterval(300);
    TimerCapDuration = new QTimer(this);
    TimerCapDuration->setInterval(100);
    TimerAutoReadout = new QTimer(this);
    return FraCap;
}

QWidget* frmForm1::BuildPeriodFrame()
{
    FrameCaptPrd = new QGroupBox(QStringLiteral("Timer   CAPT_PRD"));
    auto* g = new QGridLayout(FrameCaptPrd);
    Label6 = new QLabel(QStringLiteral("Interval"));
    Label7 = new QLabel(QStringLiteral("Units"));
    txtTimerValue = new QLineEdit(QStringLiteral("Interval"));
    ComboTimerUnits = new QComboBox;
    Label6->setBuddy(txtTimerValue);
    Label7->setBuddy(ComboTimerUnits);
    g->addWidget(Label6, 0, 0);
    g->addWidget(Label7, 0, 1);
    g->addWidget(txtTimerValue, 1, 0);
    g->addWidget(ComboTimerUnits, 1, 1);
    LbLIntervalWarning = new QLabel;
    LbLIntervalWarning->setWordWrap(true);
    LbLIntervalWarning->setStyleSheet(QStringLiteral("color: #b00000;"));
    LbLIntervalWarning->hide();
    g->addWidget(LbLIntervalWarning, 2, 0, 1, 2);
    g->setColumnStretch(1, 1);
    return FrameCaptPrd;
}

QWidget* frmForm1::BuildAvgFrame()
{
    fraAvg = new QGroupBox(QStringLiteral("AVG_CNT"));
    auto* g = new QGridLayout(fraAvg);
    ComboAVG = new QComboBox;
    Label9 = new QLabel(QStringLiteral("Capt. Duration"));
    LbLCapDuration = new QLabel(QStringLiteral("capDuration"));
    LbLCapDuration->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label10 = new QLabel(QStringLiteral("sec"));
    g->addWidget(ComboAVG, 0, 0, 1, 3);
    g->addWidget(Label9, 1, 0);
    g->addWidget(LbLCapDuration, 1, 1);
    g->addWidget(Label10, 1, 2);
    g->setColumnStretch(1, 1);
    return fraAvg;
}

QWidget* frmForm1::BuildDataLogFrame()
{
    FrameDataLog = new QGroupBox(QStringLiteral("Data Log"));
    auto* g = new QGridLayout(FrameDataLog);
    ckDataLog = new QCheckBox(QStringLiteral("Data Log   OFF"));
    Label11 = new QLabel(QStringLiteral("File Count"));
    LbLDataLogCount = new QLabel(QStringLiteral("0"));
    LbLDataLogCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(ckDataLog, 0, 0, 1, 2);
    g->addWidget(Label11, 1, 0);
    g->addWidget(LbLDataLogCount, 1, 1);
    g->setColumnStretch(1, 1);
    return FrameDataLog;
}

QWidget* frmForm1::BuildSelfTestFrame()
{
    frameSelfTest = new QGroupBox(QStringLiteral("Self Test"));
    auto* h = new QHBoxLayout(frameSelfTest);
    optSTON = new QRadioButton(QStringLiteral("ON"));
    optSTOFF = new QRadioButton(QStringLiteral("OFF"));
    h->addWidget(optSTON);
    h->addWidget(optSTOFF);
    h->addStretch(1);
    return frameSelfTest;
}

QWidget* frmForm1::BuildStatusFrame()
{
    FrmStatus = new QGroupBox(QStringLiteral("Status Register"));
    auto* g = new QGridLayout(FrmStatus);
    g->setVerticalSpacing(2);
    const int boxWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("FAIL")) * 2 + 8;
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i) {
        LBLAtitle[i] = new QLabel(QStringLiteral("Atitle"));
        LbLAbit[i] = new QLabel(QStringLiteral("Abit%1").arg(i));
        LbLAbit[i]->setAlignment(Qt::AlignCenter);
        LbLAbit[i]->setMinimumWidth(boxWidth);
        LbLAbit[i]->setFrameShape(QFrame::Panel);
        LbLAbit[i]->setFrameShadow(QFrame::Sunken);
        LbLAbit[i]->setAutoFillBackground(true);
        g->addWidget(LBLAtitle[i], i, 0);
        g->addWidget(LbLAbit[i], i, 1);
    }
    cmdClearStatus = new QPushButton(QStringLiteral("Clear"));
    CmdReadStatus = new QPushButton(QStringLiteral("Read Status"));
    CmdReadStatus->setToolTip(QStringLiteral("Display the Status Register"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdClearStatus);
    buttons->addWidget(CmdReadStatus);
    g->addLayout(buttons, CaptureSettings::kStatusRows, 0, 1, 2);
    g->setColumnStretch(0, 1);
    return FrmStatus;
}

QWidget* frmForm1::BuildBufferDataFrame()
{
    frameDataReg = new QGroupBox(QStringLiteral("Buffer Data"));
    auto* g = new QGridLayout(frameDataReg);
    lblReadReg[0] = new QLabel(QStringLiteral("Capt_SUPPLY (V)"));
    lblReadReg[1] = new QLabel(QStringLiteral("Capt_TEMP  (C)"));
    lblReadReg[2] = new QLabel(QStringLiteral("CAPT_PEAK_X  (g)"));
    Label13 = new QLabel(QStringLiteral("CAPT_PEAK_Y  (g)"));
    Label14 = new QLabel(QStringLiteral("CAPT_PEAK_Z  (g)"));
    LbLSupply = new QLabel(QStringLiteral("Supply"));
    LbLTemp = new QLabel(QStringLiteral("Temp"));
    LbLXpk = new QLabel(QStringLiteral("Xpk"));
    LbLADC0 = new QLabel(QStringLiteral("ADC0"));
    LbLADC1 = new QLabel(QStringLiteral("ADC1"));
    const std::array<QLabel*, 5> captions{lblReadReg[0], lblReadReg[1], lblReadReg[2], Label13, Label14};
    const std::array<QLabel*, 5> values{LbLSupply, LbLTemp, LbLXpk, LbLADC0, LbLADC1};
    for (int i = 0; i < 5; ++i) {
        values[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values[i]->setMargin(2);
        values[i]->setFrameShape(QFrame::Panel);
        values[i]->setFrameShadow(QFrame::Sunken);
        values[i]->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("-00.0000")) + 8);
        g->addWidget(captions[i], i, 0);
        g->addWidget(values[i], i, 1);
    }
    cmdReadBuffer = new QPushButton(QStringLiteral("Read"));
    g->addWidget(cmdReadBuffer, 5, 0, 1, 2);
    ckFastReadout = new QCheckBox(QStringLiteral("Fast read-out"));
    ckFastReadout->setToolTip(QStringLiteral("Batches the buffer reads into fewer USB card transfers. "
                                             "No effect with the parallel port."));
    ckFastReadout->setChecked(FastReadout::Enabled);
    connect(ckFastReadout, &QCheckBox::toggled, this, [this](bool on) {
        FastReadout::Enabled = on;
        readOutSeconds_.reset(); // the other way takes another time
        UpdateIntervalWarning();
    });
    g->addWidget(ckFastReadout, 6, 0, 1, 2);
    g->setColumnStretch(0, 1);
    return frameDataReg;
}

namespace {
// A side column that scrolls when the window is shorter than the column; never narrower than it.
class SideScrollArea : public QScrollArea {
public:
    SideScrollArea()
    {
        // Room for the scroll bar only while it shows: on a screen tall enough the column is no wider
        // than its contents.
        connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { updateGeometry(); });
    }
    QSize sizeHint() const override
    {
        const int w = widget() ? widget()->sizeHint().width() : 0;
        const bool scrolls = verticalScrollBar()->maximum() > 0;
        return {w + (scrolls ? verticalScrollBar()->sizeHint().width() : 0) + 2 * frameWidth(), 120};
    }
    QSize minimumSizeHint() const override { return {sizeHint().width(), 60}; }

protected:
    // The column's contents grew (new captions, the style's fonts at show): so does the column.
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == widget() && e->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(o, e);
    }
};

QScrollArea* SideColumn(QLayout* content)
{
    auto* inner = new QWidget;
    inner->setLayout(content);
    content->setContentsMargins(0, 0, 0, 0);
    auto* area = new SideScrollArea;
    area->setWidget(inner);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return area;
}
} // namespace

void frmForm1::BuildControls()
{
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(4, 4, 4, 4);

    auto* left = new QVBoxLayout;
    left->addWidget(BuildCaptureFrame());
    left->addWidget(BuildPeriodFrame());
    left->addWidget(BuildAvgFrame());
    auto* logAndTest = new QHBoxLayout;
    logAndTest->addWidget(BuildDataLogFrame(), 1);
    logAndTest->addWidget(BuildSelfTestFrame());
    left->addLayout(logAndTest);
    left->addStretch(1);
    lblProduct = new QLabel(QStringLiteral("lblProduct"));
    QFont productFont = lblProduct->font();
    productFont.setBold(true);
    productFont.setPointSizeF(productFont.pointSizeF() * 1.4);
    lblProduct->setFont(productFont);
    lblProduct->setAlignment(Qt::AlignCenter);
    left->addWidget(lblProduct);

    FrameDataPLot = new DataPlotWidget(central);
    FrameDataPLot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* right = new QVBoxLayout;
    right->addWidget(BuildStatusFrame());
    right->addWidget(BuildBufferDataFrame());
    right->addStretch(1);

    columns->addWidget(SideColumn(left), 0);
    columns->addWidget(FrameDataPLot, 1);
    columns->addWidget(SideColumn(right), 0);
    // On a screen smaller than the window's least size the window still fits the screen, and
    // scrolls; on any ordinary screen no scroll bar shows.
    auto* whole = new QScrollArea(this);
    whole->setObjectName(QStringLiteral("mainScroll"));
    whole->setFrameShape(QFrame::NoFrame);
    whole->setWidgetResizable(true);
    whole->setWidget(central);
    setCentralWidget(whole);
}

void frmForm1::FitToScreen()
{
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    // The frame is known once the window manager has framed the window; until then, a title bar
    // and thin borders.
    QMargins frame;
    if (isVisible() && windowHandle())
        frame = windowHandle()->frameMargins();
    else {
        const int border = 4;
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        frame = QMargins(border, title + border, border, border);
    }
    const QSize size = geometry().size().boundedTo(room.size().shrunkBy(frame));
    if (!testAttribute(Qt::WA_Moved)) {
        // The window manager places a window that was never placed.
        resize(size);
        return;
    }
    const QRect inner = room.marginsRemoved(frame);
    QPoint at = geometry().topLeft();
    at.setX(std::clamp(at.x(), inner.left(), inner.right() + 1 - size.width()));
    at.setY(std::clamp(at.y(), inner.top(), inner.bottom() + 1 - size.height()));
    setGeometry(QRect(at, size));
}

void frmForm1::ConnectControls()
{
    // User actions only: setting a control from a register read must never write back.
    connect(ComboCapMode, &QComboBox::activated, this, [this] { WriteCapCtrl(); });
    connect(ComboPreTrigLength, &QComboBox::activated, this, [this] { WriteCapCtrl(); });
    for (QCheckBox* ck : {ckPowerDown, ckWriteFlash, ckBPfilter})
        connect(ck, &QCheckBox::clicked, this, [this] { WriteCapCtrl(); });
    connect(ComboTimerUnits, &QComboBox::activated, this, [this] { WriteCAPT_PRD(); });
    txtTimerValue->installEventFilter(this);
    connect(ComboAVG, &QComboBox::activated, this, [this] { ComboAVG_Click(); });

    connect(optSTON, &QRadioButton::clicked, this, &frmForm1::optSTON_Click);
    connect(optSTOFF, &QRadioButton::clicked, this, &frmForm1::optSTOFF_Click);
    connect(cmdWriteFlash, &QPushButton::clicked, this, &frmForm1::cmdWriteFlash_Click);
    connect(cmdRestoreFromFlash, &QPushButton::clicked, this, &frmForm1::cmdRestoreFromFlash_Click);
    connect(ckDataLog, &QCheckBox::clicked, this, &frmForm1::ckDataLog_Click);

    connect(CmdReadStatus, &QPushButton::clicked, this, &frmForm1::ReadStatus);
    connect(cmdClearStatus, &QPushButton::clicked, this, &frmForm1::ClearStatus);

    connect(cmdONE, &QPushButton::clicked, this, &frmForm1::cmdONE_Click);
    connect(cmdReadBuffer, &QPushButton::clicked, this, &frmForm1::ReadCaptureBuffer);
    connect(TimerPollBusy, &QTimer::timeout, this, &frmForm1::PollBusy);
    connect(TimerCapDuration, &QTimer::timeout, this, [this] { DisplayCapInProgress(); });
    connect(TimerAutoReadout, &QTimer::timeout, this, &frmForm1::AutoReadoutTick);
    connect(ckAutoReadout, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            AutoReadCount = {};
            LbLCapturesRead->setText(AutoReadCount.Text());
        }
        UpdateAutoReadout();
        UpdateIntervalWarning();
    });
}

bool frmForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtTimerValue && event->type() == QEvent::KeyRelease)
        txtTimerValue_KeyUp();
    return QMainWindow::eventFilter(watched, event);
}

void frmForm1::Form_Load()
{
    // Linux and the other POSIX systems count as the NT-class value: USB works, the port needs permission.
    Module1::OsName = QStringLiteral("WinXP");

    InterfaceStartUp();

    setWindowTitle(Module1::MainWindowCaption());

    ComboAVG->clear();
    for (int n = 0; n < CaptureSettings::kAvgListCount; ++n)
        ComboAVG->addItem(QString::number(1 << n));
    ComboPreTrigLength->clear();
    ComboPreTrigLength->addItems({QStringLiteral("64"), QStringLiteral("128"), QStringLiteral("256"),
                                  QStringLiteral("512")});
    ComboTimerUnits->clear();
    ComboTimerUnits->addItems({QStringLiteral("Seconds"), QStringLiteral("Minutes"), QStringLiteral("Hours")});

    SetProductNumber(31473);

    for (QLabel* l : {LbLSupply, LbLTemp, LbLXpk, LbLADC0, LbLADC1})
        l->setText(QStringLiteral("noData"));

    FrameDataPLot->SetStartValues();
    RestoreRememberedSettings();
    // The default and a remembered size alike: a screen smaller than the last one must not leave
    // controls out of reach.
    FitToScreen();
}

void frmForm1::SaveRememberedSettings() const
{
    const auto s = ui::Settings();
    s->setValue(QStringLiteral("mainWindow/geometry"), saveGeometry());
    s->setValue(QStringLiteral("mainWindow/state"), saveState());
    s->setValue(QStringLiteral("datalog/folder"), DataLog::FileDir);
    s->setValue(QStringLiteral("datalog/name"), DataLog::SavedFileBase);
    s->setValue(QStringLiteral("datalog/base"), DataLog::FileBase);
    s->setValue(QStringLiteral("datalog/extension"), DataLog::FileExt);
    s->setValue(QStringLiteral("datalog/extensionIndex"), int(DataLog::SavedExtIndex));
    s->setValue(QStringLiteral("datalog/scaled"), DataLog::Format == DataLog::DataFormat::Scaled);
    s->setValue(QStringLiteral("plot/scale"), FrameDataPLot->cmdPlotScale->text());
    s->setValue(QStringLiteral("plot/timeAxis"), FrameDataPLot->ckTimeAxis->isChecked());
    if (const SpectrumWidget* sp = GuiAnalysis::Spectrum(const_cast<frmForm1*>(this))) {
        s->setValue(QStringLiteral("spectrum/window"), sp->cboWindow->currentIndex());
        s->setValue(QStringLiteral("spectrum/magnitude"), sp->cboScale->currentIndex());
    }
}

void frmForm1::RestoreRememberedSettings()
{
    const auto s = ui::Settings();
    if (s->contains(QStringLiteral("mainWindow/geometry")))
        restoreGeometry(s->value(QStringLiteral("mainWindow/geometry")).toByteArray());
    if (s->contains(QStringLiteral("mainWindow/state")))
        restoreState(s->value(QStringLiteral("mainWindow/state")).toByteArray());
    // Only into a fresh data-log state: choices already made in this run win.
    if (DataLog::FileDir.isEmpty() && DataLog::SavedFileBase.isEmpty() && s->contains(QStringLiteral("datalog/name"))) {
        const QString dir = s->value(QStringLiteral("datalog/folder")).toString();
        if (dir.isEmpty() || QFileInfo(dir).isDir())
            DataLog::FileDir = dir;
        DataLog::SavedFileBase = s->value(QStringLiteral("datalog/name")).toString();
        DataLog::FileBase = s->value(QStringLiteral("datalog/base")).toString();
        DataLog::FileExt = s->value(QStringLiteral("datalog/extension")).toString();
        DataLog::SavedExtIndex = int16_t(s->value(QStringLiteral("datalog/extensionIndex")).toInt() == 1 ? 1 : 0);
        DataLog::Format = s->value(QStringLiteral("datalog/scaled")).toBool() ? DataLog::DataFormat::Scaled
                                                                             : DataLog::DataFormat::LSB;
    }
    if (s->contains(QStringLiteral("plot/scale")))
        FrameDataPLot->SetScaleCaption(s->value(QStringLiteral("plot/scale")).toString());
    FrameDataPLot->ckTimeAxis->setChecked(s->value(QStringLiteral("plot/timeAxis"), false).toBool());
    if (SpectrumWidget* sp = GuiAnalysis::Spectrum(this)) {
        const int win = s->value(QStringLiteral("spectrum/window"), -1).toInt();
        const int mag = s->value(QStringLiteral("spectrum/magnitude"), -1).toInt();
        if (win >= 0 && win < sp->cboWindow->count())
            sp->cboWindow->setCurrentIndex(win);
        if (mag >= 0 && mag < sp->cboScale->count())
            sp->cboScale->setCurrentIndex(mag);
    }
}

void frmForm1::InterfaceStartUp()
{
    switch (Module1::InterfaceType) {
    case kInterfaceParallel:
        if (Module1::OsName == QLatin1String("WinXP") || Module1::OsName == QLatin1String("WinNT")) {
            StartParallelPortAccess();
        }
        break;
    case kInterfaceUsb:
        if (Module1::OsName == QLatin1String("Win95")) {
            ui::MessageBox(QStringLiteral("USB not available for Windows95"));
            Module1::InterfaceType = kInterfaceNone;
            mnuUsb->setChecked(false);
            mnuUsb->setVisible(false);
            break;
        }
        SelectFirstUsbCard();
        if (EzUsb::SelectedUsbCard.Valid == VTrue) {
            mnuUsb->setChecked(true);
            SetSpiBits(Module1::SpiStaticBits);
            SetupSpi(Module1::SpiDelay);
        } else {
            // The selection window decides, and the interface follows what it leaves selected.
            mnuUsb_Click();
        }
        break;
    default:
        ui::MessageBox(QStringLiteral("Please select an interface before taking data"));
        Module1::InterfaceType = kInterfaceNone;
        break;
    }
}

void frmForm1::SetProductNumber(int16_t number)
{
    Module1::ProductNumber = number;
    lblProduct->setText(QString::number(number));
    ckBPfilter->hide();
    mnu31470->setChecked(false);
    mnu31473->setChecked(false);
    CapCtrlUpdating = 1;
    ComboCapMode->clear();

    if (number == 31470) {
        mnu31470->setChecked(true);
        BuildTable31470();
        ComboCapMode->addItems(CaptureSettings::CaptureModeItems(31470));
        FrameDataPLot->ckADC0->setChecked(false);
        FrameDataPLot->ckADC1->setChecked(false);
        FrameDataPLot->ckADC0->setText(QStringLiteral("ADC 0"));
        FrameDataPLot->ckADC1->setText(QStringLiteral("ADC 1"));
        ckWriteFlash->setChecked(false);
    } else if (number == 31473) {
        mnu31473->setChecked(true);
        BuildTable31473();
        ckBPfilter->show();
        ComboCapMode->addItems(CaptureSettings::CaptureModeItems(31473));
        FrameDataPLot->ckADC0->setChecked(true);
        FrameDataPLot->ckADC1->setChecked(true);
        FrameDataPLot->ckADC0->setText(QStringLiteral("Y acc"));
        FrameDataPLot->ckADC1->setText(QStringLiteral("Z acc"));
        ckWriteFlash->setChecked(false);
    }
    if (ComboCapMode->count() > 0)
        ComboCapMode->setCurrentIndex(0);

    ReadCapCtrl();
    ReadAVG();
    ReadMscCtrl();
    ReadCapPrd();
    ReadStatus();
}

void frmForm1::ReadMscCtrl()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    if (cfg::MscSelfTestOn(Spi_mod::RegRaw))
        optSTON->setChecked(true);
    else
        optSTOFF->setChecked(true);
}

void frmForm1::optSTON_Click()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    WriteRegister(m470Reg::Table().idxMSC_CTRL, cfg::MscWithSelfTestOn(Spi_mod::RegRaw));
    Delay(100);
    ReadMscCtrl();
}

void frmForm1::optSTOFF_Click()
{
    ReadRegister(m470Reg::Table().idxMSC_CTRL);
    // Clears the whole upper byte, as the sensor's self-test switch expects.
    WriteRegister(m470Reg::Table().idxMSC_CTRL, Spi_mod::RegRaw & 0xFF);
    Delay(100);
    ReadMscCtrl();
}

void frmForm1::cmdWriteFlash_Click()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashBackup);
    ShowWorkingCapPrd(500);
    ui::PumpEvents();
}

void frmForm1::cmdRestoreFromFlash_Click()
{
    WriteRegister(m470Reg::Table().idxCOMMAND, cfg::kCmdFlashRestore);
    ShowWorkingCapPrd(250);
    ReadCapCtrl();
}

void frmForm1::ckDataLog_Click()
{
    ui::PumpEvents();
    QFont f = LbLDataLogCount->font();
    if (ckDataLog->isChecked()) {
        ckDataLog->setText(QStringLiteral("Datalog   ON"));
        f.setBold(true);
    } else {
        ckDataLog->setText(QStringLiteral("Datalog   OFF"));
        f.setBold(false);
    }
    LbLDataLogCount->setFont(f);
}

void frmForm1::DelayA(int32_t ms) { ui::WaitPumping(ms); }

void frmForm1::closeEvent(QCloseEvent* e)
{
    if (!exiting_)
        MnuExit_Click();
    // Declined while a capture runs: the window stays.
    if (exiting_)
        e->accept();
    else
        e->ignore();
}
