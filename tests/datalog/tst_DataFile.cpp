// The data file on disk: whole files byte for byte, number text, and files that cannot be written.
#include "TestSupport.h"
#include "DataLogTestData.h"

#include <QDir>
#include <QTemporaryDir>

using namespace dltest;
Q_DECLARE_METATYPE(DataLog::DataFormat)

namespace {
QStringList Lines(const QByteArray& bytes) { return QString::fromUtf8(bytes).split(QStringLiteral("\r\n")); }
QStringList Files(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }
} // namespace

class tst_DataFile : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        DataLog::ResetLocale();
        DataLog::SetClock({});
        DataLog::SetApplicationDirectory({});
    }

    void wholeFile_data()
    {
        QTest::addColumn<QString>("golden");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<DataLog::DataFormat>("format");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("avgExponent");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("C, LSB, defaults") << "c_lsb.csv" << QLocale::c() << DataLog::DataFormat::LSB << QString()
                                           << QString() << 0 << "Datalog_1.csv";
        QTest::newRow("C, scaled, Run.CSV, AVG 8")
            << "c_scaled.csv" << QLocale::c() << DataLog::DataFormat::Scaled << "Run" << ".CSV" << 3 << "Run_1.CSV";
        QTest::newRow("German, LSB, defaults") << "de_lsb.txt" << German() << DataLog::DataFormat::LSB << QString()
                                                << QString() << 0 << "Datalog_1.csv";
        QTest::newRow("German, scaled, Lauf.txt, AVG 1024")
            << "de_scaled.txt" << German() << DataLog::DataFormat::Scaled << "Lauf" << ".txt" << 10 << "Lauf_1.txt";
    }
    void wholeFile()
    {
        QFETCH(QString, golden);
        QFETCH(QLocale, locale);
        QFETCH(DataLog::DataFormat, format);
        QFETCH(QString, base);
        QFETCH(QString, ext);
        QFETCH(int, avgExponent);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        FreshState(dir.path(), locale);
        DataLog::Format = format;
        DataLog::FileBase = base;
        DataLog::FileExt = ext;
        const DataLog::WriteResult r = DataLog::WriteNextDataFile(avgExponent);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.path, dir.filePath(fileName));
        QCOMPARE(r.number, int16_t(1));
        QCOMPARE(DataLog::DataFileNumber, int16_t(2));
        const QByteArray expected = Golden(golden);
        QVERIFY(!expected.isEmpty());
        // Line by line, so that a difference names its line; the split on CR LF is lossless.
        QCOMPARE(Lines(ReadAll(r.path)), Lines(expected));
        QCOMPARE(Files(dir.path()), QStringList{fileName});
    }

    void generalNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("single widened") << double(0.0955f) << QLocale::c() << "0.0954999998211861";
        QTest::newRow("tie rounds away from zero") << -42.21099853515625 << QLocale::c() << "-42.2109985351563";
        QTest::newRow("no grouping") << 1234567.5 << German() << "1234567,5";
        QTest::newRow("small") << 0.00001 << QLocale::c() << "1E-05";
        QTest::newRow("negative zero") << -0.0 << QLocale::c() << "0";
    }
    void generalNumber()
    {
        QFETCH(double, value);
        QFETCH(QLocale, locale);
        QTEST(DataLog::GeneralNumber(value, locale), "text");
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing directory") << "missing";
        QTest::newRow("directory is a file") << "file";
        QTest::newRow("name taken by a directory") << "taken";
        QTest::newRow("read-only directory") << "readonly";
    }
    void unwritable()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        FreshState(dir.path());
        const QString target = dir.filePath(QStringLiteral("target"));
        if (kind == "file") {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (kind == "taken") {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("target/Datalog_5.csv")));
        } else if (kind == "readonly") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
            if (QFile probe(target + "/probe"); probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("permissions do not bind this user (root)");
            }
        }
        DataLog::FileDir = target + QLatin1Char('/');
        DataLog::DataFileNumber = 5;
        const DataLog::WriteResult r = DataLog::WriteNextDataFile(0);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(r.path, target + QStringLiteral("/Datalog_5.csv"));
        QCOMPARE(DataLog::DataFileNumber, int16_t(5));
        const QString message = DataLog::WriteFailureMessage(r);
        QVERIFY2(message.contains(r.path) && message.contains(r.error), qPrintable(message));
        // No partial or temporary file anywhere.
        if (QFileInfo(target).isDir())
            QVERIFY2(Files(target).isEmpty(), qPrintable(Files(target).join(u' ')));
        QCOMPARE(Files(dir.path()).size(), kind == "file" ? 1 : 0);
    }

    // Writes sample files for the csv-module check when CTest asks for them.
    void csvSample()
    {
        const QString out = qEnvironmentVariable("SB_CSV_SAMPLE_DIR");
        if (out.isEmpty())
            QSKIP("only for the csv check");
        QVERIFY(QDir().mkpath(out));
        FreshState(out);
        QFile::remove(out + QStringLiteral("/Datalog_1.csv"));
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
        FreshState(out, German());
        DataLog::Format = DataLog::DataFormat::Scaled;
        DataLog::FileBase = QStringLiteral("Lauf");
        DataLog::FileExt = QStringLiteral(".txt");
        QVERIFY(DataLog::WriteNextDataFile(0).ok);
    }
};

SB_TEST_MAIN(tst_DataFile)
#include "tst_DataFile.moc"
