// Settings-file reader on arbitrary bytes: must never crash and only ever assign 16-bit values.
#include "shell/Module1.h"
#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Module1::InitialiseState();
    Module1::ApplySettingsText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
