#include "sim/SensorModel.h"
#include "registers/m470Reg.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sim {

namespace {
constexpr uint16_t kNewData = 0x8000;
constexpr uint16_t kErrorCondition = 0x4000;

// Identification bytes: revision, build day, month and year (two digits).
constexpr uint8_t kRevision = 0x12;
constexpr uint8_t kBuildDay = 14;
constexpr uint8_t kBuildMonth = 9;
constexpr uint8_t kBuildYear = 26;

constexpr double kScale31470 = 0.0191;       // g per count, every buffer
constexpr double kScale31473 = 0.004768372;  // g per count
constexpr double kSupplyScale31470 = 0.00122;
constexpr double kSupplyScale31473 = 5.0 / 4096.0;
constexpr double kTempScale = 0.47;          // degC per count, falling
constexpr double kTempOffset = 625.0;
// The alarm window's conversions of ALM_MAG4 counts.
constexpr double kAlarmSupplyScale = 0.001220866;
constexpr double kAlarmTempScale = 0.469483568;
constexpr double kSupplyMin = 3.150;
constexpr double kSupplyMax = 3.625;

// Power-on DIO set-up: pin 1 busy indicator, active low (the board's busy line reads 0
// while a capture runs); pin 2 alarm indicator, active high.
constexpr uint16_t kDefaultDioCtrl = 0x001E;
constexpr uint16_t kDefaultCaptPrd = 0x0001; // one second
constexpr uint16_t kDefaultNullCnt = 0x0006;

// Longest stretch of signal an armed sensor looks back over when the clock jumps.
constexpr double kMaxScanSeconds = 2.0;

// Settings registers: what a flash backup keeps and a reset restores.
bool IsSetting(int addr)
{
    return (addr >= reg::X_NULL && addr < reg::RESERVED8) ||
           (addr >= reg::CAPT_CTRL && addr < reg::RESERVED2A + 2) ||
           (addr >= reg::GPIO_CTRL && addr < reg::NULL_CNT + 2) ||
           (addr >= reg::RESERVED4E && addr < reg::KEYCODE + 2) ||
           (addr >= reg::SCRATCH_A && addr < reg::RESERVED5C + 4);
}

bool IsLiveOutput(int product, int addr)
{
    return product == kProduct31470 && addr >= reg::SUPPLY_OUT && addr <= reg::AUX1_OUT && (addr % 2) == 0;
}

int BufferIndex(int addr)
{
    if (addr == reg::CAPT_BUF1)
        return 0;
    if (addr == reg::CAPT_BUF2)
        return 1;
    if (addr == reg::CAPT_BUF3)
        return 2;
    return -1;
}
} // namespace

double CaptureSeconds(int product, int avgExponent, bool flashOnEvent)
{
    using namespace m470Reg;
    const auto n = static_cast<size_t>(std::clamp(avgExponent, 0, 10));
    const double flashExtra = flashOnEvent ? kCaptureSeconds31473Flash[n] - kCaptureSeconds31473[n] : 0.0;
    return (product == kProduct31470 ? kCaptureSeconds31470[n] : kCaptureSeconds31473[n]) + flashExtra;
}

SensorModel::SensorModel(int product, const Clock& clock, uint16_t faults)
    : product_(product), clock_(clock), signal_(SignalModel::Default(product)), faults_(faults & kSensorFaultBits)
{
    PowerOn();
}

double SensorModel::SampleRate() const
{
    return product_ == kProduct31470 ? m470Reg::kSampleRate31470 : m470Reg::kSampleRate31473;
}

uint16_t SensorModel::Word(int addr) const
{
    addr &= 0x7F;
    return static_cast<uint16_t>(mem_[addr] | (mem_[(addr + 1) & 0x7F] << 8));
}

void SensorModel::SetWord(int addr, uint16_t value)
{
    addr &= 0x7F;
    mem_[addr] = static_cast<uint8_t>(value & 0xFF);
    mem_[(addr + 1) & 0x7F] = static_cast<uint8_t>(value >> 8);
}

// ---- registers -------------------------------------------------------------------

