#include "TestSupport.h"
#include "shell/Delay.h"

class TestDelay : public QObject {
    Q_OBJECT
private slots:
    void zeroIsANoOp()
    {
        const int32_t before = DelayState::DelayLoopCount;
        DelayState::DelayCalibrated = VFalse;
        float ms = 0.0f;
        Delay(ms);
        QCOMPARE(ms, 0.0f);
        QCOMPARE(DelayState::DelayCalibrated, VFalse);
        QCOMPARE(DelayState::DelayLoopCount, before);
        DelayState::DelayCalibrated = VTrue;
    }

    void smallValuesRaisedInCallersVariable_data()
    {
        QTest::addColumn<float>("in");
        QTest::addColumn<float>("out");
        QTest::newRow("0.001") << 0.001f << 0.01f;
        QTest::newRow("negative") << -3.0f << 0.01f;
        QTest::newRow("0.01 kept") << 0.01f << 0.01f;
        QTest::newRow("0.1 kept") << 0.1f << 0.1f;
    }
    void smallValuesRaisedInCallersVariable()
    {
        QFETCH(float, in);
        Delay(in);
        QTEST(in, "out");
    }

    void firstCallCalibrates()
    {
        DelayState::DelayCalibrated = VFalse;
        DelayState::DelayLoopCount = 1;
        Delay(0.1f);
        QCOMPARE(DelayState::DelayCalibrated, VTrue);
        // Calibration replaces the loop count with a measured one; one iteration per 10 us is far too few.
        QVERIFY(DelayState::DelayLoopCount > 1);
    }
};

SB_TEST_MAIN(TestDelay)
#include "tst_delay.moc"
