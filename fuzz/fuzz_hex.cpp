// Hex conversions on arbitrary text: the result always fits four hex digits.
#include "shell/Module1.h"
#include <QString>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const int32_t l = Module1::HexToLong(text);
    const int16_t i = Module1::HexToInteger(text);
    if (l < 0 || l > 0xFFFF || int16_t(uint16_t(l)) != i)
        std::abort();
    return 0;
}