void SensorModel::PowerOn()
{
    mem_.fill(0);
    frozen_.fill(false);
    for (auto& b : buffers_)
        b.fill(0);
    capturing_ = autoRunning_ = armed_ = false;
    eventBits_ = 0;
    pendingOut_ = 0;

    const double now = clock_();
    const bool single = product_ == kProduct31470;
    const double volts = (faults_ & (status::SupplyLow | status::SupplyHigh)) ? SupplyVolts(now) : signal_.supplyVolts;
    const uint16_t supply = SupplyCounts(volts);
    SetWord(reg::CAPT_SUPPLY, single ? static_cast<uint16_t>(kNewData | supply) : supply);
    SetWord(reg::CAPT_TEMP, TemperatureCounts(signal_.temperatureC));
    mem_[reg::REV] = kRevision;
    mem_[reg::DAY] = kBuildDay;
    mem_[reg::MONTH] = kBuildMonth;
    mem_[reg::YEAR] = kBuildYear;
    SetWord(reg::PROD_ID, static_cast<uint16_t>(product_));
    if (!single) {
        // Factory signature and its checksum.
        const uint8_t sig[3] = {0x5A, 0x31, 0xC7};
        unsigned sum = 0;
        for (int i = 0; i < 3; ++i) {
            mem_[reg::SIGNTRL + i] = sig[i];
            sum += sig[i];
        }
        mem_[reg::SIGNTRL + 3] = static_cast<uint8_t>(sum & 0xFF);
        mem_[reg::SIGNTRL + 4] = static_cast<uint8_t>(sum >> 8);
    }
    SetWord(reg::ENDURANCE, endurance_);
    LoadFactoryDefaults();
    if (flash_.settingsValid)
        CopySettings(flash_.settings);
    // What the power-up checks find.
    CheckSupply(volts);
    SetStatus(faults_ & (status::SpiCommFailure | status::SelfTestFailure | status::FlashMemoryFailure));
}

void SensorModel::LoadFactoryDefaults()
{
    std::array<uint8_t, 128> d{};
    auto put = [&d](int addr, uint16_t v) {
        d[static_cast<size_t>(addr)] = static_cast<uint8_t>(v & 0xFF);
        d[static_cast<size_t>(addr + 1)] = static_cast<uint8_t>(v >> 8);
    };
    put(reg::CAPT_PRD, kDefaultCaptPrd);
    put(reg::DIO_CTRL, kDefaultDioCtrl);
    if (product_ == kProduct31473)
        put(reg::NULL_CNT, kDefaultNullCnt);
    CopySettings(d);
}

void SensorModel::CopySettings(const std::array<uint8_t, 128>& from)
{
    for (int a = 0; a < 128; ++a)
        if (IsSetting(a))
            mem_[static_cast<size_t>(a)] = from[static_cast<size_t>(a)];
}

bool SensorModel::IsReadOnly(int addr) const
{
    addr &= 0x7F;
    const bool single = product_ == kProduct31470;
    if (addr <= 0x01)
        return true; // ENDURANCE
    if (addr >= reg::RESERVED8 && addr < reg::CAPT_PNTR)
        return true; // capture results
    if (addr == reg::STATUS || addr == reg::STATUS + 1)
        return true;
    if (single && addr >= reg::SUPPLY_OUT && addr < reg::AUX1_OUT + 2)
        return true; // live outputs
    if (addr >= reg::REV && addr < reg::PROD_ID + 2)
        return true; // identification
    if (!single && addr >= reg::SIGNTRL && addr <= reg::CHKSUMU)
        return true;
    return false;
}

uint16_t SensorModel::ReadWord(int addr)
{
    addr &= 0x7F;
    if (addr == reg::COMMAND || addr == reg::COMMAND + 1)
        return 0; // commands clear themselves
    if (const int b = BufferIndex(addr); b >= 0)
        return static_cast<uint16_t>(buffers_[static_cast<size_t>(b)][Word(reg::CAPT_PNTR) % kBufferSamples]);
    if (IsLiveOutput(product_, addr) && !frozen_[static_cast<size_t>(addr)])
        return LiveOutput(addr);
    if (addr == reg::GPIO_CTRL) {
        uint16_t v = Word(addr);
        for (int pin = 0; pin < 2; ++pin) {
            const bool output = v & (1 << pin);
            if (!output && driven_[static_cast<size_t>(pin)]) {
                const uint16_t bit = static_cast<uint16_t>(0x100 << pin);
                v = static_cast<uint16_t>(drivenHigh_[static_cast<size_t>(pin)] ? (v | bit) : (v & ~bit));
            }
        }
        return v;
    }
    return Word(addr);
}

