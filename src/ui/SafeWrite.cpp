#include "ui/SafeWrite.h"

#include "db/engine/ErrorText.h"

#include <QFileInfo>

namespace {

// Few enough system calls for the many small pieces of a PDF, little enough memory.
constexpr qsizetype kBlock = 256 * 1024;

} // namespace

bool SafeWriteFile(const QString& path, const QByteArray& data, QString* why)
{
    SafeFileWriter file(path);
    if (!file.begin(why))
        return false;
    file.write(data);
    return file.commit(why);
}

SafeFileWriter::SafeFileWriter(const QString& path) : m_file(path) {}

SafeFileWriter::~SafeFileWriter()
{
    // An uncommitted temporary file is removed by its own destructor.
    m_file.cancelWriting();
}

bool SafeFileWriter::begin(QString* why)
{
    const QFileInfo info(m_file.fileName());
    if (info.exists() && !info.isFile()) {
        if (why)
            *why = QStringLiteral("Soubor %1 není obyčejný soubor.").arg(info.absoluteFilePath());
        return false;
    }
    // Unbuffered: QSaveFile::commit() has been seen to report success after its own buffered
    // flush failed on a full disk, so each write must show its failure itself.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail(why);
        return false;
    }
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 SafeFileWriter::writeData(const char* data, qint64 size)
{
    if (m_failed)
        return -1;
    if (m_block.size() + size > kBlock) {
        if (!writeThrough(m_block.constData(), m_block.size()))
            return -1;
        m_block.resize(0);
    }
    if (size >= kBlock)
        return writeThrough(data, size) ? size : -1;
    m_block.append(data, size);
    return size;
}

bool SafeFileWriter::writeThrough(const char* data, qint64 size)
{
    qint64 written = 0;
    while (!m_failed && written < size) {
        const qint64 n = m_file.write(data + written, size - written);
        if (n <= 0)
            m_failed = true;
        else
            written += n;
    }
    return !m_failed;
}

bool SafeFileWriter::commit(QString* why)
{
    if (!isOpen())
        return false;
    const bool ok =
        writeThrough(m_block.constData(), m_block.size()) && m_file.error() == QFileDevice::NoError;
    m_block = QByteArray();
    close();
    if (ok && m_file.commit())
        return true;
    fail(why);
    return false;
}

void SafeFileWriter::fail(QString* why)
{
    m_failed = true;
    if (why)
        *why = QStringLiteral("Nelze zapsat soubor %1: %2")
                   .arg(QFileInfo(m_file.fileName()).absoluteFilePath(), db::FileErrorText(m_file));
    m_file.cancelWriting();
}
