// The register window on the virtual board: list, facts, read, write, listing, flash, print.
#include "../config/ConfigTestBoard.h"
#include "TestSupport.h"
#include "registers/RegisterListing.h"
#include "registers/ui/frmManualReg.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace cfgtest;
using namespace m470Reg;

class ManualRegTest : public QObject {
    Q_OBJECT
    QPointer<frmManualReg> w;

    // A fresh board and a freshly loaded window.
    void Load(int16_t product)
    {
        if (w) {
            w->close();
            delete w;
        }
        StartBoard(product);
        Sensor().Poke(0x02, 0xFFFB);  // X_NULL = -5
        w = frmManualReg::instance();
        w->show();
    }
    void Choose(int row)
    {
        w->cmboRegister->setCurrentIndex(row);
        emit w->cmboRegister->activated(row);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English));
        frmManualReg::SetPrinterAvailableProbe([] { return false; });
    }
    void init() { sbtest::ClearMessages(); }
    void cleanupTestCase()
    {
        cfg::SetWaitObserver({});
        delete w;
    }

    void load_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("rows");
        QTest::newRow("31470") << 31470 << 27;
        QTest::newRow("31473") << 31473 << 35;
    }
    void load()
    {
        QFETCH(int, product);
        QFETCH(int, rows);
        Load(static_cast<int16_t>(product));
        QCOMPARE(w->cmboRegister->count(), rows);
        QCOMPARE(w->cmboRegister->itemText(1), QStringLiteral(" X_NULL  "));
        // The listing: every row read in order (RESERVED27 cannot be, it repeats COMMAND's value).
        const QStringList lines = w->txtUserReg->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 2 + rows + 1);
        QCOMPARE(lines.mid(0, 2).join(u'\n') + u'\n', RegisterListing::HeaderLines().replace("\r\n", "\n"));
        QCOMPARE(lines[3], QStringLiteral(" X_NULL     \t2\tFFFB"));
        QCOMPARE(Reads().size(), rows - (product == 31473 ? 1 : 0));
        QVERIFY(Writes().isEmpty());
        if (product == 31473)
            QCOMPARE(lines[2 + 27], " RESERVED27     \t50\t" + lines[2 + 26].section(u'\t', 2));
    }

    void nothingChosen()
    {
        Load(31473);
        Clear();
        w->txtDataWrite->setText(QStringLiteral("1234"));
        w->cmdRead->click();
        w->cmdWrite->click();
        QCOMPARE(sbtest::MessageTexts(), QStringList(2, QStringLiteral("Please choose a register from the list first.")));
        QVERIFY(Sensor().Frames().empty());
    }

    void facts_data()
    {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("facts");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("value");
        QTest::newRow("X_NULL negative") << 31470 << 1 << QStringList{"2", "2", "True", "True"} << "FFFFFFFB"
                                         << "-0.09549999";
        QTest::newRow("CAPT_TEMP scaled") << 31473 << 5 << QStringList{"C", "2", "True", "False"} << "4FD"
                                          << "24.81";
    }
    void facts()
    {
        QFETCH(int, product);
        QFETCH(int, row);
        QFETCH(QStringList, facts);
        QFETCH(QString, hex);
        Load(static_cast<int16_t>(product));
        w->txtDataWrite->setText(QStringLiteral("FF"));
        Clear();
        Choose(row);
        QCOMPARE((QStringList{w->txtRegAddr->text(), w->txtRegByte->text(), w->txtRegRead->text(),
                              w->txtRegWrite->text()}),
                 facts);
        QVERIFY(w->cmdRead->isEnabled());
        QCOMPARE(w->cmdWrite->isEnabled(), facts[3] == "True");
        QCOMPARE(w->txtRegHex->text(), hex);
        QTEST(w->txtRegVal->text(), "value");
        QVERIFY(w->txtDataWrite->text().isEmpty());
        QCOMPARE(Reads(), QList<int>{Addr(static_cast<int16_t>(row))});
        // Read (Hex) reads the row again.
        Clear();
        w->cmdRead->click();
        QCOMPARE(Reads(), QList<int>{Addr(static_cast<int16_t>(row))});
        QCOMPARE(w->txtRegHex->text(), hex);
    }

    void writeLastFourHexDigits()
    {
        Load(31473);
        Choose(33);  // SCRATCH_A
        w->txtDataWrite->setText(QStringLiteral("1A2B5"));
        Clear();
        QTest::mouseClick(w->cmdWrite, Qt::LeftButton);
        QCOMPARE(Writes(), Word(0x58, 0xA2B5));
        QCOMPARE(g_waits.size(), 1);
        QCOMPARE(g_waits[0].ms, 100.0f);
        // The listing is read (rows 0..34, row 27 unreadable) before the chosen row.
        const QList<int> reads = Reads();
        QCOMPARE(reads.size(), 34 + 1);
        QCOMPARE(reads[33 - 1], 0x58);
        QCOMPARE(reads.last(), 0x58);
        QVERIFY(w->txtUserReg->toPlainText().contains(QStringLiteral(" SCRATCH_A     \t58\tA2B5")));
        QCOMPARE(w->txtRegHex->text(), QStringLiteral("A2B5"));
    }

    // Print saves the window image to the chosen file; a cancelled choice does nothing.
    void print_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("magic");
        QTest::newRow("png") << "registers.png" << QByteArray("\x89PNG");
        QTest::newRow("pdf") << "registers.pdf" << QByteArray("%PDF");
        QTest::newRow("unwritable") << "/nonexistent-dir/x.png" << QByteArray();
    }
    void print()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, magic);
        Load(31473);
        QTemporaryDir dir;
        const QString path = name.startsWith(u'/') || name.isEmpty() ? name : dir.filePath(name);
        int asked = 0;
        frmManualReg::SetPrintFileChooser([&] { return ++asked, path; });
        w->cmdPrint->click();
        frmManualReg::SetPrintFileChooser({});
        QCOMPARE(asked, 1);
        if (name.startsWith(u'/')) {
            QCOMPARE(sbtest::MessageTexts().size(), 1);
            QVERIFY(sbtest::MessageTexts().first().startsWith(QStringLiteral("The window image could not be saved")));
            return;
        }
        QVERIFY(sbtest::MessageTexts().isEmpty());
        if (magic.isEmpty())
            return;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.size() > 1000);
        QCOMPARE(f.read(magic.size()), magic);
    }
};

SB_TEST_MAIN(ManualRegTest)
#include "tst_manualreg.moc"
