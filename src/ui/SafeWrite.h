#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSaveFile>
#include <QString>

// The one way the program writes a whole file (settings, cards, exports): the bytes go to a
// temporary file beside it, every write is checked, the data is synced and only then renamed
// over the old file. On any failure the old file stays whole and `why` says what went wrong
// (in Czech).
bool SafeWriteFile(const QString& path, const QByteArray& data, QString* why = nullptr);

// The same for a file written piece by piece, so that a large one (a PDF as its pages are
// painted) is never held whole: the pieces go to the temporary file in blocks. Destroyed without
// a commit, it leaves no file behind and an earlier file whole.
class SafeFileWriter : public QIODevice
{
public:
    explicit SafeFileWriter(const QString& path);
    ~SafeFileWriter() override;

    // Opens the temporary file; false with `why` when it cannot be made.
    bool begin(QString* why = nullptr);
    // A write has failed: whatever follows is in vain, and commit() will say why.
    bool failed() const { return m_failed; }
    // Puts the file in place of the old one; false with `why` when any write failed.
    bool commit(QString* why = nullptr);

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool writeThrough(const char* data, qint64 size);
    void fail(QString* why);

    QSaveFile m_file;
    QByteArray m_block;
    bool m_failed = false;
};
