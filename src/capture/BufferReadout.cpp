#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "capture/CaptureWorkflow.h"
#include "capture/FastReadout.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"

#include <QLocale>
#include <array>
#include <cmath>

namespace BufferReadout {

namespace {
QString ReadScalar(int16_t index, double& store, bool raw)
{
    ReadRegister(index);
    store = raw ? static_cast<double>(Spi_mod::RegRaw) : static_cast<double>(Spi_mod::RegValue);
    return FormatReading(static_cast<double>(Spi_mod::RegValue));
}

// False as soon as the interface stops answering: the rest would only repeat stale words.
bool ReadBuffer(int16_t bufferIndex, std::array<double, 1025>& values, std::array<double, 1025>& raws)
{
    const int16_t pointer = m470Reg::Table().idxCAPT_PNTR;
    for (int32_t i = 0; i <= 1023; ++i) {
        WriteRegister(pointer, i);
        ReadRegister(bufferIndex);
        if (!capture::LinkUp())
            return false;
        values[i] = static_cast<double>(Spi_mod::RegValue);
        raws[i] = static_cast<double>(Spi_mod::RegRaw);
    }
    return true;
}
} // namespace

ScalarTexts ReadCaptureRecord(CaptureRecord::Record& into)
{
    ScalarTexts t;
    into.complete = false;
    t.supply = ReadScalar(m470Reg::Table().idxCAPT_SUPPLY, into.supply, false);
    t.temp = ReadScalar(m470Reg::Table().idxCAPT_TEMP, into.temp, false);
    t.peakX = ReadScalar(m470Reg::Table().idxCAPT_PEAK_X, into.peakX, true);
    t.peakY = ReadScalar(m470Reg::Table().idxCAPT_PEAK_Y, into.peakY, true);
    t.peakZ = ReadScalar(m470Reg::Table().idxCAPT_PEAK_Z, into.peakZ, true);
    WriteRegister(m470Reg::Table().idxCAPT_PNTR, 0);
    if (!capture::LinkUp())
        return t;
    if (FastReadout::Applies()) {
        into.complete = FastReadout::ReadBuffers(into);
    } else {
        into.complete = ReadBuffer(m470Reg::Table().idxCAPT_BUF1, into.value[0], into.raw[0])
                        && ReadBuffer(m470Reg::Table().idxCAPT_BUF2, into.value[1], into.raw[1])
                        && ReadBuffer(m470Reg::Table().idxCAPT_BUF3, into.value[2], into.raw[2]);
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
