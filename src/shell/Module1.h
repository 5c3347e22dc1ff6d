#pragma once
// Process-wide application state, settings file, hex conversions and start-up hooks.
#include <QString>
#include <cstdint>

// Booleans the program compares with -1 stay 16-bit.
using VBool = int16_t;
constexpr VBool VTrue = -1;
constexpr VBool VFalse = 0;

inline const QString kAppTitle = QStringLiteral("Sensor Bench");
inline const QString kCompanyName = QStringLiteral("Quorvane");
inline const QString kSettingsFileName = QStringLiteral("CommPort.cfg");

// How the sensor is reached. The settings file stores the number.
enum InterfaceKind : int16_t { kInterfaceNone = 0, kInterfaceParallel = 1, kInterfaceUsb = 2 };

namespace Module1 {
inline int16_t InterfaceType = kInterfaceNone;   // an InterfaceKind, or what the settings file held
inline int16_t PortAddress = 0;
inline int16_t ProductNumber = 0;     // 31470 or 31473
inline VBool GiveioInstalled = VFalse;
inline VBool SpiLoopStop = VTrue;
inline VBool SpiPolarityPositive = VTrue;
inline uint8_t SpiChannel = 1;
inline uint8_t SpiStaticBits = 120;
inline uint8_t SpiDelay = 25;
inline QString OsName;               // "Win95", "Win98", "WinNT" or "WinXP"

// Step 4 of start-up: the defaults before the settings file is read.
void InitialiseState();

// Settings file in the current working directory (or `path` for tests).
void ReadSettings(const QString& path = kSettingsFileName);
// False with the system's reason in `error` when the file could not be written.
bool WriteSettings(const QString& path = kSettingsFileName, QString* error = nullptr);
// The reading rules applied to a settings file's contents.
void ApplySettingsText(const QByteArray& data);
// The three lines exactly as written to the file.
QByteArray SettingsFileBytes();

// Up to the last four hex digits of text; other characters count as 0.
int32_t HexToLong(const QString& text);
int16_t HexToInteger(const QString& text);

// Start-up steps after calibration: state, settings, product check and table build.
// An invalid stored product is reported in a message box and builds no table.
void LoadStateAndTables(const QString& settingsPath = kSettingsFileName);

// The window caption: company, nine blanks, title.
QString MainWindowCaption();
} // namespace Module1
