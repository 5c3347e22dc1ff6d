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

// The core keeps its state in process-wide variables: one caller at a time, one open bench.
std::mutex g_core;
bool g_benchOpen = false;
QStringList g_messages;
py::object g_readingType; // namedtuple Reading

// Released GIL plus the core's lock, for everything that talks to the sensor or waits.
struct CoreCall {
    py::gil_scoped_release noGil;
    std::lock_guard<std::mutex> lock{g_core};
};

QString DeviceMessage()
{
    return g_messages.isEmpty() ? QStringLiteral("device error") : g_messages.join(QStringLiteral("; "));
}

void ReleaseBackends()
{
    Module1::InterfaceType = kInterfaceNone;
    EzUsb::SelectedUsbCard.Valid = VFalse;
    EzUsb::SelectedUsbCardIndex = -1;
    SetEzUsbDriver(nullptr);
    SetPortIo(nullptr);
}

// sim=N is read by the installation only; the caller's environment is put back afterwards.
void InstallBackends(std::optional<int> sim)
{
    if (!sim) {
        InstallDeviceBackends();
        return;
    }
    const bool wasSet = qEnvironmentVariableIsSet("SENSORBENCH_SIM");
    const QByteArray previous = qgetenv("SENSORBENCH_SIM");
    qputenv("SENSORBENCH_SIM", QByteArray::number(*sim));
    InstallDeviceBackends();
    wasSet ? qputenv("SENSORBENCH_SIM", previous) : qunsetenv("SENSORBENCH_SIM");
}

const QStringList kModes = {QStringLiteral("manual"), QString(), QString(), QStringLiteral("extended-x"),
                            QStringLiteral("extended-y"), QStringLiteral("extended-z")};

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
    bool hasLsb = true, hasG = true;

    bool Extended() const { return rec.Extended(); }

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
    py::object G() const { return hasG ? py::object(Samples<double>(rec.value)) : py::none(); }

    // g when the capture has it, counts otherwise; names as the plot and the CLI give them.
    std::vector<analysis::Channel> Channels() const
    {
        analysis::RecordView view = analysis::ViewOfRecord(rec);
        view.raw = !hasG;
        return analysis::RecordChannels(view, rec);
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
        py::dict out;
        for (const analysis::Channel& c : Channels()) {
            const analysis::ChannelStats s = analysis::ComputeStats(c.samples.data(), int(c.samples.size()),
                                                                    rec.sampleRate, c.acceleration);
            py::dict d;
            d["mean"] = s.mean;
            d["ac_rms"] = s.acRms;
            d["peak_to_peak"] = s.peakToPeak;
            d["crest_factor"] = s.crestFactor;
            d["kurtosis"] = s.kurtosis;
            d["dominant_hz"] = s.dominantHz;
            d["dominant_amplitude"] = s.dominantAmplitude;
            d["velocity_rms"] = s.velocityRms;
            out[py::str(Std(c.name))] = d;
        }
        return out;
    }

    void Save(const std::string& path, const std::string& format) const
    {
        const QString f = QString::fromStdString(format).toLower();
        if (f != QLatin1String("lsb") && f != QLatin1String("g"))
            throw py::value_error("format takes 'lsb' or 'g', not '" + format + "'");
        const bool scaled = f == QLatin1String("g");
        if (scaled ? !hasG : !hasLsb)
            throw py::value_error(scaled ? "this capture holds counts only (it was loaded from an LSB file)"
                                         : "this capture holds g only (it was loaded from a g file)");
        const QString target = QString::fromStdString(path);
        const QFileInfo info(target);
        if (info.isDir())
            throw FileFailure(EISDIR, QStringLiteral("'%1' is a directory").arg(target), target);
        QString error;
        bool ok = false;
        {
            CoreCall call;
            // The writer reads the file name, format and status bits from the data-log state.
            const QString base = DataLog::FileBase, ext = DataLog::FileExt;
            const DataLog::DataFormat previousFormat = DataLog::Format;
            const auto previousBits = StatusDisplay::StatusBits;
            DataLog::FileBase = info.completeBaseName();
            DataLog::FileExt = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
            DataLog::Format = scaled ? DataLog::DataFormat::Scaled : DataLog::DataFormat::LSB;
            StatusDisplay::StatusBits = statusBits;
            const QByteArray bytes = DataLog::DataFileBytes(rec, DataLog::Locale(), QDateTime::currentDateTime());
            DataLog::FileBase = base;
            DataLog::FileExt = ext;
            DataLog::Format = previousFormat;
            StatusDisplay::StatusBits = previousBits;
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
        return Std(QStringLiteral("<sensorbench.Capture %1 avg=%2 %3 Hz %4>")
                       .arg(QString::fromStdString(Mode()))
                       .arg(1 << rec.avgExponent)
                       .arg(rec.sampleRate, 0, 'g', 6)
                       .arg(hasLsb ? QStringLiteral("lsb") : QStringLiteral("g")));
    }
};

