#include "cli/Cli.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments();
    args.removeFirst();
    cli::Options options;
    QString error;
    if (!cli::ParseOptions(args, &options, &error)) {
        err << "sensorbench-cli: " << error << "\n" << "Try 'sensorbench-cli --help'.\n";
        return cli::kUsageError;
    }
    if (options.help || options.version) {
        out << (options.help ? cli::HelpText() : cli::VersionText());
        return cli::kOk;
    }
    const int rc = cli::Run(options, out, err);
    out.flush();
    err.flush();
    return rc;
}
