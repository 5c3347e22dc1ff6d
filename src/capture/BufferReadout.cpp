#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/FastReadout.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"

#include <QLocale>
#include <array>
#include <cmath>

namespace BufferReadout {

namespace {
QString ReadScalar(BenchSession& session, int16_t index, double& store, bool raw)
{
    ReadRegister(session, index);
    store = raw ? static_cast<double>(session.reg.raw) : static_cast<double>(session.reg.value);
    return FormatReading(static_cast<double>(session.reg.value));
}

// False as soon as the interface stops answering: the rest would only repeat stale words.
bool ReadBuffer(BenchSession& session, int16_t bufferIndex, std::array<double, 1025>& values,
                std::array<double, 1025>& raws)
{
    const int16_t pointer = session.Table().idxCAPT_PNTR;
    for (int32_t i = 0; i <= 1023; ++i) {
        WriteRegister(session, pointer, i);
        ReadRegister(session, bufferIndex);
        if (!session.LinkUp())
            return false;
        values[i] = static_cast<double>(session.reg.value);
        raws[i] = static_cast<double>(session.reg.raw);
    }
    return true;
}
} // namespace

ScalarTexts ReadCaptureRecord(BenchSession& session, CaptureRecord::Record& into)
{
    const RegisterMap& table = session.Table();
    ScalarTexts t;
    into.complete = false;
    t.supply = ReadScalar(session, table.idxCAPT_SUPPLY, into.supply, false);
    t.temp = ReadScalar(session, table.idxCAPT_TEMP, into.temp, false);
    t.peakX = ReadScalar(session, table.idxCAPT_PEAK_X, into.peakX, true);
    t.peakY = ReadScalar(session, table.idxCAPT_PEAK_Y, into.peakY, true);
    t.peakZ = ReadScalar(session, table.idxCAPT_PEAK_Z, into.peakZ, true);
    WriteRegister(session, table.idxCAPT_PNTR, 0);
    if (!session.LinkUp())
        return t;
    if (FastReadout::Applies(session)) {
        into.complete = FastReadout::ReadBuffers(session, into);
    } else {
        into.complete = ReadBuffer(session, table.idxCAPT_BUF1, into.value[0], into.raw[0])
                        && ReadBuffer(session, table.idxCAPT_BUF2, into.value[1], into.raw[1])
                        && ReadBuffer(session, table.idxCAPT_BUF3, into.value[2], into.raw[2]);
    }
    return t;
}

ScalarTexts TextsOf(const CaptureRecord::Record& r)
{
    // The record's own product scales its peaks; a reading never made shows "-".
    const RegisterMap& map = RegisterMapFor(r.product);
    auto text = [](double v) { return std::isnan(v) ? QStringLiteral("-") : FormatReading(v); };
    auto peak = [&](int16_t row, double raw) { return text(map.ScaledValue(row, raw)); };
    return {text(r.supply), text(r.temp), peak(map.idxCAPT_PEAK_X, r.peakX), peak(map.idxCAPT_PEAK_Y, r.peakY),
            peak(map.idxCAPT_PEAK_Z, r.peakZ)};
}

QString FormatReading(double v)
{
    double r = std::nearbyint(v * 10000.0) / 10000.0;
    if (r == 0.0)
        r = 0.0; // no "-0.0"
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = loc.toString(r, 'f', 4);
    const QString point = loc.decimalPoint();
    const int dot = s.indexOf(point);
    if (dot < 0)
        return s;
    int keep = s.size();
    while (keep > dot + point.size() + 1 && s[keep - 1] == QLatin1Char('0'))
        --keep;
    s.truncate(keep);
    return s;
}

} // namespace BufferReadout
