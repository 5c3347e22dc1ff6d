#include "monitor/Severity.h"
#include <cmath>

namespace monitor {

const std::array<MachineClass, 4>& MachineClasses()
{
    static const std::array<MachineClass, 4> classes{{
        {QStringLiteral("group2-rigid"), {1.4, 2.8, 4.5}},
        {QStringLiteral("group2-flexible"), {2.3, 4.5, 7.1}},
        {QStringLiteral("group1-rigid"), {2.3, 4.5, 7.1}},
        {QStringLiteral("group1-flexible"), {3.5, 7.1, 11.0}},
    }};
    return classes;
}

std::optional<MachineClass> FindMachineClass(const QString& name)
{
    for (const MachineClass& c : MachineClasses())
        if (c.name == name)
            return c;
    return std::nullopt;
}

QStringList MachineClassNames()
{
    QStringList names;
    for (const MachineClass& c : MachineClasses())
        names << c.name;
    return names;
}

QChar Zone(double v, const MachineClass& machine)
{
    if (std::isnan(v))
        return QLatin1Char('-');
    int zone = 0;
    while (zone < 3 && v >= machine.bounds[static_cast<size_t>(zone)])
        ++zone;
    return QChar(u'A' + zone);
}

} // namespace monitor
