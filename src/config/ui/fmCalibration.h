#pragma once
// "Calibration": the three null registers in engineering units and in hex, auto-null and
// the flash commands.
#include "config/ui/GuiActivation.h"
#include <QString>
#include <array>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class fmCalibration : public ActivatingWindow {
    Q_OBJECT
public:
    static fmCalibration* instance();

    void Form_Activate() override;
    void ReadCalRegisters();
    // Restores the settings from flash and shows the restored nulls.
    void RestoreFromFlash();

    // The auto-null, here and in the command window: it replaces the nulls, so it asks first
    // (default No), and afterwards it says what the sensor put into the null registers.
    static bool ConfirmAutoNull();
    struct NullReading {
        QString name;                 // the register's name
        bool counts = false;          // plain counts, not g
        std::optional<int32_t> raw;   // nothing when the read did not reach the sensor
        double value = 0;
    };
    // Reads the three null registers.
    static std::array<NullReading, 3> ReadNulls();
    static void ReportAutoNull(const std::array<NullReading, 3>& nulls);

    void cmdWriteX_Click();
    void cmdWriteAXU0_Click();
    void cmdWriteAUX1_Click();
    void cmdAutoNull_Click();
    void cmdFlashUpdate_Click();
    void cmdReadFromFlash_Click();

    QPushButton* cmdReadFromFlash = nullptr;
    QPushButton* cmdFlashUpdate = nullptr;
    QPushButton* cmdWriteAUX1 = nullptr;
    QLineEdit* txtAUX1null = nullptr;
    QPushButton* cmdAutoNull = nullptr;
    QPushButton* cmdWriteAXU0 = nullptr;
    QPushButton* cmdWriteX = nullptr;
    QLineEdit* txtAUX0null = nullptr;
    QLineEdit* txtXnull = nullptr;
    QLabel* lblAUX1nullReg = nullptr;
    QLabel* lblAUX0nullReg = nullptr;
    QLabel* lblXnullReg = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;

private:
    explicit fmCalibration(QWidget* parent);
    void WriteNull(int16_t row, QLineEdit* box);
    void ShowNulls(const std::array<NullReading, 3>& nulls);
};