void SensorModel::WriteByte(int addr, uint8_t value)
{
    addr &= 0x7F;
    if (IsReadOnly(addr))
        return;
    const uint8_t previous = mem_[static_cast<size_t>(addr)];
    mem_[static_cast<size_t>(addr)] = value;
    AfterWrite(addr, previous);
}

void SensorModel::AfterWrite(int addr, uint8_t previous)
{
    if (addr == reg::COMMAND || addr == reg::COMMAND + 1) {
        const uint8_t b = mem_[static_cast<size_t>(addr)];
        mem_[static_cast<size_t>(addr)] = 0;
        Command(static_cast<uint16_t>(addr == reg::COMMAND ? b : b << 8));
        return;
    }
    if (addr == reg::CAPT_CTRL && ((previous ^ mem_[reg::CAPT_CTRL]) & 0x0C)) {
        // A new capture mode stops what the old one was running.
        autoRunning_ = false;
        armed_ = false;
    }
}

void SensorModel::Poke(int addr, uint16_t value)
{
    addr &= 0x7F;
    if (const int b = BufferIndex(addr); b >= 0) {
        buffers_[static_cast<size_t>(b)][Word(reg::CAPT_PNTR) % kBufferSamples] = static_cast<int16_t>(value);
        return;
    }
    SetWord(addr, value);
    if (IsLiveOutput(product_, addr))
        frozen_[static_cast<size_t>(addr)] = true;
}

uint16_t SensorModel::Frame(uint16_t mosi)
{
    Update();
    const uint16_t miso = pendingOut_;
    const int addr = (mosi >> 8) & 0x7F;
    if (mosi & 0x8000) {
        WriteByte(addr, static_cast<uint8_t>(mosi & 0xFF));
        pendingOut_ = 0;
    } else {
        pendingOut_ = ReadWord(addr);
    }
    return miso;
}

uint16_t SensorModel::MissedFrame(uint16_t garbage)
{
    Update();
    pendingOut_ = static_cast<uint16_t>(garbage * 0x9E37u + 0x7F4Au);
    SetStatus(status::SpiCommFailure);
    return garbage;
}

// ---- conversions -----------------------------------------------------------------

double SensorModel::AxisScale(int) const { return product_ == kProduct31470 ? kScale31470 : kScale31473; }

int16_t SensorModel::NullCounts(int axis) const { return static_cast<int16_t>(Word(reg::X_NULL + 2 * axis)); }

int SensorModel::AvgExponent() const { return std::min<int>(Word(reg::AVG_CNT), 10); }

double SensorModel::SamplePeriod() const { return static_cast<double>(1 << AvgExponent()) / SampleRate(); }

double SensorModel::PeriodSeconds() const
{
    const uint16_t prd = Word(reg::CAPT_PRD);
    static constexpr double kUnit[4] = {1.0, 60.0, 3600.0, 3600.0};
    return (prd & 0xFF) * kUnit[(prd >> 8) & 3];
}

int16_t SensorModel::SampleCounts(int axis, double t, int avgExponent) const
{
    double v = signal_.Averaged(axis, t, 1 << avgExponent, SampleRate());
    const bool acceleration = product_ == kProduct31473 || axis == 0;
    if (acceleration && (Word(reg::MSC_CTRL) & 0x0100))
        v += signal_.selfTestDeflection;
    if (Word(reg::CAPT_CTRL) & 0x0080)
        v -= signal_.axis[static_cast<size_t>(axis)].offset; // band-pass: no DC
    const long counts = std::lround(v / AxisScale(axis)) + NullCounts(axis);
    const long limit = product_ == kProduct31470 ? 8191 : 32767;
    return static_cast<int16_t>(std::clamp(counts, -limit - 1, limit));
}

uint16_t SensorModel::SupplyCounts(double volts) const
{
    if (product_ == kProduct31470)
        return static_cast<uint16_t>(std::clamp(std::lround(volts / kSupplyScale31470), 0L, 4095L));
    return static_cast<uint16_t>(std::clamp(std::lround(volts / kSupplyScale31473), 0L, 65535L));
}

uint16_t SensorModel::TemperatureCounts(double celsius) const
{
    const long n = std::lround((kTempOffset - celsius) / kTempScale);
    if (product_ == kProduct31470)
        return static_cast<uint16_t>(std::clamp(n, -2048L, 2047L) & 0xFFF);
    return static_cast<uint16_t>(std::clamp(n, -32768L, 32767L));
}

