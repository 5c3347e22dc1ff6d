// The capture settings the main window shows and writes: the capture duration for every
// product, averaging and write-to-flash choice, the count-down taken from it, and the capture
// period's time unit at the wire.
#include "CaptureTestBench.h"
#include <cmath>

using namespace m470Reg;

namespace {
// Capture durations in seconds by averaging exponent, as the sensors' data sheets give them.
constexpr double k31470[11] = {0.2, 0.2, 0.2, 0.2, 0.39, 0.46, 0.91, 1.6, 3.0, 6.0, 12.13};
constexpr double k31473[11] = {0.23, 0.23, 0.23, 0.23, 0.28, 0.6, 1.1, 2.2, 4.3, 8.5, 16.9};
constexpr double k31473Flash[11] = {0.6, 0.6, 0.7, 0.7, 0.8, 1.1, 1.6, 2.7, 4.8, 9, 17.4};

constexpr uint16_t kWriteFlash = 0x0040;
constexpr uint16_t kExtendedX = 0x000C;

int Base(int16_t index) { return m470Reg::Table().RegisterTable[index].BaseAddr; }

// 16-bit values written to the register at `base` (high byte first, then low byte).
QList<int> WordWrites(const sim::VirtualSensor& s, int base)
{
    QList<int> out;
    int high = -1;
    for (const sim::SpiFrame& f : s.Frames()) {
        if (!(f.mosi & 0x8000))
            continue;
        const int addr = (f.mosi >> 8) & 0x7F;
        if (addr == base + 1) {
            high = f.mosi & 0xFF;
        } else if (addr == base && high >= 0) {
            out.append(high * 256 + (f.mosi & 0xFF));
            high = -1;
        }
    }
    return out;
}
} // namespace

class TestCaptureSettings : public QObject {
    Q_OBJECT
    frmForm1* w = nullptr;

    sim::VirtualSensor& sensor() { return sim::CurrentBoard()->Sensor(0); }

    // The product, CAPT_CTRL and AVG_CNT as the device holds them, read back by the window.
    void deviceHolds(int product, uint16_t captCtrl, uint16_t avg)
    {
        if (Module1::ProductNumber != product)
            w->SetProductNumber(static_cast<int16_t>(product));
        if (sensor().Peek(Base(m470Reg::Table().idxCAPT_CTRL)) != captCtrl) {
            sensor().Poke(Base(m470Reg::Table().idxCAPT_CTRL), captCtrl);
            w->ReadCapCtrl();
        }
        sensor().Poke(Base(m470Reg::Table().idxAVG_CNT), avg);
        w->ReadAVG();
        sensor().ClearFrames();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        w = tb::OpenMainWindow();
    }
    void cleanupTestCase() { frmForm1::destroyInstance(); }

    void durationShown_data()
    {
        tb::Columns<int, int, int, QString>({"product", "captCtrl", "avg", "shown"});
        const auto cells = [](int product, uint16_t ctrl, const double* seconds, const char* column) {
            for (int n = 0; n <= 10; ++n) {
                // Extended captures last three times as long, shown in the general number format.
                const QString shown = (ctrl & kExtendedX) ? QString::number(std::lround(seconds[n] * 100) * 3 / 100.0)
                                                          : QString::number(seconds[n], 'f', 2);
                QTest::addRow("%d %s avg %d", product, column, 1 << n) << product << int(ctrl) << n << shown;
            }
        };
        cells(31470, 0, k31470, "");
        cells(31470, kWriteFlash, k31470, "flash ticked"); // no flash column on the single-axis sensor
        cells(31473, 0, k31473, "");
        cells(31473, kWriteFlash, k31473Flash, "flash");
        cells(31473, kExtendedX, k31473, "extended");
        cells(31473, kExtendedX | kWriteFlash, k31473Flash, "extended flash");
        QTest::newRow("31473 AVG_CNT 16 counts as 1") << 31473 << 0 << 16 << "0.23";
    }
    void durationShown()
    {
        QFETCH(int, product);
        QFETCH(int, captCtrl);
        QFETCH(int, avg);
        deviceHolds(product, uint16_t(captCtrl), uint16_t(avg));
        QTEST(w->LbLCapDuration->text(), "shown");
        QCOMPARE(w->ComboAVG->currentIndex(), avg <= 10 ? avg : 0);
    }

