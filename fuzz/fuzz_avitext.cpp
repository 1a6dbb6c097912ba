// Fuzzes the reader of an AVI recording's sensor text stream.
#include "avitextstream.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    std::string error;
    if (const auto records = playback::readAviTextRecords(device, error))
        for (const QByteArray &r : *records)
            if (r.size() > 1024)
                __builtin_trap();
    return 0;
}
