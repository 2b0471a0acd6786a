#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "db/contacts/RecordStatements.h"

#include <functional>
#include <memory>

namespace db {
class Connection;
}
class TMain;
namespace app { struct Context; }
class QLocalServer;
class QWidget;

// Shared helpers of the test programs.
namespace testsupport {

// Reads a whole file as code page 1250 text.
QString ReadCp1250(const QString& path);
// SHA-256 of a file's bytes, to prove it was left as it was.
QByteArray FileHash(const QString& path);
// Writes a text as code page 1250.
void WriteCp1250(const QString& path, const QString& text);
// A file's bytes (empty when it cannot be read), and bytes written as a whole file.
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// A text written with LF line ends, as the CR LF the vCard programs write.
QByteArray Crlf(const char* text);

// The texts of the messages shown so far.
QStringList MessagesShown();

// A contact from its values in the order telefon, jmeno, email, poznamka, organizace,
// skupina, icq, skype, and back.
ContactValues Values(const QStringList& values);
QStringList Fields(const ContactValues& contact);

// The connection string of a directory file, held exclusively unless another mode is given.
QString ConnectionStringFor(const QString& path,
                            const QString& mode = QStringLiteral("Share Deny Read|Share Deny Write"));

// The directory file of the working directory, opened as the program opens it.
std::unique_ptr<db::Connection> OpenDefaultDirectory();

// The base of a test program that works on a fresh directory file of its own: `openFresh()`
// creates and connects it (before each test), `closeConnection()` lets it go.
class FreshDirectoryTest : public QObject
{
protected:
    void openFresh();
    void closeConnection();
    void exec(const QString& statement);
    QStringList column(const QString& statement, const QString& field);
    void insertName(const QString& name);

    QTemporaryDir m_dir;
    QString m_path;
    db::Connection* m_connection = nullptr;
};

// A temporary folder that is both the working directory and the executable's folder,
// so the directory file, the settings file and Error.log all land in it. Dialogs are
// scripted while it lives.
class Sandbox
{
public:
    Sandbox();
    ~Sandbox();
    QString path(const QString& name = QString()) const;
    QString dbPath() const { return path(QStringLiteral("Zvonisty.mdb")); }
    QString errorLog() const;
    QStringList errorLogLines() const;

    // A directory file of the given structure version (1 to 4), optionally with statements run on it.
    void createDirectory(int version = 4, const QStringList& statements = {});
    // Runs statements on the closed directory file through a connection of its own.
    void run(const QStringList& statements);

private:
    QTemporaryDir m_dir;
    QString m_previousCurrent;
};

// Every row of one field of a SELECT on an open connection.
QStringList Column(db::Connection* connection, const QString& select, const QString& field);
// Every contact as "telefon|jmeno|email|poznamka|organizace|skupina|icq|skype", sorted, so two
// directories compare as sets of rows.
QStringList ContactTexts(db::Connection* connection);
// Runs a statement on an open connection; throws on failure.
void Exec(db::Connection* connection, const QString& statement);

// Runs `steps` on the next modal window as soon as it is shown (a dialog opened by exec()),
// and closes it afterwards if the steps left it open, so a test never hangs on it.
void WhenModalShown(const std::function<void(QWidget*)>& steps);
// Opens the grid's selected contact for a full edit and saves it unchanged; the name the dialog
// showed, and whether the dialog closed as saved.
struct SavedAgain
{
    QString shownName;
    bool saved = false;
};
SavedAgain SaveSelectedUnchanged(TMain* window);

// Something chosen as an input file that is none: "dir", "fifo" or "socket" made in `folder`
// (a socket lives as long as this object), or a device given by its path ("/dev/zero");
// "file" makes an empty plain file.
class SpecialInput
{
public:
    SpecialInput(const QString& kind, const QString& folder);
    ~SpecialInput();
    QString path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLocalServer> m_server;
};

// Starts the main window on the sandbox's directory file and shows it.
std::unique_ptr<TMain> StartMain(app::Context* context = nullptr);

} // namespace testsupport
