// The `sensorbench` Python module: the bench's interface, registers, captures and data files
// for scripts and notebooks, over the same core as the window and the command-line tool.
// Python's headers first: Qt's `slots` keyword would break them.
#include <pybind11/chrono.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "analysis/AmplitudeSpectrum.h"
#include "analysis/SampleRate.h"
#include "analysis/Statistics.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureSettings.h"
#include "capture/CaptureWorkflow.h"
#include "capture/FastReadout.h"
#include "datalog/DataFile.h"
#include "datalog/DataFileReader.h"
#include "device/DeviceSetup.h"
#include "device/EzUsb.h"
#include "device/EzUsbDriver.h"
#include "device/PortIo.h"
#include "device/SetupGiveIO.h"
#include "device/Spi_mod.h"
#include "device/UsbSpiDrivers.h"
#include "registers/RegisterListing.h"
#include "registers/m470Reg.h"
#include "shell/Messages.h"
#include "shell/Module1.h"
#include "shell/SaveFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace py = pybind11;

namespace {

// Raised as sensorbench.DeviceError.
struct DeviceFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Raised as OSError (FileNotFoundError, PermissionError, ... by errno).
struct FileFailure : std::runtime_error {
    FileFailure(int e, const QString& message, const QString& path)
        : std::runtime_error(message.toStdString()), err(e), filename(path.toStdString())
    {
    }
    int err;
    std::string filename;
};

std::string Std(const QString& s) { return s.toStdString(); }

// Each Bench has a session of its own; what the process shares is the card driver and port I/O
// (one bus), installed once and kept while a Bench uses them. The lock guards only that.
std::mutex g_backends;
int g_openBenches = 0;
bool g_installedByBench = false;   // released with the last Bench; install_virtual_cards() keeps them
bool g_installed = false;
// The product each virtual card's sensor answers as: that of the Bench on the card.
std::array<std::atomic<int>, 4> g_slotProduct{};
py::object g_readingType; // namedtuple Reading

sim::Host SlotHost()
{
    return {[](int card) { return card >= 0 && card < 4 ? g_slotProduct[size_t(card)].load() : 0; }, {}};
}

// sim=N installs N virtual cards; without it, what SENSORBENCH_SIM says. Called with g_backends held.
void InstallBackends(std::optional<int> sim)
{
    InstallDeviceBackends(sim.value_or(-1), SlotHost());
    g_installed = true;
}

void ReleaseBackends()
{
    SetEzUsbDriver(nullptr);
    SetPortIo(nullptr);
    g_installed = false;
    g_installedByBench = false;
}

void InstallVirtualCards(int cards)
{
    if (cards < 1 || cards > 4)
        throw py::value_error("install_virtual_cards takes 1 to 4 cards");
    const std::lock_guard<std::mutex> lock(g_backends);
    if (g_openBenches > 0)
        throw py::value_error("install_virtual_cards() would replace the open Benches' cards; close them first");
    InstallBackends(cards);
    g_installedByBench = false;
}

const QStringList kModes = {QStringLiteral("manual"), QString(), QString(), QStringLiteral("extended-x"),
                            QStringLiteral("extended-y"), QStringLiteral("extended-z")};

void CheckProduct(int product)
{
    if (product != 31470 && product != 31473)
        throw py::value_error("product takes 31470 or 31473, not " + std::to_string(product));
}

// The capture-mode index of a mode name, as capture() and load() take it.
int ModeIndex(const std::string& mode, int product)
{
    const int index = int(kModes.indexOf(QString::fromStdString(mode).toLower()));
    if (mode.empty() || index < 0)
        throw py::value_error("mode takes 'manual', 'extended-x', 'extended-y' or 'extended-z', not '" + mode + "'");
    if (index >= 3 && product == 31470)
        throw py::value_error("the extended modes need product 31473");
    return index;
}

// Unknown figures are None, never a number that looks measured.
py::object Known(double v, bool known = true)
{
    return known && std::isfinite(v) ? py::object(py::float_(v)) : py::none();
}

analysis::Window ParseWindow(const std::string& name)
{
    const QString w = QString::fromStdString(name).toLower();
    if (w == QLatin1String("hann"))
        return analysis::Window::Hann;
    if (w == QLatin1String("flat-top") || w == QLatin1String("flattop"))
        return analysis::Window::FlatTop;
    if (w == QLatin1String("rectangular") || w == QLatin1String("none"))
        return analysis::Window::Rectangular;
    throw py::value_error("window takes 'hann', 'flat-top' or 'rectangular', not '" + name + "'");
}

// ---- captures ----------------------------------------------------------------------------

class Capture {
public:
    CaptureRecord::Record rec;
    std::array<QString, 16> statusBits{};
    // A capture loaded from a file in g has no counts: they would depend on a scale the file
    // does not state. Counts always give g through the product's table.
    bool hasLsb = true;

