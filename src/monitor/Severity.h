#pragma once
// Vibration severity zones A-D from the velocity RMS (mm/s, 10-1000 Hz) against the zone
// boundaries for the machine's class: group 1 (large machines) or group 2 (medium machines),
// on a rigid or a flexible foundation.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace monitor {

struct MachineClass {
    QString name;                   // "group1-rigid", ...
    std::array<double, 3> bounds{}; // A/B, B/C, C/D in mm/s
};

// The four classes; the first is the default.
const std::array<MachineClass, 4>& MachineClasses();
std::optional<MachineClass> FindMachineClass(const QString& name);
QStringList MachineClassNames();

// 'A' below A/B, 'B' from A/B, 'C' from B/C, 'D' from C/D; '-' for a value that is no velocity (NaN).
QChar Zone(double velocityRms, const MachineClass& machine);

} // namespace monitor
