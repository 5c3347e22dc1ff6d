// Delay never returns early, even after a calibration taken while the core was shared.
#include "shell/Delay.h"

#include <QtTest/QtTest>
#include <atomic>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace {
void PinToFirstAllowedCpu(pthread_t thread, int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(thread, sizeof(set), &set);
}

int FirstAllowedCpu()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof(set), &set);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &set))
            return c;
    return 0;
}
} // namespace

class tst_delay : public QObject {
    Q_OBJECT
private slots:
    void argumentRules_data();
    void argumentRules();
    void neverShortAfterBusyCalibration();
};

void tst_delay::argumentRules_data()
{
    QTest::addColumn<float>("ms");
    QTest::addColumn<float>("after");
    QTest::newRow("zero is a no-op") << 0.0f << 0.0f;
    QTest::newRow("tiny raised") << 0.001f << 0.01f;
    QTest::newRow("negative raised") << -5.0f << 0.01f;
    QTest::newRow("kept") << 0.5f << 0.5f;
}

void tst_delay::argumentRules()
{
    QFETCH(float, ms);
    QFETCH(float, after);
    DelayState::DelayCalibrated = VFalse;
    QCOMPARE(Delay(ms), after);
    // Without a loading window nothing calibrates: the deadline alone keeps the time.
    QCOMPARE(DelayState::DelayCalibrated, VFalse);
}

void tst_delay::neverShortAfterBusyCalibration()
{
    const int cpu = FirstAllowedCpu();
    const pthread_t self = pthread_self();
    cpu_set_t saved;
    pthread_getaffinity_np(self, sizeof(saved), &saved);
    PinToFirstAllowedCpu(self, cpu);

    std::atomic<bool> stop{false};
    std::thread spinner([&stop] {
        while (!stop.load(std::memory_order_relaxed)) {
        }
    });
    PinToFirstAllowedCpu(spinner.native_handle(), cpu);
    CalibrateDelayScaled(0.02);
    stop = true;
    spinner.join();
    pthread_setaffinity_np(self, sizeof(saved), &saved);

    for (float requested : {1.0f, 0.1f}) {
        for (int i = 0; i < 50; ++i) {
            float arg = requested;
            const double t0 = ClockSeconds();
            Delay(arg);
            const double took = (ClockSeconds() - t0) * 1000.0;
            QVERIFY2(took >= requested, qPrintable(QStringLiteral("Delay(%1) took %2 ms").arg(requested).arg(took)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_delay)
#include "tst_delay.moc"
