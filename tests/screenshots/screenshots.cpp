// Renders the README's pictures of the main window from captures on the virtual board, offscreen.
//   screenshots OUTPUT_DIR
// The picture at scale 1.5 comes from a second run of this program (--scaled) at that scale.
#include "../capture/CaptureTestBench.h"
#include "analysis/ui/AmplitudeSpectrumWidget.h"
#include "analysis/ui/GuiAnalysis.h"
#include "analysis/ui/TrendWidget.h"
#include "capture/CaptureWorkflow.h"
#include "datalog/DataFile.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QMouseEvent>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {
frmForm1* Capture(int mode, int avg)
{
    frmForm1* w = tb::OpenMainWindow();
    w->resize(1360, 900);
    w->show();
    w->ComboCapMode->setCurrentIndex(mode);
    w->WriteCapCtrl();
    w->ComboAVG->setCurrentIndex(avg);
    w->ComboAVG_Click();
    w->FrameDataPLot->ckADC0->setChecked(true);
    w->FrameDataPLot->ckADC1->setChecked(true);
    w->FrameDataPLot->SetScaleCaption(QStringLiteral("3"));
    w->cmdONE->click();
    ui::PumpEvents();
    return w;
}

// The pointer over the plot at a fraction of its width, so the cursor read-out shows values.
void PointAt(frmForm1* w, double fx)
{
    PlotSurface* s = w->FrameDataPLot->picture1;
    const QPointF at(s->width() * fx, s->height() / 3.0);
    QMouseEvent move(QEvent::MouseMove, at, s->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(s, &move);
    w->UpdateStatusBar();
    ui::PumpEvents();
}

bool Save(QWidget* w, const QDir& dir, const QString& file)
{
    const bool ok = w->grab().save(dir.filePath(file));
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(dir.filePath(file)));
    return ok;
}
// The window as it opens on a 1600x1000 screen at scale 1.5: 1066x666 device-independent
// pixels less a title bar, drawn at that scale.
bool SaveScaled(const QDir& out)
{
    frmForm1* w = Capture(0, 2);
    w->resize(1600 * 2 / 3, 1000 * 2 / 3 - 26);
    ui::PumpEvents();
    PointAt(w, 0.5);
    const bool ok = Save(w, out, QStringLiteral("mainwindow-scale1.5.png"));
    frmForm1::destroyInstance();
    return ok;
}

bool RunScaled(const QDir& out)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1.5"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {out.absolutePath(), QStringLiteral("--scaled")});
    return child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    sbtest::InitTestProcess();
    const bool scaled = argc == 3 && QByteArray(argv[2]) == "--scaled";
    if (argc != 2 && !scaled) {
        std::fprintf(stderr, "usage: screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work; // the settings file and data files land here, not in the tree
    QDir::setCurrent(work.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (scaled)
        return SaveScaled(out) ? 0 : 1;
    bool ok = RunScaled(out);

    frmForm1* w = Capture(0, 2);
    PointAt(w, 0.5);
    ok &= Save(w, out, QStringLiteral("capture-normal.png"));
    ok &= Save(w, out, QStringLiteral("mainwindow.png"));
    // Zoomed in on a stretch of the same capture, as the wheel or a rubber band leaves it.
    w->FrameDataPLot->ShowRange(400, 520);
    PointAt(w, 0.4);
    ok &= Save(w->FrameDataPLot, out, QStringLiteral("plot-zoomed.png"));
    if (auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabPlots"))) {
        tabs->setCurrentIndex(1);
        ui::PumpEvents();
        SpectrumWidget* sp = GuiAnalysis::Spectrum(w);
        ok &= Save(sp, out, QStringLiteral("analysis-spectrum.png"));
        sp->ZoomFrequency(1800, 0.3);
        sp->SetMarker(0, sp->NearestPeak(1210, 50));
        sp->SetMarker(1, sp->NearestPeak(2450, 50));
        ui::PumpEvents();
        ok &= Save(sp, out, QStringLiteral("frequency-zoom.png"));
        tabs->setCurrentIndex(0);
    }

    // A data file written by this capture, opened again as a read-only capture.
    DataLog::FileDir = work.path() + QLatin1Char('/');
    const DataLog::WriteResult written = DataLog::WriteNextDataFile();
    CaptureRecord::Last = {};
    if (written.ok && w->OpenDataFile(written.path, Module1::ProductNumber, 0)) {
        PointAt(w, 0.3);
        ok &= Save(w, out, QStringLiteral("opened-file.png"));
    } else {
        ok = false;
    }

    w = Capture(4, 2); // Extended Time Y
    PointAt(w, 0.6);
    ok &= Save(w, out, QStringLiteral("capture-extended.png"));

    // Automatic mode, a capture a second, each read out by itself; the time axis in ms.
    {
        w = tb::OpenMainWindow();
        w->resize(1360, 900);
        w->show();
        w->ComboCapMode->setCurrentIndex(1);
        w->WriteCapCtrl();
        w->ComboAVG->setCurrentIndex(4);
        w->ComboAVG_Click();
        w->txtTimerValue->setText(QStringLiteral("1"));
        w->WriteCAPT_PRD();
        w->FrameDataPLot->ckADC0->setChecked(true);
        w->FrameDataPLot->ckADC1->setChecked(true);
        w->FrameDataPLot->SetScaleCaption(QStringLiteral("3"));
        w->FrameDataPLot->ckTimeAxis->setChecked(true);
        w->ckAutoReadout->setChecked(true);
        w->cmdONE->click();
        QElapsedTimer running;
        running.start();
        while (running.elapsed() < 2700) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
        PointAt(w, 0.45);
        ok &= Save(w, out, QStringLiteral("auto-readout.png"));
        w->cmdONE->click();
    }

    // A short monitoring run, its velocity trend with the severity zones.
    {
        const QString db = work.filePath(QStringLiteral("trend.sqlite"));
        monitor::Store store;
        QString error;
        ok &= store.Open(db, &error);
        const monitor::MachineClass machine = *monitor::FindMachineClass(QStringLiteral("group2-rigid"));
        auto& axes = sim::CurrentBoard()->Sensor().Signal().axis;
        for (int n = 0; n < 12; ++n) {
            for (sim::Tone& t : axes[1].tones)
                t.amplitude *= 1.12; // a bearing wearing out
            if (capture::ConfigureAndCapture(ProgramSession(), {0, 4}, {}).Complete())
                store.Add(CaptureRecord::Last, true, {}, 0, monitor::Figures(CaptureRecord::Last, machine), machine.name,
                          &error);
        }
    }
    if (auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tabPlots"))) {
        auto* trend = w->findChild<TrendWidget*>(QStringLiteral("trend"));
        tabs->setCurrentWidget(trend);
        ok &= trend->OpenDatabase(work.filePath(QStringLiteral("trend.sqlite")));
        ui::PumpEvents();
        ok &= Save(w, out, QStringLiteral("trend.png"));
    }
    frmForm1::destroyInstance();
    return ok ? 0 : 1;
}