    bool Extended() const { return rec.Extended(); }
    py::ssize_t SamplesPerChannel() const { return Extended() ? 3072 : 1024; }

    // The buffers in the module's layout: 3 x 1024, or one run of 3072 in an extended mode.
    template <typename T>
    py::array_t<T> Samples(const std::array<std::array<double, 1025>, 3>& buffers) const
    {
        std::vector<py::ssize_t> shape = Extended() ? std::vector<py::ssize_t>{3072} : std::vector<py::ssize_t>{3, 1024};
        py::array_t<T> a(shape);
        T* out = a.mutable_data();
        for (size_t b = 0; b < 3; ++b)
            for (size_t i = 0; i < 1024; ++i) {
                const double v = buffers[b][i];
                if constexpr (std::is_integral_v<T>)
                    out[b * 1024 + i] = static_cast<T>(std::llround(v));
                else
                    out[b * 1024 + i] = v;
            }
        return a;
    }

    py::object Lsb() const { return hasLsb ? py::object(Samples<int16_t>(rec.raw)) : py::none(); }
    py::array_t<double> G() const { return Samples<double>(rec.value); }

    // Seconds from the first sample, one per sample of a channel.
    py::array_t<double> Times() const
    {
        py::array_t<double> t(SamplesPerChannel());
        for (py::ssize_t i = 0; i < t.size(); ++i)
            t.mutable_data()[i] = rec.sampleRate > 0 ? double(i) / rec.sampleRate : std::nan("");
        return t;
    }

    // In g; names as the plot and the CLI give them, for the capture's own product and mode.
    std::vector<analysis::Channel> Channels() const
    {
        return analysis::RecordChannels(analysis::ViewOfRecord(rec), rec);
    }

    py::list ChannelNames() const
    {
        py::list names;
        for (const analysis::Channel& c : Channels())
            names.append(Std(c.name));
        return names;
    }

    py::object SampleRate() const { return Known(rec.sampleRate, rec.sampleRate > 0); }
    py::object Supply() const { return Known(rec.supply, rec.complete); }
    py::object Temperature() const { return Known(rec.temp, rec.complete); }

    py::object Peaks() const
    {
        if (!rec.complete)
            return py::none();
        return py::make_tuple(Known(rec.peakX), Known(rec.peakY), Known(rec.peakZ));
    }

    // The peak registers through the capture's own product table.
    py::object PeaksG() const
    {
        if (!rec.complete)
            return py::none();
        const RegisterMap& map = RegisterMapFor(rec.product);
        auto g = [&map](int16_t row, double raw) { return Known(double(map.ScaledValue(row, raw))); };
        return py::make_tuple(g(map.idxCAPT_PEAK_X, rec.peakX), g(map.idxCAPT_PEAK_Y, rec.peakY),
                              g(map.idxCAPT_PEAK_Z, rec.peakZ));
    }

