// Any bytes decode in either encoding; the text decoded as code page 1250 encodes back.
#include "formats/TextCodec.h"

#include "Timed.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
        exchange::DetectEncoding(bytes);
        const QString detected = exchange::DecodeText(bytes);
        const QString utf8 = exchange::DecodeText(bytes, exchange::TextEncoding::Utf8);
        const QString cp1250 = exchange::DecodeText(bytes, exchange::TextEncoding::Cp1250);
        QByteArray encoded;
        QChar missing;
        exchange::EncodeCp1250(detected, &encoded, &missing);
        exchange::EncodeCp1250(utf8, &encoded, &missing);
        exchange::EncodeCp1250(cp1250, &encoded);
    });
}
