#pragma once

#include <QList>
#include <QString>

class QWidget;

// The one way the program asks for a file to open or a name to save under.
namespace FileDialog {

// What the caller does itself, so the dialog does not ask or refuse first.
enum Option {
    NoOption = 0,
    // The caller replaces an existing file without a question.
    ReplaceWithoutQuestion = 0x1,
    // The caller tells of a missing file in its own words: a typed name that does not exist is
    // given back instead of being refused by the dialog.
    MissingFileLetThrough = 0x2,
};

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        int options = NoOption);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        const QString& defaultSuffix = QString(), int options = NoOption);

// Turns the pairs "description|pattern|description|pattern" into Qt's "description (pattern);;...";
// several patterns of one entry may be separated by ";". Anything without "|" is passed on as it is.
QString qtFilter(const QString& filter);

struct Record
{
    bool save = false;
    QString caption;
    QString dir;
    QString filter;
    int options = NoOption;
};

// Test seam: while on, no window is shown; each call returns the next scripted name,
// or an empty text (cancelled) when none is left.
void setTestMode(bool on);
void setNextFileName(const QString& name); // one-shot; several calls queue names in order
const QList<Record>& shown();
void clearShown();

} // namespace FileDialog