    py::tuple Spectrum(const std::string& window) const
    {
        const analysis::Window w = ParseWindow(window);
        std::vector<analysis::Spectrum> spectra;
        for (const analysis::Channel& c : Channels())
            spectra.push_back(analysis::ComputeSpectrum(c.samples, rec.sampleRate, w));
        const py::ssize_t bins = static_cast<py::ssize_t>(spectra.front().amplitude.size());
        py::array_t<double> freqs(bins);
        for (py::ssize_t k = 0; k < bins; ++k)
            freqs.mutable_data()[k] = spectra.front().Frequency(static_cast<int>(k));
        std::vector<py::ssize_t> shape = Extended() ? std::vector<py::ssize_t>{bins}
                                                    : std::vector<py::ssize_t>{py::ssize_t(spectra.size()), bins};
        py::array_t<double> amps(shape);
        for (size_t c = 0; c < spectra.size(); ++c)
            std::copy(spectra[c].amplitude.begin(), spectra[c].amplitude.end(), amps.mutable_data() + c * size_t(bins));
        return py::make_tuple(freqs, amps);
    }

    py::dict Stats() const
    {
        const std::vector<analysis::Channel> channels = Channels();
        const std::vector<analysis::ChannelStats> stats =
            analysis::ChannelsStats(channels, analysis::ViewOfRecord(rec), rec.sampleRate, rec);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        py::dict out;
        for (size_t i = 0; i < channels.size() && i < stats.size(); ++i) {
            const analysis::ChannelStats& s = stats[i];
            // A flat channel (crest factor 0 only then) has no shape and no dominant tone.
            const bool flat = s.crestFactor == 0;
            py::dict d;
            d["mean"] = s.mean;
            d["ac_rms"] = s.acRms;
            d["peak_to_peak"] = s.peakToPeak;
            d["crest_factor"] = flat ? nan : s.crestFactor;
            d["kurtosis"] = flat ? nan : s.kurtosis;
            d["dominant_hz"] = flat ? nan : s.dominantHz;
            d["dominant_amplitude"] = flat ? nan : s.dominantAmplitude;
            d["velocity_rms"] = s.velocityRms;
            d["velocity_note"] = Std(s.velocityNote);
            out[py::str(Std(channels[i].name))] = d;
        }
        return out;
    }

    void Save(const std::string& path, const std::string& format) const
    {
        const QString f = QString::fromStdString(format).toLower();
        if (f != QLatin1String("lsb") && f != QLatin1String("g"))
            throw py::value_error("format takes 'lsb' or 'g', not '" + format + "'");
        const bool scaled = f == QLatin1String("g");
        if (!scaled && !hasLsb)
            throw py::value_error("this capture holds g only (it was loaded from a g file)");
        const QString target = QString::fromStdString(path);
        const QFileInfo info(target);
        if (info.isDir())
            throw FileFailure(EISDIR, QStringLiteral("'%1' is a directory").arg(target), target);
        QString error;
        bool ok = false;
        {
            py::gil_scoped_release noGil;
            DataLog::Series series;
            series.base = info.completeBaseName();
            series.ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
            series.format = scaled ? DataLog::DataFormat::Scaled : DataLog::DataFormat::LSB;
            const QByteArray bytes =
                DataLog::DataFileBytes(rec, series, statusBits, DataLog::Locale(), QDateTime::currentDateTime());
            ok = SaveWholeFile(target, bytes, &error);
        }
        if (!ok) {
            const int e = !info.absoluteDir().exists() ? ENOENT : EACCES;
            throw FileFailure(e, QStringLiteral("The data file could not be written: %1: %2").arg(target, error), target);
        }
    }

    py::object Time() const
    {
        if (!rec.time.isValid())
            return py::none();
        return py::cast(std::chrono::system_clock::time_point(std::chrono::milliseconds(rec.time.toMSecsSinceEpoch())));
    }

    std::string Mode() const
    {
        const QString m = rec.modeIndex >= 0 && rec.modeIndex < kModes.size() ? kModes[rec.modeIndex] : QString();
        return m.isEmpty() ? "manual" : Std(m);
    }

