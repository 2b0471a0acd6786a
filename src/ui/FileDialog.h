#pragma once

#include <QList>
#include <QString>

class QWidget;

// The one way the program asks for a file to open or a name to save under.
namespace FileDialog {

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        const QString& defaultSuffix = QString());

// Turns the pairs "description|pattern|description|pattern" into Qt's "description (pattern);;...";
// several patterns of one entry may be separated by ";". Anything without "|" is passed on as it is.
QString qtFilter(const QString& filter);

struct Record
{
    bool save = false;
    QString caption;
    QString dir;
    QString filter;
};

// Test seam: while on, no window is shown; each call returns the next scripted name,
// or an empty text (cancelled) when none is left.
void setTestMode(bool on);
void setNextFileName(const QString& name); // one-shot; several calls queue names in order
const QList<Record>& shown();
void clearShown();

} // namespace FileDialog