uint16_t SensorModel::LiveOutput(int addr)
{
    const double now = clock_();
    const double volts = SupplyVolts(now);
    const uint16_t ec = (volts < kSupplyMin || volts > kSupplyMax) ? kErrorCondition : 0;
    uint16_t value = 0;
    if (addr == reg::SUPPLY_OUT)
        value = SupplyCounts(volts);
    else if (addr == reg::TEMP_OUT)
        value = TemperatureCounts(signal_.Temperature(now));
    else
        value = static_cast<uint16_t>(SampleCounts((addr - reg::X_OUT) / 2, now, 0) & 0x3FFF);
    return static_cast<uint16_t>(kNewData | ec | value);
}

double SensorModel::SupplyVolts(double t) const
{
    if (faults_ & status::SupplyLow)
        return kFaultSupplyLow;
    if (faults_ & status::SupplyHigh)
        return kFaultSupplyHigh;
    return signal_.Supply(t);
}

void SensorModel::CheckSupply(double volts)
{
    if (volts < kSupplyMin)
        SetStatus(status::SupplyLow);
    if (volts > kSupplyMax)
        SetStatus(status::SupplyHigh);
}

int SensorModel::AlarmAxisTripped(int axis, int16_t counts) const
{
    if (!(Word(reg::ALM_CTRL) & (1 << axis)))
        return 0;
    const int threshold = std::abs(static_cast<int16_t>(Word(reg::ALM_MAG1 + 2 * axis)));
    return std::abs(static_cast<int>(counts)) > threshold ? 1 : 0;
}

bool SensorModel::SystemAlarmTripped(double supply, double temperature) const
{
    const uint16_t ctrl = Word(reg::ALM_CTRL);
    if (!(ctrl & 0x08))
        return false;
    const int n = static_cast<int16_t>(Word(reg::ALM_MAG4));
    const bool temp = ctrl & 0x10;
    const double value = temp ? temperature : supply;
    const double threshold = temp ? kTempOffset - kAlarmTempScale * n : kAlarmSupplyScale * n;
    return (ctrl & 0x20) ? value < threshold : value > threshold;
}

// ---- pins ------------------------------------------------------------------------

bool SensorModel::PinLevel(int pin) const
{
    const uint16_t dio = Word(reg::DIO_CTRL);
    const int function = (dio >> (2 + 2 * pin)) & 3;
    const bool activeHigh = dio & (1 << pin);
    switch (function) {
    case 0: {
        const uint16_t gpio = Word(reg::GPIO_CTRL);
        if (gpio & (1 << pin))
            return gpio & (0x100 << pin);
        return driven_[static_cast<size_t>(pin)] ? drivenHigh_[static_cast<size_t>(pin)] : true;
    }
    case 1: {
        const bool alarm = Word(reg::STATUS) & 0x0F00;
        return alarm == activeHigh;
    }
    case 2:
        return driven_[static_cast<size_t>(pin)] ? drivenHigh_[static_cast<size_t>(pin)] : true;
    default:
        return capturing_ == activeHigh;
    }
}

void SensorModel::DriveInput(int pin, bool high)
{
    Update();
    const bool was = PinLevel(pin);
    driven_[static_cast<size_t>(pin)] = true;
    drivenHigh_[static_cast<size_t>(pin)] = high;
    const int function = (Word(reg::DIO_CTRL) >> (2 + 2 * pin)) & 3;
    if (function != 2 || !was || high || capturing_)
        return;
    const double now = clock_();
    if (armed_) {
        armed_ = false;
        StartCapture(now, CaptureKind::Event, now);
    } else if (CaptureMode() == 0 || CaptureMode() == 3) {
        StartCapture(now, CaptureMode() == 3 ? CaptureKind::Extended : CaptureKind::Buffers, now);
    }
}

// ---- commands --------------------------------------------------------------------

