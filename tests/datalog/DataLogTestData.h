#pragma once
// Shared set-up for the data-log tests: the capture record pattern that
// make_golden.py also produces, and a clean data-log state.
#include "capture/CaptureRecord.h"
#include "datalog/DataFile.h"

#include <QDateTime>
#include <QFile>
#include <QString>

namespace dltest {

// Same pattern as make_golden.py; scaled values are single-precision products.
inline void FillPattern()
{
    using namespace CaptureRecord;
    Last.avgExponent = 0;
    CaptSupply = double(3.3042f);
    CaptTemp = double(23.4567f);
    CaptPeakX = -35;
    CaptPeakY = 1021;
    CaptPeakZ = 0;
    for (int i = 0; i < 1024; ++i) {
        const int r1 = i - 512;
        const int r2 = (i * 37) % 2048 - 1024;
        const int r3 = -((i * 11) % 97);
        BufRaw1[size_t(i)] = r1;
        BufRaw2[size_t(i)] = r2;
        BufRaw3[size_t(i)] = r3;
        BufValue1[size_t(i)] = double(float(r1) * 0.0955f);
        BufValue2[size_t(i)] = double(float(r2) * 0.00122f);
        BufValue3[size_t(i)] = double(float(r3) * 0.5f);
    }
}

inline void ClearStatusBits()
{
    for (auto& b : StatusDisplay::StatusBits)
        b.clear();
}

inline QDateTime FixedTime() { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4)); }

inline QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }

// Start-up state with a fixed clock and locale, files defaulting to `appDir`.
inline void FreshState(const QString& appDir, const QLocale& locale = QLocale::c())
{
    DataLog::ResetState();
    DataLog::SetLocale(locale);
    DataLog::SetClock(FixedTime);
    DataLog::SetDefaultDirectory(appDir);
    ClearStatusBits();
    FillPattern();
}

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline QByteArray Golden(const QString& name)
{
    return ReadAll(qEnvironmentVariable("SB_SOURCE_DIR") + QStringLiteral("/tests/datalog/data/") + name);
}

} // namespace dltest
