// The import file's text, cut into lines and columns as the import does.
#include "formats/ImportLine.h"
#include "formats/TextCodec.h"

#include "Timed.h"

#include <QBuffer>

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
        // The import reads the file as a stream and tells its progress against a count made
        // beforehand: both must find the same lines, and no kept line may pass the limit.
        const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
        const qsizetype limit = size > 0 ? 1 + data[0] % 64 : 8;
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        exchange::LineStream stream(&device, limit);
        QByteArray line;
        qint64 streamed = 0;
        for (exchange::LineStream::Result r; (r = stream.next(&line)) != exchange::LineStream::Result::End;) {
            if (r == exchange::LineStream::Result::ReadError || line.size() > limit ||
                stream.lineNumber() != ++streamed || streamed > qint64(size) + 1)
                std::abort();
        }
        exchange::LineCounter counter;
        for (qsizetype at = 0; at < bytes.size(); at += limit)
            counter.feed(QByteArrayView(bytes).sliced(at, qMin(limit, bytes.size() - at)));
        if (counter.lines() != streamed)
            std::abort();
    });
}