void SensorModel::Command(uint16_t bits)
{
    if (bits & command::FactoryReset) {
        PowerOn();
        LoadFactoryDefaults();
        BackupToFlash(true);
    }
    if (bits & command::SoftwareReset)
        PowerOn();
    if (bits & command::ClearStatus) {
        SetWord(reg::STATUS, 0);
        // The supply monitor runs all the time: an out-of-range supply sets its bit again at once.
        CheckSupply(SupplyVolts(clock_()));
    }
    if (bits & command::AutoNull) {
        const bool selfTest = Word(reg::MSC_CTRL) & 0x0100;
        for (int axis = 0; axis < 3; ++axis) {
            double offset = signal_.axis[static_cast<size_t>(axis)].offset;
            if (selfTest && (product_ == kProduct31473 || axis == 0))
                offset += signal_.selfTestDeflection;
            const long counts = std::clamp(-std::lround(offset / AxisScale(axis)), -32768L, 32767L);
            SetWord(reg::X_NULL + 2 * axis, static_cast<uint16_t>(counts));
        }
    }
    if (bits & command::SelfTest) {
        const bool fails = faults_ & status::SelfTestFailure;
        if (fails)
            SetStatus(status::SelfTestFailure);
        if (product_ == kProduct31470) {
            const long delta = fails ? 0 : std::lround(signal_.selfTestDeflection / AxisScale(0));
            SetWord(reg::ST_DELTA, static_cast<uint16_t>(delta));
        }
    }
    if (bits & command::PowerDown)
        capturing_ = autoRunning_ = armed_ = false;
    if (bits & command::FlashTest)
        SetStatus(faults_ & status::FlashMemoryFailure);
    if (bits & command::ClearBuffers) {
        for (auto& b : buffers_)
            b.fill(0);
        for (int a = reg::CAPT_PEAK_X; a <= reg::CAPT_PEAK_Z; a += 2)
            SetWord(a, 0);
    }
    if (bits & command::Backup)
        BackupToFlash(true);
    if (bits & command::Restore) {
        if (flash_.settingsValid)
            CopySettings(flash_.settings);
        if (flash_.buffersValid)
            buffers_ = flash_.buffers;
    }
    if (bits & command::CaptureStartStop)
        StartStop();
}

void SensorModel::BackupToFlash(bool withSettings)
{
    if (faults_ & status::FlashUpdateFailure) {
        SetStatus(status::FlashUpdateFailure);
        return;
    }
    if (withSettings) {
        flash_.settings = mem_;
        flash_.settingsValid = true;
    }
    flash_.buffers = buffers_;
    flash_.buffersValid = true;
    ++endurance_;
    SetWord(reg::ENDURANCE, endurance_);
}

void SensorModel::StartStop()
{
    const double now = clock_();
    switch (CaptureMode()) {
    case 1:
        autoRunning_ = !autoRunning_;
        nextAutoStart_ = now;
        break;
    case 2:
        armed_ = !armed_;
        eventBits_ = 0;
        scanFrom_ = now + PreTriggerSamples() * SamplePeriod();
        break;
    default:
        // A second start command during a capture stops it.
        if (capturing_)
            capturing_ = false;
        else
            StartCapture(now, CaptureMode() == 3 ? CaptureKind::Extended : CaptureKind::Buffers, now);
        break;
    }
    Update();
}

// ---- capture engine --------------------------------------------------------------

void SensorModel::StartCapture(double t, CaptureKind kind, double triggerTime)
{
    const uint16_t ctrl = Word(reg::CAPT_CTRL);
    capturing_ = true;
    kind_ = kind;
    captureAvg_ = AvgExponent();
    captureAxis_ = std::min((ctrl >> 8) & 3, 2);
    captureFlash_ = kind == CaptureKind::Event && (ctrl & 0x0040);
    const double seconds = CaptureSeconds(product_, captureAvg_, captureFlash_) * (kind == CaptureKind::Extended ? 3 : 1);
    if (kind == CaptureKind::Event) {
        captureStart_ = triggerTime - PreTriggerSamples() * SamplePeriod();
        captureEnd_ = triggerTime + seconds;
    } else {
        captureStart_ = t;
        captureEnd_ = t + seconds;
    }
}

namespace {
constexpr double kRepeatableOrigin = 1.0; // seconds of signal time
} // namespace

