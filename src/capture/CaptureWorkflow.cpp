#include "capture/CaptureWorkflow.h"
#include <QLocale>
#include "analysis/SampleRate.h"
#include "capture/CaptureSettings.h"
#include "config/ConfigConversions.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"
#include "shell/Delay.h"

#include <QThread>
#include <algorithm>
#include <cmath>

namespace capture {

namespace {
constexpr double kStep = 0.1;

std::optional<int32_t> StatusOf(BenchSession& session, const WaitHooks& hooks)
{
    return hooks.readStatus ? hooks.readStatus() : ReadStatusWord(session);
}

void Pause(const WaitHooks& hooks, int ms)
{
    if (hooks.pause)
        hooks.pause(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

int ModeIndexOf(int32_t captCtrl)
{
    const CaptureSettings::CaptCtrlFields f = CaptureSettings::DecodeCaptCtrl(captCtrl);
    return f.mode == 3 ? 3 + std::min(f.axis, 2) : f.mode;
}
} // namespace

std::optional<int32_t> ReadStatusWord(BenchSession& session)
{
    if (!session.LinkUp())
        return std::nullopt;
    ReadRegister(session, session.Table().idxSTATUS);
    if (!session.LinkUp())
        return std::nullopt;
    const int32_t s = session.reg.raw;
    for (int i = 0; i < CaptureSettings::kStatusRows; ++i)
        session.statusBits[size_t(i)] =
            CaptureSettings::DecodeStatusRow(s, i).set ? QStringLiteral("1") : QStringLiteral("0");
    return s;
}

ReadOutResult ReadOut(BenchSession& session, int avgExponent, const std::function<bool()>& stillCurrent)
{
    ReadOutResult result;
    if (!session.LinkUp()) {
        result.reason = QStringLiteral("no interface answers");
        return result;
    }
    CaptureRecord::Record& r = result.record;
    {
        const qsizetype before = session.messages.size();
        result.texts = BufferReadout::ReadCaptureRecord(session, r);
        if (r.complete) {
            ReadRegister(session, session.Table().idxCAPT_CTRL);
            r.captCtrl = session.reg.raw;
            r.complete = session.LinkUp();
        }
        const QString said = session.messages.mid(before).join(QStringLiteral("; "));
        if (!r.complete)
            result.reason = said.isEmpty() ? QStringLiteral("the interface stopped answering") : said;
    }
    if (r.complete && stillCurrent && !stillCurrent()) {
        r.complete = false;
        result.overrun = session.LinkUp();
        result.reason = result.overrun ? QStringLiteral("a newer capture finished during the read-out")
                                       : QStringLiteral("the interface stopped answering");
    }
    result.complete = r.complete;
    if (!r.complete)
        return result;
    r.product = session.product == 31470 ? 31470 : 31473;
    r.modeIndex = ModeIndexOf(r.captCtrl);
    r.avgExponent = std::clamp(avgExponent, 0, 10);
    r.sampleRate = analysis::SampleRate(r.product, r.avgExponent);
    r.time = QDateTime::currentDateTime();
    session.last = r;
    return result;
}

ReadOutResult ReadReadyCapture(BenchSession& session, int avgExponent)
{
    WriteRegister(session, session.Table().idxCOMMAND, cfg::kCmdClearStatus);
    Delay(50.0f);
    // A raw read: the kept bits describe the capture being read, not the cleared word.
    return ReadOut(session, avgExponent, [&session] {
        ReadRegister(session, session.Table().idxSTATUS);
        return (session.reg.raw & kDataReadyBit) == 0;
    });
}

int PollIntervalMs(double captureSeconds)
{
    return std::max(300, static_cast<int>(std::ceil(captureSeconds * 1000.0)));
}

double NominalReadOutSeconds(bool fast) { return fast ? 0.05 : 0.95; }

void AutoReadoutCount::Seen(double now, double intervalSeconds, bool readWhole)
{
    if (!first_)
        first_ = now;
    int finished = 1;
    if (intervalSeconds > 0)
        finished = std::max(1, static_cast<int>(std::lround((now - *first_) / intervalSeconds)) + 1 - (read + dropped));
    read += readWhole ? 1 : 0;
    dropped += finished - (readWhole ? 1 : 0);
}

QString AutoReadoutCount::Text() const
{
    return dropped > 0 ? QStringLiteral("%1 read, %2 dropped").arg(read).arg(dropped) : QStringLiteral("%1 read").arg(read);
}

std::optional<QString> IntervalWarning(double interval, double captureSeconds,
                                       std::optional<double> readOutSeconds, bool fast)
{
    if (!(interval > 0))
        return std::nullopt;
    const QLocale loc;
    // The sensor cannot start a capture before the last one ends: it flags a period violation.
    if (interval < captureSeconds)
        return QStringLiteral("The interval (%1 s) is shorter than a capture (%2 s): "
                              "captures follow each other without a pause.")
            .arg(loc.toString(interval), loc.toString(captureSeconds));
    // Auto read-out loses every capture that ends while the one before is being read out.
    if (readOutSeconds && interval < captureSeconds + *readOutSeconds)
        return QStringLiteral("The interval (%1 s) is shorter than a capture and its read-out (%2 s + %3 s): "
                              "auto read-out drops the captures that end during a read-out.%4")
            .arg(loc.toString(interval), loc.toString(captureSeconds), loc.toString(*readOutSeconds, 'f', 2),
                 fast ? QString() : QStringLiteral(" Fast read-out reads a capture in a fraction of the time."));
    return std::nullopt;
}

std::optional<double> IntervalSeconds(int32_t captPrd)
{
    static constexpr double kUnitSeconds[3] = {1.0, 60.0, 3600.0};
    const int unit = CaptureSettings::UnitsOf(captPrd);
    if (unit < 0 || unit > 2)
        return std::nullopt;
    return CaptureSettings::PeriodOf(captPrd) * kUnitSeconds[unit];
}

void Trigger(BenchSession& session, const WaitHooks& hooks)
{
    WriteRegister(session, session.Table().idxCOMMAND, cfg::kCmdClearStatus);
    Delay(50.0f);
    StatusOf(session, hooks);
    WriteRegister(session, session.Table().idxCOMMAND, cfg::kCmdCaptureStartStop);
}

bool CountDown(double seconds, const WaitHooks& hooks)
{
    double t = seconds * 1.1;
    do {
        if (hooks.showCountDown)
            hooks.showCountDown(t);
        Pause(hooks, 100);
        t -= kStep;
        if (hooks.aborted && hooks.aborted())
            return false;
    } while (t > 0);
    return true;
}

double LateCaptureBound(double captureSeconds) { return std::max(2.0, captureSeconds); }

WaitOutcome AwaitDataReady(BenchSession& session, double boundSeconds, const WaitHooks& hooks)
{
    const int steps = static_cast<int>(std::ceil(boundSeconds / kStep));
    for (int i = 0;; ++i) {
        const std::optional<int32_t> status = StatusOf(session, hooks);
        if (!status)
            return WaitOutcome::NotFinished;
        if (*status & kDataReadyBit)
            return WaitOutcome::Finished;
        if (i >= steps)
            return WaitOutcome::NotFinished;
        if (hooks.showCountDown)
            hooks.showCountDown(0);
        Pause(hooks, 100);
        if (hooks.aborted && hooks.aborted())
            return WaitOutcome::Aborted;
    }
}

std::optional<double> CaptureSeconds(int product, bool writeFlash, int avgExponent, bool extended)
{
    const auto table = CaptureSettings::DurationTable(product, writeFlash);
    if (!table)
        return std::nullopt;
    const double one = (*table)[size_t(std::clamp(avgExponent, 0, CaptureSettings::kAvgListCount - 1))];
    // An extended capture fills all three buffers with one axis.
    return extended ? std::round(one * 100.0) / 100.0 * 3 : one;
}

QString WaitLossReason(BenchSession& session, WaitOutcome outcome)
{
    switch (outcome) {
    case WaitOutcome::Aborted:
        return QStringLiteral("the capture was aborted");
    case WaitOutcome::NotFinished:
        return session.LinkUp() ? QStringLiteral("the sensor did not report the capture finished (Data Ready)")
                        : QStringLiteral("no interface answers");
    case WaitOutcome::Finished:
        break;
    }
    return {};
}

RunResult ConfigureAndCapture(BenchSession& session, const Setup& setup, const WaitHooks& hooks, DataLog::Series* series)
{
    RunResult result;
    auto lost = [&](WaitOutcome outcome) {
        result.wait = outcome;
        result.waitReason = WaitLossReason(session, outcome);
        return result;
    };
    if (!session.LinkUp())
        return lost(WaitOutcome::NotFinished);
    const RegisterMap& table = session.Table();
    ReadRegister(session, table.idxCAPT_CTRL);
    const auto old = CaptureSettings::DecodeCaptCtrl(session.reg.raw);
    WriteRegister(session, table.idxCAPT_CTRL,
                  CaptureSettings::ComposeCaptCtrl(old.powerDown, setup.modeIndex, old.preTrigger, old.writeFlash,
                                                   old.bpFilter));
    WriteRegister(session, table.idxAVG_CNT, setup.avgExponent);
    const double seconds =
        CaptureSeconds(session.product, old.writeFlash, setup.avgExponent, setup.modeIndex >= 3).value_or(0);

    Trigger(session, hooks);
    if (!CountDown(seconds, hooks))
        return lost(WaitOutcome::Aborted);
    const WaitOutcome waited = AwaitDataReady(session, LateCaptureBound(seconds), hooks);
    if (waited != WaitOutcome::Finished)
        return lost(waited);
    result.wait = waited;
    result.readOut = ReadOut(session, setup.avgExponent);
    if (result.readOut.complete && series)
        result.file = DataLog::WriteNextDataFile(*series, result.readOut.record, session.statusBits, DataLog::Locale(),
                                                 DataLog::Now());
    StatusOf(session, hooks);
    return result;
}

QString LostCaptureMessage(const QString& reason)
{
    return QStringLiteral("The capture was lost: %1.\n\nThe plot, the analysis and the data log keep the "
                          "previous capture.")
        .arg(reason);
}

} // namespace capture
