// The calibration, command and MSC_CTRL windows: the frames their controls send and the waits.
#include "ConfigTestBoard.h"
#include "TestSupport.h"
#include "config/ui/fmCalibration.h"
#include "config/ui/frmCommand.h"
#include "config/ui/frmMisc.h"
#include "sim/SignalModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace cfgtest;

namespace {
const QList<int> kNullReads{0x02, 0x04, 0x06};
}

class ConfigWindowsTest : public QObject {
    Q_OBJECT
    QWidget* shown = nullptr;

    template <class W> W* Open(int16_t product, QList<QPair<int, int>> pokes = {})
    {
        StartBoard(product);
        for (auto [addr, value] : pokes)
            Sensor().Poke(addr, static_cast<uint16_t>(value));
        W* w = W::instance();
        w->show();
        shown = w;
        return w;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English)); }
    void cleanup()
    {
        if (shown)
            shown->hide();
        cfg::SetWaitObserver({});
    }

    void calibrationUpdate_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("hex");
        QTest::newRow("negative") << 31470 << 0 << "-0.0955" << -5 << "FFFB";
        QTest::newRow("tri-axis Z") << 31473 << 2 << "1" << 210 << "D2";
        QTest::newRow("no range check") << 31470 << 0 << "1000" << 52356 << "CC84";
    }
    void calibrationUpdate()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(int, counts);
        auto* w = Open<fmCalibration>(static_cast<int16_t>(product), {{0x02, 7}, {0x04, 7}, {0x06, 7}});
        QList<QLineEdit*>{w->txtXnull, w->txtAUX0null, w->txtAUX1null}[row]->setText(text);
        Clear();
        QTest::mouseClick(QList<QPushButton*>{w->cmdWriteX, w->cmdWriteAXU0, w->cmdWriteAUX1}[row], Qt::LeftButton);
        QCOMPARE(Writes(), Word(0x02 + 2 * row, counts));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(Reads(), kNullReads);
        QTEST(QList<QLabel*>({w->lblXnullReg, w->lblAUX0nullReg, w->lblAUX1nullReg})[row]->text(), "hex");
    }

    // One COMMAND write (a single frame) and the button's wait with the window showing it is busy;
    // nothing read back.
    void commandButtons_data()
    {
        QTest::addColumn<bool>("calibration");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("data");
        QTest::addColumn<float>("ms");
        QTest::newRow("factory") << false << "Reset Org. Factory" << 0x3E << 0x08 << 152.0f;
        QTest::newRow("reset") << false << "Software Reset" << 0x3E << 0x80 << 51.0f;
        QTest::newRow("capture") << false << "Capture start/stop" << 0x3F << 0x08 << 51.0f;
        QTest::newRow("calibration Write to Flash") << true << "Write to Flash" << 0x3F << 0x10 << 600.0f;
    }
    void commandButtons()
    {
        QFETCH(bool, calibration);
        QFETCH(QString, caption);
        QFETCH(int, addr);
        QFETCH(int, data);
        QWidget* w = calibration ? static_cast<QWidget*>(Open<fmCalibration>(31473)) : Open<frmCommand>(31473);
        QPushButton* button = nullptr;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == caption)
                button = b;
        QVERIFY(button);
        Clear();
        sbtest::ClearMessages();
        sbtest::SetMessageAnswer(MsgResult::Yes);
        bool busyShown = false;
        cfg::SetWaitObserver([&](float ms) {
            g_waits.append({ms, static_cast<int>(Sensor().Frames().size())});
            busyShown = calibration ? w->cursor().shape() == Qt::WaitCursor
                                    : static_cast<frmCommand*>(w)->LbLBusy->isVisible();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        sbtest::SetMessageAnswer(MsgResult::Ok);
        // Only the factory reset asks first.
        QCOMPARE(sbtest::MessageTexts().size(), caption == "Reset Org. Factory" ? 1 : 0);
        QCOMPARE(Writes(), (QList<Write>{{addr, data}}));
        QCOMPARE(g_waits.size(), 1);
        QTEST(g_waits[0].ms, "ms");
        QCOMPARE(g_waits[0].framesBefore, 1);
        QCOMPARE(Reads(), QList<int>{});
        QVERIFY(busyShown);
        QVERIFY(calibration ? w->cursor().shape() == Qt::ArrowCursor : !static_cast<frmCommand*>(w)->LbLBusy->isVisible());
    }

    // Both auto-null buttons ask first; a Yes writes the command, waits, reads the three nulls once
    // and reports them as the sensor now holds them (counts where the row is not in g).
    void autoNull_data()
    {
        QTest::addColumn<bool>("calibration");
        QTest::addColumn<int>("product");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<int>>("nulls"); // what the sensor will work out
        QTest::addColumn<QStringList>("report");
        QTest::newRow("command window") << false << 31473 << true << QList<int>{-10, 4, 0}
                                        << QStringList{"X_NULL = -0.0477 g (0xFFF6)", "Y_NULL = 0.0191 g (0x0004)",
                                                       "Z_NULL = 0.0000 g (0x0000)"};
        QTest::newRow("calibration, single axis") << true << 31470 << true << QList<int>{-5, -3, 0}
                                                  << QStringList{"X_NULL = -0.0955 g (0xFFFB)",
                                                                 "AUX0_NULL = -3 counts (0xFFFD)",
                                                                 "AUX1_NULL = 0 counts (0x0000)"};
        QTest::newRow("command window declined") << false << 31473 << false << QList<int>{1, 1, 1} << QStringList{};
        QTest::newRow("calibration declined") << true << 31473 << false << QList<int>{1, 1, 1} << QStringList{};
    }
    void autoNull()
    {
        QFETCH(bool, calibration);
        QFETCH(int, product);
        QFETCH(bool, yes);
        QFETCH(QList<int>, nulls);
        QFETCH(QStringList, report);
        const QList<QPair<int, int>> before{{0x02, 7}, {0x04, 7}, {0x06, 7}};
        QWidget* w = calibration ? static_cast<QWidget*>(Open<fmCalibration>(int16_t(product), before))
                                 : Open<frmCommand>(int16_t(product), before);
        const double scale = product == 31470 ? 0.0191 : 0.004768372;
        for (int axis = 0; axis < 3; ++axis)
            Sensor().Signal().axis[size_t(axis)].offset = -nulls[axis] * scale;
        Clear();
        sbtest::ClearMessages();
        sbtest::SetMessageAnswer(yes ? MsgResult::Yes : MsgResult::No);
        QPushButton* button = calibration ? static_cast<fmCalibration*>(w)->cmdAutoNull : static_cast<frmCommand*>(w)->cmdNull;
        QTest::mouseClick(button, Qt::LeftButton);
        sbtest::SetMessageAnswer(MsgResult::Ok);

        const QList<MessageRequest> shown = sbtest::Messages();
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown[0].buttons == MsgButtons::YesNo);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("Run the automatic null?")));
        if (!yes) {
            QCOMPARE(shown.size(), 1);
            QVERIFY(Sensor().Frames().empty());
            QCOMPARE(int(Sensor().Peek(0x02)), 7);
            return;
        }
        QCOMPARE(Writes(), (QList<Write>{{0x3E, 0x01}}));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 700.0f);
        QCOMPARE(g_waits[0].framesBefore, 1);
        QCOMPARE(Reads(), kNullReads);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].icon == MsgIcon::Information);
        for (const QString& line : report)
            QVERIFY2(shown[1].text.contains(line), qPrintable(shown[1].text));
        if (calibration)
            QCOMPARE(static_cast<fmCalibration*>(w)->lblXnullReg->text(), QStringLiteral("FFFB"));
    }

    void factoryResetDeclinedWritesNothing()
    {
        auto* w = Open<frmCommand>(31473);
        Clear();
        sbtest::ClearMessages();
        sbtest::SetMessageAnswer(MsgResult::No);
        QTest::mouseClick(w->cmdOrgFactory, Qt::LeftButton);
        sbtest::SetMessageAnswer(MsgResult::Ok);
        QVERIFY(Writes().isEmpty());
        QVERIFY(sbtest::MessageTexts().value(0).startsWith(QStringLiteral("Reset the sensor")));
    }

    // Opening reads MSC_CTRL and never writes; each choice writes it with only the self-test
    // bit changed, waits and reads back.
    void miscSelfTest()
    {
        auto* w = Open<frmMisc>(31473, {{0x34, 0x0007}});
        QVERIFY(w->OpSTOFF->isChecked());
        QVERIFY(Writes().isEmpty());
        QCOMPARE(Reads(), QList<int>{0x34});
        Clear();
        Choose(w->OpSTON);
        QVERIFY(w->OpSTON->isChecked());
        Choose(w->OpSTOFF);
        QVERIFY(w->OpSTOFF->isChecked());
        QCOMPARE(Writes(), Word(0x34, 0x0107) + Word(0x34, 0x0003));
        QCOMPARE(Reads(), QList<int>(4, 0x34));
        QCOMPARE(g_waits.size(), 2);
        QCOMPARE(g_waits[0].ms, 100.0f);
        QCOMPARE(g_waits[0].framesBefore, 4);
        QCOMPARE(int(Sensor().Peek(0x34)), 0x0003);
    }
};

SB_TEST_MAIN(ConfigWindowsTest)
#include "tst_configwindows.moc"
