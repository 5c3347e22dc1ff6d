#include "registers/RegisterListing.h"
#include "device/Spi_mod.h"
#include "registers/m470Reg.h"

namespace RegisterListing {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QChar kTab = u'\t';

QString RTrimSpaces(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    s.truncate(n);
    return s;
}
} // namespace

QString HeaderLines()
{
    return QStringLiteral("Name\t\tAddr\tHex") + kCrLf + QStringLiteral("--------------------\t---------\t---------") +
           kCrLf;
}

QString ListedName(const QString& label)
{
    QString name = label;
    if (name.size() < 5)
        name += QStringLiteral("______");
    if (name.size() > 11)
        name.truncate(11);
    return RTrimSpaces(name);
}

QString ListedValue(int32_t raw)
{
    return QString::number(static_cast<uint32_t>(raw) & 0xFFFFu, 16).toUpper().rightJustified(4, u'0');
}

QString Line(const QString& label, int32_t baseAddr, int32_t raw)
{
    return ListedName(label) + QStringLiteral("     ") + kTab +
           QString::number(static_cast<uint32_t>(baseAddr), 16).toUpper() + kTab + ListedValue(raw) + kCrLf;
}

int16_t LastTableRow(const RegisterMap& table)
{
    int16_t last = table.LastRegisterIndex;
    for (int16_t i = last; i < kRegisterTableRows; ++i)
        if (!table.RegisterTable[static_cast<size_t>(i)].Label.trimmed().isEmpty())
            last = i;
    return last;
}

std::optional<int16_t> FindRegisterRow(const RegisterMap& table, const QString& labelOrRow)
{
    const int16_t last = LastTableRow(table);
    const QString text = labelOrRow.trimmed();
    bool isNumber = false;
    const int row = text.toInt(&isNumber);
    if (isNumber)
        return row >= 0 && row <= last ? std::optional<int16_t>(static_cast<int16_t>(row)) : std::nullopt;
    for (int16_t r = 0; r <= last; ++r)
        if (table.RegisterTable[static_cast<size_t>(r)].Label.trimmed().compare(text, Qt::CaseInsensitive) == 0)
            return r;
    return std::nullopt;
}

QString ReadAll(BenchSession& session, bool everyRow)
{
    const RegisterMap& table = session.Table();
    QString text = HeaderLines();
    const int16_t last = everyRow ? LastTableRow(table) : table.LastRegisterIndex;
    for (int16_t i = 0; i <= last; ++i) {
        ReadRegister(session, i);
        const RegisterEntry& e = table.RegisterTable[static_cast<size_t>(i)];
        text += Line(e.Label, e.BaseAddr, session.reg.raw);
    }
    return text;
}

} // namespace RegisterListing