void SensorModel::CompleteCapture()
{
    capturing_ = false;
    ++completed_;
    if (repeatable_ && kind_ != CaptureKind::Event) {
        captureEnd_ -= captureStart_ - kRepeatableOrigin;
        captureStart_ = kRepeatableOrigin;
    }
    const double dt = static_cast<double>(1 << captureAvg_) / SampleRate();
    if (kind_ == CaptureKind::Extended) {
        for (int k = 0; k < 3 * kBufferSamples; ++k)
            buffers_[static_cast<size_t>(k / kBufferSamples)][static_cast<size_t>(k % kBufferSamples)] =
                SampleCounts(captureAxis_, captureStart_ + k * dt, captureAvg_);
    } else {
        for (int b = 0; b < 3; ++b)
            for (int k = 0; k < kBufferSamples; ++k)
                buffers_[static_cast<size_t>(b)][static_cast<size_t>(k)] =
                    SampleCounts(b, captureStart_ + k * dt, captureAvg_);
    }
    uint16_t alarms = 0;
    for (int b = 0; b < 3; ++b) {
        int peak = 0;
        for (int16_t v : buffers_[static_cast<size_t>(b)])
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        peak = std::min(peak, 32767);
        SetWord(reg::CAPT_PEAK_X + 2 * b, static_cast<uint16_t>(peak));
        const int axis = kind_ == CaptureKind::Extended ? captureAxis_ : b;
        if (AlarmAxisTripped(axis, static_cast<int16_t>(peak)))
            alarms |= static_cast<uint16_t>(status::AlarmX << axis);
    }
    const double volts = SupplyVolts(captureEnd_);
    const double celsius = signal_.Temperature(captureEnd_);
    const uint16_t supply = SupplyCounts(volts);
    if (product_ == kProduct31470) {
        const uint16_t ec = (volts < kSupplyMin || volts > kSupplyMax) ? kErrorCondition : 0;
        SetWord(reg::CAPT_SUPPLY, static_cast<uint16_t>(kNewData | ec | supply));
    } else {
        SetWord(reg::CAPT_SUPPLY, supply);
    }
    SetWord(reg::CAPT_TEMP, TemperatureCounts(celsius));
    CheckSupply(volts);
    if (SystemAlarmTripped(volts, celsius))
        alarms |= status::SystemAlarm;
    SetStatus(static_cast<uint16_t>(status::DataReady | alarms | eventBits_ |
                                    (faults_ & (status::SpiCommFailure | status::PeriodViolation))));
    eventBits_ = 0;
    if (captureFlash_)
        BackupToFlash(false);
}

bool SensorModel::ScanForTrigger(double until)
{
    const uint16_t enabled = Word(reg::ALM_CTRL) & 0x0F;
    if (!enabled || until < scanFrom_) {
        scanFrom_ = std::max(scanFrom_, until);
        return false;
    }
    const double dt = SamplePeriod();
    const int avg = AvgExponent();
    if (until - scanFrom_ > kMaxScanSeconds)
        scanFrom_ += std::floor((until - scanFrom_ - kMaxScanSeconds) / dt) * dt;
    const long steps = static_cast<long>(std::floor((until - scanFrom_) / dt));
    for (long i = 0; i <= steps; ++i) {
        const double t = scanFrom_ + i * dt;
        uint16_t bits = 0;
        for (int axis = 0; axis < 3; ++axis)
            if ((enabled & (1 << axis)) && AlarmAxisTripped(axis, SampleCounts(axis, t, avg)))
                bits |= static_cast<uint16_t>((status::AlarmX | status::AlarmXEvent) << axis);
        if ((enabled & 0x08) && SystemAlarmTripped(SupplyVolts(t), signal_.Temperature(t)))
            bits |= status::SystemAlarm;
        if (bits) {
            armed_ = false;
            StartCapture(t, CaptureKind::Event, t);
            eventBits_ = bits;
            return true;
        }
    }
    scanFrom_ += (steps + 1) * dt;
    return false;
}

void SensorModel::Update()
{
    const double now = clock_();
    for (;;) {
        if (capturing_) {
            if (now < captureEnd_)
                return;
            CompleteCapture();
            continue;
        }
        if (autoRunning_) {
            if (now < nextAutoStart_)
                return;
            const double seconds = CaptureSeconds(product_, AvgExponent(), false);
            const double period = PeriodSeconds();
            const double step = std::max(period, seconds);
            // Captures nobody could have read are skipped.
            if (now - nextAutoStart_ > 2 * step)
                nextAutoStart_ += std::floor((now - nextAutoStart_) / step - 1) * step;
            if (period < seconds)
                SetStatus(status::PeriodViolation);
            StartCapture(nextAutoStart_, CaptureKind::Buffers, nextAutoStart_);
            nextAutoStart_ += step;
            continue;
        }
        if (armed_ && ScanForTrigger(now))
            continue;
        return;
    }
}

} // namespace sim