Capture Load(const std::string& path, int product)
{
    if (product != 31470 && product != 31473)
        throw py::value_error("product takes 31470 or 31473");
    const QString p = QString::fromStdString(path);
    Capture c;
    DataLog::ReadResult r;
    {
        py::gil_scoped_release noGil;
        r = DataLog::ReadDataFile(p, product, 0, c.rec);
    }
    if (r.unreadable)
        throw FileFailure(QFileInfo::exists(p) ? EACCES : ENOENT, r.error, p);
    if (!r.ok)
        throw py::value_error(Std(r.error));
    // Only the form the file holds: the other would depend on the register table now built.
    c.hasLsb = !r.scaled;
    c.hasG = r.scaled;
    for (size_t i = 0; i < 15; ++i)
        c.statusBits[i] = r.statusBits[i] ? QStringLiteral("1") : QStringLiteral("0");
    return c;
}

// ---- the bench ---------------------------------------------------------------------------

class Bench {
public:
    Bench(std::optional<int> sim, std::optional<int> card, std::optional<int> port, int product, bool fast)
        : product_(product)
    {
        if (product != 31470 && product != 31473)
            throw py::value_error("product takes 31470 or 31473");
        if (sim && (*sim < 0 || *sim > 4))
            throw py::value_error("sim takes 0 to 4 cards");
        if (card && (*card < 0 || *card > 3))
            throw py::value_error("card takes a slot 0 to 3");
        if (port && (*port <= 0 || *port > 0xFFFF))
            throw py::value_error("port takes an I/O address 0x1 to 0xFFFF");
        if (card && port)
            throw py::value_error("give either card or port, not both");
        std::optional<QString> failure;
        {
            CoreCall call;
            if (g_benchOpen)
                throw std::runtime_error("another Bench is open in this process; close it first");
            previousHandler_ = CurrentMessageHandler();
            SetMessageHandler([](const MessageRequest& m) {
                g_messages << m.text;
                return MsgResult::Ok;
            });
            // The product first: a virtual board takes its sensor model from it.
            Module1::InitialiseState();
            Module1::ProductNumber = static_cast<int16_t>(product);
            product == 31470 ? BuildTable31470() : BuildTable31473();
            InstallBackends(sim);
            FastReadout::Enabled = fast;
            failure = OpenInterface(card, port);
            if (failure) {
                ReleaseBackends();
                SetMessageHandler(previousHandler_);
            } else {
                open_ = true;
                g_benchOpen = true;
            }
        }
        if (failure)
            throw DeviceFailure(Std(*failure));
    }

    ~Bench()
    {
        if (open_) {
            std::lock_guard<std::mutex> lock(g_core);
            Release();
        }
    }