    std::string Repr() const
    {
        return Std(QStringLiteral("<sensorbench.Capture %1 %2 avg=%3 %4 Hz %5>")
                       .arg(rec.product)
                       .arg(QString::fromStdString(Mode()))
                       .arg(1 << rec.avgExponent)
                       .arg(rec.sampleRate, 0, 'g', 6)
                       .arg(hasLsb ? QStringLiteral("lsb") : QStringLiteral("g")));
    }
};

Capture Load(const std::string& path, std::optional<int> product, const std::string& mode)
{
    if (!product)
        throw py::type_error("load() needs the product that wrote the file, product=31470 or product=31473: "
                             "a data file does not say which sensor wrote it");
    CheckProduct(*product);
    const int modeIndex = ModeIndex(mode, *product);
    const QString p = QString::fromStdString(path);
    Capture c;
    DataLog::ReadResult r;
    {
        py::gil_scoped_release noGil;
        r = DataLog::ReadDataFile(p, *product, modeIndex, c.rec);
    }
    if (r.unreadable)
        throw FileFailure(QFileInfo::exists(p) ? EACCES : ENOENT, r.error, p);
    if (!r.ok)
        throw py::value_error(Std(r.error));
    c.hasLsb = !r.scaled;
    for (size_t i = 0; i < 15; ++i)
        c.statusBits[i] = r.statusBits[i] ? QStringLiteral("1") : QStringLiteral("0");
    return c;
}

// ---- the bench ---------------------------------------------------------------------------

class Bench {
public:
    Bench(std::optional<int> sim, std::optional<int> card, std::optional<int> port, int product, bool fast)
        : product_(product), s_(std::make_unique<BenchSession>())
    {
        CheckProduct(product);
        if (sim && (*sim < 0 || *sim > 4))
            throw py::value_error("sim takes 0 to 4 cards");
        if (card && (*card < 0 || *card > 3))
            throw py::value_error("card takes a slot 0 to 3");
        if (port && (*port <= 0 || *port > 0xFFFF))
            throw py::value_error("port takes an I/O address 0x1 to 0xFFFF");
        if (card && port)
            throw py::value_error("give either card or port, not both");
        // The device layer's messages become the DeviceError's text; nothing is shown.
        s_->messageHandler = [](const MessageRequest&) { return MsgResult::Ok; };
        s_->product = static_cast<int16_t>(product);
        s_->SelectTable(product);
        s_->fastReadout = fast;
        std::optional<QString> failure;
        {
            py::gil_scoped_release noGil;
            const std::lock_guard<std::mutex> lock(g_backends);
            if (sim && g_openBenches > 0)
                throw std::runtime_error("Bench(sim=...) would replace the open Benches' cards; "
                                         "use sensorbench.install_virtual_cards() before opening them");
            if (sim || !g_installed) {
                InstallBackends(sim);
                g_installedByBench = true;
            }
            failure = OpenInterface(*s_, card, port);
            if (failure) {
                if (g_openBenches == 0 && g_installedByBench)
                    ReleaseBackends();
            } else {
                // A virtual sensor answers as the product of the Bench on its card (the port: card 0's).
                slot_ = s_->interfaceType == kInterfaceUsb ? s_->cardIndex : 0;
                if (slot_ >= 0 && slot_ < 4)
                    g_slotProduct[size_t(slot_)] = product;
                open_ = true;
                ++g_openBenches;
            }
        }
        if (failure)
            throw DeviceFailure(Std(*failure));
    }

    ~Bench()
    {
        if (open_)
            Release();
    }

    void Close()
    {
        if (!open_)
            return;
        py::gil_scoped_release noGil;
        Release();
    }

    bool Closed() const { return !open_; }
    int Product() const { return product_; }

    py::object Read(const py::object& name)
    {
        const int16_t row = FindRegister(name);
        int32_t raw = 0;
        double value = 0;
        {
            py::gil_scoped_release noGil;
            Begin();
            ReadRegister(*s_, row);
            CheckDevice();
            raw = s_->reg.raw;
            value = double(s_->reg.value);
        }
        const QString label = s_->Table().RegisterTable[size_t(row)].Label.trimmed();
        return g_readingType(Std(label), row, raw, Std(Hex4(raw)), value);
    }

