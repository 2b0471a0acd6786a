// Temporary stand-in until the dialog lands.
#include "app/MessageDialog.h"
#include <QCloseEvent>
#include <QScreen>
#include <QGuiApplication>
#include <QWidget>
namespace {
bool g_test = false;
QList<int> g_answers;
QList<MessageDialogSeam::Record> g_shown;
}
quint8 ShowMessageDialog(const QString& text, int left, int width, int top, int height, int icon, int buttonSet)
{
    g_shown.append({text, icon, buttonSet, QRect(left, top, width, height), false});
    return g_answers.isEmpty() ? 1 : quint8(g_answers.takeFirst());
}
quint8 ShowMessageDialogOver(const QWidget* window, const QString& text, int icon, int buttonSet)
{
    QRect r = window ? window->frameGeometry() : QGuiApplication::primaryScreen()->geometry();
    return ShowMessageDialog(text, r.left(), r.width(), r.top(), r.height(), icon, buttonSet);
}
void ShowErrorReport(const QString& text) { g_shown.append({text, 2, 0, QRect(), true}); }
TDialogDotaz::TDialogDotaz(const QString&, int, int, int, int, int, int, QWidget* parent) : QDialog(parent) {}
void TDialogDotaz::closeEvent(QCloseEvent* e) { QDialog::closeEvent(e); }
void TDialogDotaz::reject() { QDialog::reject(); }
void TDialogDotaz::finishWith(quint8 r) { m_result = r; }
namespace MessageDialogSeam {
void setTestMode(bool on) { g_test = on; }
bool testMode() { return g_test; }
void setNextAnswer(int a) { g_answers.append(a); }
const QList<Record>& shown() { return g_shown; }
void clearShown() { g_shown.clear(); }
}