    void Close()
    {
        if (!open_)
            return;
        CoreCall call;
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
            CoreCall call;
            Begin();
            ReadRegister(row);
            CheckDevice();
            raw = Spi_mod::RegRaw;
            value = double(Spi_mod::RegValue);
        }
        const QString label = m470Reg::Table().RegisterTable[size_t(row)].Label.trimmed();
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
        CoreCall call;
        Begin();
        WriteRegister(row, static_cast<int32_t>(v));
        CheckDevice();
    }

    py::dict Status()
    {
        std::optional<int32_t> word;
        {
            CoreCall call;
            Begin();
            word = capture::ReadStatusWord();
            CheckDevice();
            if (!word)
                throw DeviceFailure(Std(DeviceMessage()));
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
            CoreCall call;
            Begin();
            listing = RegisterListing::ReadAll();
            CheckDevice();
        }
        return Std(listing);
    }

    Capture Take(const std::string& mode, int avg)
    {
        const int modeIndex = int(kModes.indexOf(QString::fromStdString(mode).toLower()));
        if (mode.empty() || modeIndex < 0)
            throw py::value_error("mode takes 'manual', 'extended-x', 'extended-y' or 'extended-z'");
        if (modeIndex >= 3 && product_ == 31470)
            throw py::value_error("the extended modes need product 31473");
        if (avg < 1 || avg > 1024 || (avg & (avg - 1)) != 0)
            throw py::value_error("avg takes 1, 2, 4, ... 1024");
        bool interrupted = false;
        Capture c;
        {
            CoreCall call;
            Begin();
            // Ctrl-C ends the wait; the check needs the interpreter for a moment per step.
            capture::WaitHooks hooks;
            hooks.aborted = [&interrupted] {
                py::gil_scoped_acquire gil;
                interrupted = PyErr_CheckSignals() != 0;
                return interrupted;
            };
            const capture::RunResult r =
                capture::ConfigureAndCapture(capture::Setup{modeIndex, int(std::log2(avg))}, hooks, false);
            if (!interrupted) {
                CheckDevice();
                if (!r.Complete())
                    throw DeviceFailure(Std(QStringLiteral("capture lost: %1").arg(r.LossReason())));
                c.rec = CaptureRecord::Last;
                c.statusBits = StatusDisplay::StatusBits;
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
    // Called with the core's lock held.
    void Begin()
    {
        if (!open_)
            throw py::value_error("the bench is closed");
        g_messages.clear();
    }

    void CheckDevice() const
    {
        if (Module1::InterfaceType == kInterfaceUsb && EzUsb::SelectedUsbCard.Valid == VFalse)
            throw DeviceFailure(Std(DeviceMessage()));
    }

    void Release()
    {
        ReleaseBackends();
        SetMessageHandler(previousHandler_);
        open_ = false;
        g_benchOpen = false;
    }

    // A label (spaces trimmed, any case) or a row number of the active table.
    static int16_t FindRegister(const py::object& name)
    {
        if (py::isinstance<py::int_>(name) && !py::isinstance<py::bool_>(name)) {
            const long long row = name.cast<long long>();
            if (row >= 0 && row <= m470Reg::Table().LastRegisterIndex)
                return static_cast<int16_t>(row);
            throw py::key_error("no register row " + std::to_string(row));
        }
        if (!py::isinstance<py::str>(name))
            throw py::key_error("a register is named by its label or row number");
        const QString text = QString::fromStdString(name.cast<std::string>()).trimmed();
        for (int r = 0; r <= m470Reg::Table().LastRegisterIndex; ++r)
            if (m470Reg::Table().RegisterTable[size_t(r)].Label.trimmed().compare(text, Qt::CaseInsensitive) == 0)
                return static_cast<int16_t>(r);
        throw py::key_error(Std(QStringLiteral("unknown register '%1'").arg(text)));
    }

    static QString Hex4(int32_t v) { return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper(); }

    int product_;
    bool open_ = false;
    MessageHandler previousHandler_;
};

py::list Cards(std::optional<int> sim)
{
    if (sim && (*sim < 0 || *sim > 4))
        throw py::value_error("sim takes 0 to 4 cards");
    std::array<UsbCardInfo, 4> found;
    {
        CoreCall call;
        // An open bench keeps its interface; the search then runs over its cards.
        if (g_benchOpen && sim)
            throw py::value_error("cards(sim=...) would replace the open Bench's interface");
        const MessageHandler previous = CurrentMessageHandler();
        SetMessageHandler([](const MessageRequest&) { return MsgResult::Ok; });
        if (!g_benchOpen)
            InstallBackends(sim);
        FindUsbCards();
        SetMessageHandler(previous);
        found = EzUsb::UsbCards;
        if (!g_benchOpen)
            ReleaseBackends();
    }
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
    m.doc() = "Sensor Bench: registers, captures and data files of SPI vibration sensors, on real "
              "USB-SPI cards, a parallel port or the virtual sensor board.";

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
    m.attr("Reading") = g_readingType;

    m.def("cards", &Cards, py::arg("sim") = py::none(),
          "The USB-SPI cards found: a dict per card (slot, type, manufacturer, product, firmware, usb).\n"
          "sim=N adds N virtual cards (0: real cards only); None follows SENSORBENCH_SIM.");

    m.def("load", &Load, py::arg("path"), py::arg("product") = 31473,
          "Reads a data file back as a Capture (.lsb for an LSB file, .g for a g file).");

    py::class_<Capture>(m, "Capture", "One capture: samples, context and analysis.")
        .def_property_readonly("lsb", &Capture::Lsb, "Counts, int16: shape (3, 1024), or (3072,) in an extended mode.")
        .def_property_readonly("g", &Capture::G, "Acceleration in g (float64), shaped as lsb.")
        .def_property_readonly("sample_rate", [](const Capture& c) { return c.rec.sampleRate; })
        .def_property_readonly("supply", [](const Capture& c) { return c.rec.supply; })
        .def_property_readonly("temperature", [](const Capture& c) { return c.rec.temp; })
        .def_property_readonly("peaks", [](const Capture& c) { return py::make_tuple(c.rec.peakX, c.rec.peakY, c.rec.peakZ); })
        .def_property_readonly("time", &Capture::Time, "When the read-out ended (local time).")
        .def_property_readonly("complete", [](const Capture& c) { return c.rec.complete; })
        .def_property_readonly("mode", &Capture::Mode)
        .def_property_readonly("avg", [](const Capture& c) { return 1 << c.rec.avgExponent; })
        .def_property_readonly("product", [](const Capture& c) { return c.rec.product; })
        .def("spectrum", &Capture::Spectrum, py::arg("window") = "hann",
             "(frequencies, amplitudes): one-sided amplitude spectrum per channel.")
        .def("stats", &Capture::Stats, "Per channel: mean, ac_rms, peak_to_peak, crest_factor, kurtosis, "
                                       "dominant_hz, dominant_amplitude, velocity_rms (mm/s).")
        .def("save", &Capture::Save, py::arg("path"), py::arg("format") = "lsb",
             "Writes the program's data file: format 'lsb' (counts) or 'g'.")
        .def("__repr__", &Capture::Repr);

    py::class_<Bench>(m, "Bench",
                      "The sensor's interface: Bench(sim=1), Bench(card=0) or Bench(port=0x378); "
                      "one open at a time, closed on leaving a with block.")
        .def(py::init<std::optional<int>, std::optional<int>, std::optional<int>, int, bool>(), py::kw_only(),
             py::arg("sim") = py::none(), py::arg("card") = py::none(), py::arg("port") = py::none(),
             py::arg("product") = 31473, py::arg("fast") = false)
        .def("__enter__", [](Bench& b) -> Bench& {
            b.EnsureOpen();
            return b;
        }, py::return_value_policy::reference)
        .def("__exit__", [](Bench& b, const py::args&) { b.Close(); })
        .def("close", &Bench::Close)
        .def_property_readonly("closed", &Bench::Closed)
        .def_property_readonly("product", &Bench::Product)
        .def("read", &Bench::Read, py::arg("name"), "Reads a register (label or row): Reading(register, row, raw, hex, value).")
        .def("write", &Bench::Write, py::arg("name"), py::arg("value"), "Writes a 16-bit value to a register.")
        .def("status", &Bench::Status, "The fifteen status rows: title -> 'OK', 'FAIL' or 'SET'.")
        .def("registers", &Bench::Registers, "Every register, listed as the register window's Read All does.")
        .def("capture", &Bench::Take, py::arg("mode") = "manual", py::arg("avg") = 16,
             "Sets mode and averaging, triggers, waits and reads out one capture.");
}
