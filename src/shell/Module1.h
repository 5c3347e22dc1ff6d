#pragma once
// The program's settings file, hex conversions and start-up hooks.
#include "device/BenchSession.h"
#include "shell/Types.h"
#include <QString>
#include <cstdint>


inline const QString kAppTitle = QStringLiteral("Sensor Bench");
inline const QString kCompanyName = QStringLiteral("Quorvane");
inline const QString kSettingsFileName = QStringLiteral("CommPort.cfg");


// The windows' names for their own session's settings: views, not state of their own.
namespace Module1 {
inline int16_t& InterfaceType = ProgramSession().interfaceType;  // an InterfaceKind, or what the settings file held
inline int16_t& PortAddress = ProgramSession().portAddress;
inline int16_t& ProductNumber = ProgramSession().product;       // 31470 or 31473
inline VBool& GiveioInstalled = ProgramSession().giveioInstalled;
inline VBool& SpiLoopStop = ProgramSession().spiLoopStop;
inline VBool& SpiPolarityPositive = ProgramSession().spi.polarityPositive;
inline uint8_t& SpiChannel = ProgramSession().spi.channel;
inline uint8_t& SpiStaticBits = ProgramSession().spi.staticBits;
inline uint8_t& SpiDelay = ProgramSession().spi.delay;
inline QString& OsName = ProgramSession().osName;               // "Win95", "Win98", "WinNT" or "WinXP"

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
