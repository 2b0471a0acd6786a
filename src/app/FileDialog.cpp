// Temporary stand-in until the dialog lands.
#include "app/FileDialog.h"
namespace FileDialog {
namespace {
QList<QString> g_names;
QList<Record> g_shown;
}
QString getOpenFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter)
{
    g_shown.append({false, caption, dir, filter});
    return g_names.isEmpty() ? QString() : g_names.takeFirst();
}
QString getSaveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter, const QString&)
{
    g_shown.append({true, caption, dir, filter});
    return g_names.isEmpty() ? QString() : g_names.takeFirst();
}
void setTestMode(bool) {}
void setNextFileName(const QString& name) { g_names.append(name); }
const QList<Record>& shown() { return g_shown; }
void clearShown() { g_shown.clear(); }
}
