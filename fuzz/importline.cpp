// The import file's text, cut into lines and columns as the import does.
#include "exchange/ImportLine.h"
#include "exchange/TextCodec.h"

#include "Timed.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        const QString text =
            exchange::DecodeText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        exchange::LineReader reader(text);
        qsizetype lines = 0;
        while (!reader.atEnd()) {
            const qsizetype before = reader.position();
            const exchange::ImportLine row = exchange::ParseImportLine(reader.next());
            // Each line must move the reader on, or the import would never end.
            if (reader.position() <= before && before < reader.size())
                std::abort();
            if (++lines > text.size() + 1)
                std::abort();
            (void)row;
        }
    });
}
