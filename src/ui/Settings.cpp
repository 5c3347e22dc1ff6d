#include "ui/Settings.h"

#include <QTemporaryDir>

namespace ui {
namespace {
QString g_dir;
} // namespace

void SetSettingsDirectory(const QString& dir) { g_dir = dir; }

std::unique_ptr<QSettings> Settings()
{
    if (g_dir.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("SensorBench"), QStringLiteral("Sensor Bench"));
    return std::make_unique<QSettings>(g_dir + QStringLiteral("/SensorBench/Sensor Bench.conf"),
                                       QSettings::IniFormat);
}

} // namespace ui