    void Write(const py::object& name, const py::object& value)
    {
        const int16_t row = FindRegister(name);
        if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
            throw py::value_error("the value must be an integer (16 bits, -32768 to 65535)");
        const long long v = value.cast<long long>();
        if (v < -32768 || v > 65535)
            throw py::value_error("bad value " + std::to_string(v) + " (16 bits, -32768 to 65535)");
        py::gil_scoped_release noGil;
        Begin();
        WriteRegister(*s_, row, static_cast<int32_t>(v));
        CheckDevice();
    }

    py::dict Status()
    {
        std::optional<int32_t> word;
        {
            py::gil_scoped_release noGil;
            Begin();
            word = capture::ReadStatusWord(*s_);
            CheckDevice();
            if (!word)
                throw DeviceFailure(Std(DeviceErrorText(s_->messages)));
        }
        py::dict rows;
        for (int i = 0; i < CaptureSettings::kStatusRows; ++i)
            rows[py::str(Std(CaptureSettings::StatusTitle(i)))] = Std(CaptureSettings::DecodeStatusRow(*word, i).text);
        return rows;
    }

    std::string Registers()
    {
        QString listing;
        {
            py::gil_scoped_release noGil;
            Begin();
            listing = RegisterListing::ReadAll(*s_);
            CheckDevice();
        }
        return Std(listing);
    }

    Capture Take(const std::string& mode, int avg)
    {
        const int modeIndex = ModeIndex(mode, product_);
        if (avg < 1 || avg > 1024 || (avg & (avg - 1)) != 0)
            throw py::value_error("avg takes 1, 2, 4, ... 1024");
        bool interrupted = false;
        Capture c;
        {
            py::gil_scoped_release noGil;
            Begin();
            // Ctrl-C ends the wait; the check needs the interpreter for a moment per step.
            capture::WaitHooks hooks;
            hooks.aborted = [&interrupted] {
                py::gil_scoped_acquire gil;
                interrupted = PyErr_CheckSignals() != 0;
                return interrupted;
            };
            const capture::RunResult r =
                capture::ConfigureAndCapture(*s_, capture::Setup{modeIndex, int(std::log2(avg))}, hooks);
            if (!interrupted) {
                CheckDevice();
                if (!r.Complete())
                    throw DeviceFailure(Std(QStringLiteral("capture lost: %1").arg(r.LossReason())));
                c.rec = r.readOut.record;
                c.statusBits = s_->statusBits;
            }
        }
        if (interrupted)
            throw py::error_already_set();
        return c;
    }

    void EnsureOpen() const
    {
        if (!open_)
            throw py::value_error("the bench is closed");
    }

private:
    // Before each call into the session; a Bench is used by one thread at a time.
    void Begin()
    {
        if (!open_)
            throw py::value_error("the bench is closed");
        s_->messages.clear();
    }

    void CheckDevice() const
    {
        if (const std::optional<QString> error = DeviceCheck(*s_))
            throw DeviceFailure(Std(*error));
    }

    void Release()
    {
        const std::lock_guard<std::mutex> lock(g_backends);
        open_ = false;
        if (slot_ >= 0 && slot_ < 4)
            g_slotProduct[size_t(slot_)] = 0;
        if (--g_openBenches == 0 && g_installedByBench)
            ReleaseBackends();
    }

    // A label (spaces trimmed, any case) or a row number of the product's table.
    int16_t FindRegister(const py::object& name) const
    {
        const RegisterMap& table = s_->Table();
        if (py::isinstance<py::int_>(name) && !py::isinstance<py::bool_>(name)) {
            const long long row = name.cast<long long>();
            if (const auto r = RegisterListing::FindRegisterRow(table, QString::number(row)))
                return *r;
            throw py::key_error("no register row " + std::to_string(row));
        }
        if (!py::isinstance<py::str>(name))
            throw py::key_error("a register is named by its label or row number");
        const QString text = QString::fromStdString(name.cast<std::string>()).trimmed();
        // A label only: a digit string is not a row number here.
        bool number = false;
        text.toInt(&number);
        if (const auto r = number ? std::nullopt : RegisterListing::FindRegisterRow(table, text))
            return *r;
        throw py::key_error(Std(QStringLiteral("unknown register '%1'").arg(text)));
    }