    // The busy box starts at 110 % of the duration shown, to a tenth of a second.
    void countDownStart_data()
    {
        tb::Columns<int, int, int, QString>({"product", "captCtrl", "avg", "first"});
        QTest::newRow("31470 avg 1024") << 31470 << 0 << 10 << "Capture Busy  13.3";
        QTest::newRow("31470 avg 16") << 31470 << 0 << 4 << "Capture Busy  0.4";
        QTest::newRow("31473 avg 1") << 31473 << 0 << 0 << "Capture Busy  0.3";
        QTest::newRow("31473 flash avg 64") << 31473 << int(kWriteFlash) << 6 << "Capture Busy  1.8";
        QTest::newRow("31473 extended avg 64") << 31473 << int(kExtendedX) << 6 << "Capture Busy  3.6";
        QTest::newRow("31473 extended flash avg 1024") << 31473 << int(kExtendedX | kWriteFlash) << 10
                                                       << "Capture Busy  57.4";
    }
    void countDownStart()
    {
        QFETCH(int, product);
        QFETCH(int, captCtrl);
        QFETCH(int, avg);
        deviceHolds(product, uint16_t(captCtrl), uint16_t(avg));
        QString first;
        w->txtCapBusy->clear();
        // The first text shown ends the wait: the user aborts at once.
        auto c = connect(w->txtCapBusy, &QLineEdit::textChanged, w, [&](const QString& t) {
            if (first.isEmpty()) {
                first = t;
                w->cmdONE->click();
            }
        });
        w->cmdONE->click();
        disconnect(c);
        QTEST(first, "first");
        QCOMPARE(w->cmdONE->text(), QStringLiteral("Trigger"));
    }

    // Minutes and hours go to bits 8-9 of CAPT_PRD, the period to bits 0-7, and come back.
    void periodUnitAtTheWire_data()
    {
        tb::Columns<int, QString, int>({"unit", "period", "written"});
        QTest::newRow("10 minutes") << 1 << "10" << 0x010A;
        QTest::newRow("255 hours") << 2 << "255" << 0x02FF;
        QTest::newRow("1 second") << 0 << "1" << 0x0001;
    }
    void periodUnitAtTheWire()
    {
        QFETCH(int, unit);
        QFETCH(QString, period);
        QFETCH(int, written);
        sensor().Poke(Base(m470Reg::Table().idxCAPT_PRD), 0x0105);
        w->ReadCapPrd();
        w->txtTimerValue->setText(period);
        sensor().ClearFrames();
        w->ComboTimerUnits->setCurrentIndex(unit);
        emit w->ComboTimerUnits->activated(unit);
        QCOMPARE(WordWrites(sensor(), Base(m470Reg::Table().idxCAPT_PRD)), QList<int>{written});
        QCOMPARE(int(sensor().Peek(Base(m470Reg::Table().idxCAPT_PRD))), written);
        QCOMPARE(w->ComboTimerUnits->currentIndex(), unit);
        QCOMPARE(w->txtTimerValue->text(), period);
    }

    void periodUnitRead_data()
    {
        // unit -1: the list keeps its selection and the message says why
        tb::Columns<int, int, QString>({"raw", "unit", "period"});
        QTest::newRow("5 hours") << 0x0205 << 2 << "5";
        QTest::newRow("200 minutes, unused bits ignored") << 0xFDC8 << 1 << "200";
        QTest::newRow("unit field 3") << 0x0307 << -1 << "7";
    }
    void periodUnitRead()
    {
        QFETCH(int, raw);
        QFETCH(int, unit);
        w->ComboTimerUnits->setCurrentIndex(0);
        sensor().Poke(Base(m470Reg::Table().idxCAPT_PRD), uint16_t(raw));
        sbtest::ClearMessages();
        w->ReadCapPrd();
        QTEST(w->txtTimerValue->text(), "period");
        QCOMPARE(w->ComboTimerUnits->currentIndex(), unit < 0 ? 0 : unit);
        const QStringList expected{QStringLiteral("Error reading Capture Period register\r\n\r\nTime units bit field "
                                                  "(bits 8, 9) value = 3\r\n\r\nThis value should not be greater than 2.")};
        QCOMPARE(sbtest::MessageTexts(), unit < 0 ? expected : QStringList{});
    }
};

SB_TEST_MAIN(TestCaptureSettings)
#include "tst_capturesettings.moc"
