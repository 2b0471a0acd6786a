// The settings file read and written key by key. The input's first line names what is done,
// "mode|section|key|value" (mode 0 reads, 1 writes); the rest is the file as it stands.
#include "app/IniFile.h"
#include "db/engine/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "Timed.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A name as the program itself uses: letters and digits only.
bool Plain(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]+$"));
    return plain.match(name).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        static QTemporaryDir dir;
        static const QString path = dir.filePath(QStringLiteral("Zvonisty.ini"));
        // A folder that is not there: failures are logged nowhere rather than into a growing file.
        static const bool logSet = (SetErrorLogDir(dir.filePath(QStringLiteral("chybi/"))), true);
        (void)logSet;

        const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
        const qsizetype newline = input.indexOf('\n');
        const QByteArray head = newline < 0 ? input : input.left(newline);
        const QByteArray file = newline < 0 ? QByteArray() : input.mid(newline + 1);
        const QStringList fields = QString::fromUtf8(head).split(QLatin1Char('|'));
        const int mode = fields.value(0).toInt();
        const QString section = fields.value(1);
        const QString key = fields.value(2);
        const QString value = fields.value(3);

        QFile::remove(path);
        if (!file.isEmpty()) {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
                std::abort();
        }
        bool written = false;
        IniAccess(path, mode, section, key, value, &written);
        // What a write reports as kept must read back, for the names the program uses.
        if (mode == settings::IniWrite && written && Plain(section) && Plain(key) &&
            IniAccess(path, settings::IniRead, section, key) != value.trimmed())
            std::abort();
        QFile::remove(path);

        const QStringList lines = QString::fromLatin1(file).split(QLatin1Char('\n'));
        ParseLegacySettings(lines);
    });
}