    static QString Hex4(int32_t v) { return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper(); }

    int product_;
    std::unique_ptr<BenchSession> s_;
    bool open_ = false;
    int slot_ = -1;
};

py::list Cards(std::optional<int> sim)
{
    if (sim && (*sim < 0 || *sim > 4))
        throw py::value_error("sim takes 0 to 4 cards");
    BenchSession search;
    search.messageHandler = [](const MessageRequest&) { return MsgResult::Ok; };
    {
        py::gil_scoped_release noGil;
        const std::lock_guard<std::mutex> lock(g_backends);
        // Open benches keep their cards; the search then runs over them.
        if (g_openBenches > 0 && sim)
            throw py::value_error("cards(sim=...) would replace the open Bench's interface");
        const bool temporary = g_openBenches == 0 && (sim || !g_installed);
        if (temporary)
            InstallBackends(sim);
        FindUsbCards(search);
        if (temporary)
            ReleaseBackends();
    }
    const std::array<UsbCardInfo, 4>& found = search.cards;
    py::list out;
    for (int i = 0; i < 4; ++i) {
        const UsbCardInfo& c = found[size_t(i)];
        if (c.Valid == VFalse)
            continue;
        py::dict d;
        d["slot"] = i;
        d["type"] = Std(c.CardType);
        d["manufacturer"] = Std(c.Manufacturer);
        d["product"] = Std(c.Product);
        d["firmware"] = Std(QString::number(c.FirmwareVersion, 'f', 1));
        d["usb"] = Std(c.UsbVersion);
        out.append(d);
    }
    return out;
}

} // namespace

