#include "shell/Module1.h"
#include "shell/SaveFile.h"
#include "registers/m470Reg.h"
#include "shell/Messages.h"

#include <QFile>
#include <optional>

namespace Module1 {

void InitialiseState()
{
    GiveioInstalled = VFalse;
    SpiLoopStop = VTrue;
    SpiPolarityPositive = VTrue;
    SpiChannel = 1;
    SpiStaticBits = 120;
    SpiDelay = 25;
    InterfaceType = kInterfaceNone;
}

namespace {
// Settings files are three short lines; anything far larger is not ours.
constexpr qint64 kMaxSettingsBytes = 1 << 20;

// Fields run to the next comma or line end; a field opening with a quote runs to its closing quote.
QList<QByteArray> SplitFields(const QByteArray& data)
{
    QList<QByteArray> fields;
    qsizetype i = 0;
    const qsizetype n = data.size();
    while (i < n) {
        while (i < n && (data[i] == ' ' || data[i] == '\t'))
            ++i;
        QByteArray field;
        if (i < n && data[i] == '"') {
            ++i;
            while (i < n && data[i] != '"')
                field += data[i++];
            ++i;
            while (i < n && data[i] != ',' && data[i] != '\n' && data[i] != '\r')
                ++i;
        } else {
            while (i < n && data[i] != ',' && data[i] != '\n' && data[i] != '\r')
                field += data[i++];
        }
        if (i < n && data[i] == '\r' && i + 1 < n && data[i + 1] == '\n')
            ++i;
        ++i;
        fields.append(field);
    }
    return fields;
}

std::optional<int16_t> ToInt16(const QByteArray& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < -32768 || v > 32767)
        return std::nullopt;
    return static_cast<int16_t>(v);
}

QByteArray ValueText(int16_t v)
{
    return (v >= 0 ? QByteArray(" ") : QByteArray()) + QByteArray::number(v) + ' ';
}
} // namespace

void ReadSettings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.read(kMaxSettingsBytes);
    file.close();
    ApplySettingsText(data);
}

void ApplySettingsText(const QByteArray& data)
{
    for (const QByteArray& field : SplitFields(data)) {
        const qsizetype eq = field.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = field.left(eq).chopped(eq > 0 ? 1 : 0);
        const QByteArray value = field.mid(eq + 1).mid(1);
        const auto number = ToInt16(value);
        if (!number)
            continue;
        if (key == "Interface")
            InterfaceType = *number;
        else if (key == "Port Address")
            PortAddress = *number;
        else if (key == "ProductNumber")
            ProductNumber = *number;
    }
}

QByteArray SettingsFileBytes()
{
    return "Interface = " + ValueText(InterfaceType) + "\r\n" + "Port Address = " + ValueText(PortAddress)
        + "\r\n" + "ProductNumber = " + ValueText(ProductNumber) + "\r\n";
}

bool WriteSettings(const QString& path, QString* error)
{
    return SaveWholeFile(path, SettingsFileBytes(), error);
}

int32_t HexToLong(const QString& text)
{
    int32_t value = 0;
    int32_t weight = 1;
    const qsizetype first = text.size() > 4 ? text.size() - 4 : 0;
    for (qsizetype i = text.size() - 1; i >= first; --i) {
        const QChar c = text[i];
        int digit = 0;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            digit = c.unicode() - 'a' + 10;
        value += digit * weight;
        weight *= 16;
    }
    return value;
}

int16_t HexToInteger(const QString& text)
{
    const int32_t v = HexToLong(text);
    return static_cast<int16_t>(v >= 32768 ? v - 65536 : v);
}

void LoadStateAndTables(const QString& settingsPath)
{
    InitialiseState();
    ReadSettings(settingsPath);
    if (ProductNumber == 0)
        ProductNumber = 31473;
    if (ProductNumber == 31470)
        BuildTable31470();
    else if (ProductNumber == 31473)
        BuildTable31473();
    else {
        ClearTable();
        MsgBox(QStringLiteral("error Module1 ProductNumber = %1\r\n is not valid").arg(ProductNumber),
               MsgIcon::Critical);
    }
}

QString MainWindowCaption()
{
    return kCompanyName + QStringLiteral("         ") + kAppTitle;
}

} // namespace Module1
