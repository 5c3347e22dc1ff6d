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
QString ReadScalar(int16_t index, double& store, bool raw)
{
    ReadRegister(index);
    store = raw ? static_cast<double>(Spi_mod::RegRaw) : static_cast<double>(Spi_mod::RegValue);
    return FormatReading(static_cast<double>(Spi_mod::RegValue));
}

void ReadBuffer(int16_t bufferIndex, std::array<double, 1025>& values, std::array<double, 1025>& raws)
{
    const int16_t pointer = m470Reg::idxCAPT_PNTR;
    for (int32_t i = 0; i <= 1023; ++i) {
        WriteRegister(pointer, i);
        ReadRegister(bufferIndex);
        values[i] = static_cast<double>(Spi_mod::RegValue);
        raws[i] = static_cast<double>(Spi_mod::RegRaw);
    }
}
} // namespace

ScalarTexts ReadCaptureRecord()
{
    using namespace CaptureRecord;
    ScalarTexts t;
    t.supply = ReadScalar(m470Reg::idxCAPT_SUPPLY, CaptSupply, false);
    t.temp = ReadScalar(m470Reg::idxCAPT_TEMP, CaptTemp, false);
    t.peakX = ReadScalar(m470Reg::idxCAPT_PEAK_X, CaptPeakX, true);
    t.peakY = ReadScalar(m470Reg::idxCAPT_PEAK_Y, CaptPeakY, true);
    t.peakZ = ReadScalar(m470Reg::idxCAPT_PEAK_Z, CaptPeakZ, true);
    WriteRegister(m470Reg::idxCAPT_PNTR, 0);
    if (FastReadout::Applies()) {
        FastReadout::ReadBuffers();
    } else {
        ReadBuffer(m470Reg::idxCAPT_BUF1, BufValue1, BufRaw1);
        ReadBuffer(m470Reg::idxCAPT_BUF2, BufValue2, BufRaw2);
        ReadBuffer(m470Reg::idxCAPT_BUF3, BufValue3, BufRaw3);
    }
    return t;
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
