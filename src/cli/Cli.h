#pragma once
// sensorbench-cli: options, commands and their output.
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace cli {

enum ExitCode { kOk = 0, kDeviceOrFileError = 1, kUsageError = 2 };

struct Options {
    int simCards = -1;        // -1: as SENSORBENCH_SIM says
    int product = 31473;
    int card = -1;            // -1: the first valid card
    int portAddress = -1;     // >= 0: parallel port at this address
    bool trace = false;
    bool json = false;
    bool fast = false;
    bool help = false;
    bool version = false;
    QList<QStringList> commands;  // each: verb and its arguments
};

// Parses argv (without the program name). On error returns false with a message.
bool ParseOptions(const QStringList& args, Options* out, QString* error);
QString HelpText();
QString VersionText();

// Runs every command in order; output to `out`, errors to `err`. Returns the exit code.
int Run(const Options& options, QTextStream& out, QTextStream& err);

} // namespace cli