PYBIND11_MODULE(sensorbench, m)
{
    m.doc() = "Sensor Bench: registers, captures and data files of the SPI vibration sensors 31470 (one axis\n"
              "and two ADC inputs, 88 kHz before averaging) and 31473 (three axes, 64 kHz), on real USB-SPI\n"
              "cards, a parallel port or the virtual sensor board.\n\n"
              "Bench(sim=1) opens the interface and Bench.capture() gives a Capture; load(path, product) reads\n"
              "a data file back as a Capture. Units: samples in g (or counts), times in s, frequencies in Hz,\n"
              "supply in V, temperature in degrees C, velocity in mm/s. A figure that cannot be known is None\n"
              "(NaN inside arrays and in the stats() tables), never 0.";
    m.attr("__version__") = SB_VERSION;

    static py::exception<DeviceFailure> deviceError(m, "DeviceError", PyExc_RuntimeError);
    deviceError.doc() = "The sensor or its interface failed; the message is the program's own.";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const DeviceFailure& e) {
            PyErr_SetString(deviceError.ptr(), e.what());
        } catch (const FileFailure& e) {
            py::object err = py::reinterpret_steal<py::object>(
                PyObject_CallFunction(PyExc_OSError, "isz", e.err, e.what(), e.filename.c_str()));
            if (err)
                PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(err.ptr())), err.ptr());
        }
    });

    g_readingType = py::module_::import("collections")
                        .attr("namedtuple")("Reading", py::make_tuple("register", "row", "raw", "hex", "value"));
    g_readingType.attr("__module__") = "sensorbench";
    g_readingType.attr("__doc__") = "One register reading, as Bench.read() gives it.";
    const std::pair<const char*, const char*> fieldDocs[] = {
        {"register", "The register's label, e.g. 'X_NULL'."},
        {"row", "The register's row in the product's table."},
        {"raw", "The reading in counts (sign-extended where the register is two's complement)."},
        {"hex", "The 16-bit word as four hex digits."},
        {"value", "The reading in the register's unit: g, V, degrees C, ... (raw where it has no scale)."}};
    for (const auto& [field, doc] : fieldDocs)
        g_readingType.attr(field).attr("__doc__") = doc;
    m.attr("Reading") = g_readingType;

    // The classes before the functions that return them, so signatures name them as Python does.
    py::class_<Capture>(m, "Capture",
                        "One capture: samples, the context they were taken in (product, mode, averaging)\n"
                        "and their analysis. Bench.capture() and load() make them.")
        .def_property_readonly("lsb", &Capture::Lsb,
                               "Samples in counts, int16: shape (3, 1024), or (3072,) in an extended mode.\n"
                               "None for a capture loaded from a file in g.")
        .def_property_readonly("g", &Capture::G,
                               "Samples in g, float64, shaped as lsb. From a file in counts: scaled with\n"
                               "the product's register table.")
        .def_property_readonly("times", &Capture::Times,
                               "Time of each sample of a channel in s from the first (1024 values, 3072\n"
                               "in an extended mode); times * 1000 gives the plot's ms axis.")
        .def_property_readonly("channels", &Capture::ChannelNames,
                               "Channel names in buffer order: ['X acc', 'Y acc', 'Z acc'] on 31473,\n"
                               "['X acc', 'ADC 0', 'ADC 1'] on 31470, one axis in an extended mode.")
        .def_property_readonly("sample_rate", &Capture::SampleRate,
                               "Samples per second in the buffers, Hz: the product's internal rate / avg.")
        .def_property_readonly("supply", &Capture::Supply, "Supply voltage at the capture, V (None when unknown).")
        .def_property_readonly("temperature", &Capture::Temperature,
                               "Sensor temperature at the capture, degrees C (None when unknown).")
        .def_property_readonly("peaks", &Capture::Peaks,
                               "(X, Y, Z) peak registers in counts, as the sensor keeps them (on 31470 Y\n"
                               "and Z are the ADC 0 and ADC 1 peaks); None when unknown. In g: peaks_g.")
        .def_property_readonly("peaks_g", &Capture::PeaksG,
                               "The peaks in g, scaled with the capture's product table (None when unknown).")
        .def_property_readonly("time", &Capture::Time,
                               "When the read-out ended (local time, datetime). A loaded file: the time it\n"
                               "states, else its modification time.")
        .def_property_readonly("complete", [](const Capture& c) { return c.rec.complete; },
                               "True when every sample arrived.")
        .def_property_readonly("mode", &Capture::Mode, "'manual', 'extended-x', 'extended-y' or 'extended-z'.")
        .def_property_readonly("avg", [](const Capture& c) { return 1 << c.rec.avgExponent; },
                               "Samples averaged per buffer sample: 1, 2, 4, ... 1024.")
        .def_property_readonly("product", [](const Capture& c) { return c.rec.product; },
                               "The sensor model: 31470 or 31473.")
        .def("spectrum", &Capture::Spectrum, py::arg("window") = "hann",
             "(frequencies, amplitudes): the one-sided amplitude spectrum of each channel.\n"
             "frequencies in Hz, shape (513,), or (1537,) in an extended mode; amplitudes in g peak,\n"
             "one row per channel. window: 'hann', 'flat-top' or 'rectangular'.")
        .def("stats", &Capture::Stats,
             "Figures per channel: {channel name: {key: value}}.\n"
             "  mean, ac_rms (RMS with the mean removed), peak_to_peak   g\n"
             "  crest_factor, kurtosis                                    ratios\n"
             "  dominant_hz                                               Hz\n"
             "  dominant_amplitude                                        g peak\n"
             "  velocity_rms      mm/s RMS over 10-1000 Hz, acceleration channels only\n"
             "  velocity_note     why velocity_rms is unknown or what limits it ('' when nothing)\n"
             "Unknown figures are NaN: velocity_rms where the record cannot hold the band or the\n"
             "channel is no acceleration; the shape and dominant tone of a flat channel.")
        .def("save", &Capture::Save, py::arg("path"), py::arg("format") = "lsb",
             "Writes the program's data file: format 'lsb' (counts) or 'g'.")
        .def("__repr__", &Capture::Repr);

    py::options handWritten;
    py::class_<Bench> bench(m, "Bench",
                            "The sensor's interface: Bench(sim=1) (virtual cards), Bench(card=0) or\n"
                            "Bench(port=0x378); product=31470 or 31473 (default); fast=True reads the buffers in\n"
                            "batches. Benches on different cards work side by side (install_virtual_cards() for\n"
                            "several virtual ones); closed on leaving a with block.");
    bench
        .def(py::init<std::optional<int>, std::optional<int>, std::optional<int>, int, bool>(), py::kw_only(),
             py::arg("sim") = py::none(), py::arg("card") = py::none(), py::arg("port") = py::none(),
             py::arg("product") = 31473, py::arg("fast") = false,
             "Opens the interface: sim=N virtual cards (0 to 4), card=slot (0 to 3) or port=I/O address.")
        .def("__enter__", [](Bench& b) -> Bench& {
            b.EnsureOpen();
            return b;
        }, py::return_value_policy::reference, "The open bench itself.")
        .def("__exit__", [](Bench& b, const py::args&) { b.Close(); }, "Closes the bench.")
        .def("close", &Bench::Close, "Releases the interface.")
        .def_property_readonly("closed", &Bench::Closed, "True once closed.")
        .def_property_readonly("product", &Bench::Product, "The sensor model: 31470 or 31473.")
        .def("status", &Bench::Status, "The fifteen status rows: title -> 'OK', 'FAIL' or 'SET'.")
        .def("registers", &Bench::Registers, "Every register, listed as the register window's Read All does.")
        .def("capture", &Bench::Take, py::arg("mode") = "manual", py::arg("avg") = 1 << analysis::kDefaultAvgExponent,
             "Sets mode and averaging, triggers, waits and reads out one capture.\n"
             "mode: 'manual', or 'extended-x', 'extended-y', 'extended-z' (31473 only: 3072 samples of\n"
             "one axis). avg: samples averaged, 1, 2, 4, ... 1024; the default is the program's own, as\n"
             "sensorbench-cli's. The sample rate is the product's internal rate / avg, Hz.");
    // pybind11 would show the name arguments as `object`.
    handWritten.disable_function_signatures();
    bench.def("read", &Bench::Read, py::arg("name"),
              "read(self, name: str | int) -> sensorbench.Reading\n\n"
              "Reads a register, by label (any case) or row: Reading(register, row, raw in counts, hex,\n"
              "value in the register's unit).");
    bench.def("write", &Bench::Write, py::arg("name"), py::arg("value"),
              "write(self, name: str | int, value: int) -> None\n\n"
              "Writes a 16-bit value (-32768 to 65535, counts) to a register, by label or row.");
    handWritten.enable_function_signatures();

    m.def("install_virtual_cards", &InstallVirtualCards, py::arg("cards"),
          "Installs N virtual cards (1 to 4) after the real ones, for Benches opened without sim=;\n"
          "each virtual card's sensor answers as the product of the Bench on it. Benches on\n"
          "different cards capture side by side from different threads.");
    m.def("cards", &Cards, py::arg("sim") = py::none(),
          "The USB-SPI cards found: a dict per card (slot, type, manufacturer, product, firmware, usb).\n"
          "sim=N adds N virtual cards (0: real cards only); None follows SENSORBENCH_SIM.");

    // product has no default; the missing one gets a message saying why it is needed.
    handWritten.disable_function_signatures();
    m.def("load", &Load, py::arg("path"), py::arg("product") = py::none(), py::arg("mode") = "manual",
          "load(path: str, product: int, mode: str = 'manual') -> sensorbench.Capture\n\n"
          "Reads a data file back as a Capture. A data file does not say which sensor or mode wrote\n"
          "it, so product (31470 or 31473) is required: it sets the sample rate (Hz), the channel\n"
          "names and the scale from counts to g. mode ('manual', 'extended-x', 'extended-y',\n"
          "'extended-z') lays the samples out as capture() does. A file in counts gives .lsb and .g,\n"
          "a file in g gives .g (lsb None). Bad content raises ValueError, an unreadable file OSError.");
}
