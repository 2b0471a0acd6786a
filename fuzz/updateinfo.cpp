// The published update file, decoded as the update check does, and judged against a version.
#include "update/UpdateInfo.h"

#include <QStringDecoder>

#include "Timed.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        QStringDecoder decoder("windows-1250");
        const QString text = decoder.decode(QByteArrayView(data, qsizetype(size)));
        const QStringList lines = update::SplitLines(text);
        update::JudgeUpdateText(lines, QStringLiteral("1.1.1.101"));
        // Each line also as the program's own version, so both sides of the comparison see odd text.
        if (!lines.isEmpty()) {
            update::JudgeUpdateText(lines, lines.first());
            for (const QString& line : lines) {
                update::ReadVersionNumber(line);
                update::IsNewerVersion(line, lines.first());
            }
        }
    });
}
