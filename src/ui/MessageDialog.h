#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;

// The one modal message and question dialog of the program.
//
// Results: 0 "Ano", 1 "Ne" or "OK", 2 "Zrušit". Callers treat only 0 as consent.
// icon: 1 question, 2 error, anything else information.
// buttonSet: 0 "OK"; 1 "Ano" + "Ne"; 2 "Ano" + "Ne" + "Zrušit"; kYesNoDefaultNo "Ano" + "Ne"
// with Enter answering "Ne".
// left/width/top/height: the outer rectangle of the window the dialog is centred over.
inline constexpr int kYesNoDefaultNo = 3;

quint8 ShowMessageDialog(const QString& text, int left, int width, int top, int height, int icon,
                         int buttonSet);

// Centred over the outer rectangle of `window`, or over the whole screen when it is null.
quint8 ShowMessageDialogOver(const QWidget* window, const QString& text, int icon, int buttonSet);

// The window that owns every dialog the program shows (the main window while it lives).
QWidget* DialogParent();
void SetDialogParent(QWidget* window);

// Lets the directory's failures reach the user through this dialog (statement failures) and
// the top-level error report (failures that ended an action).
void InstallDialogFailureReporter();

// The application's top-level error report: a plain error box with the failure's text.
void ShowErrorReport(const QString& text);

class TDialogDotaz : public QDialog
{
    Q_OBJECT
public:
    // Builds and places the dialog as it will be shown (sizes, buttons, icon, caption, position).
    TDialogDotaz(const QString& text, int left, int width, int top, int height, int icon, int buttonSet,
                 QWidget* parent = nullptr);

    quint8 resultCode() const { return m_result; }

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* TestLabel1 = nullptr;
    QPushButton* Ano = nullptr;
    QPushButton* Ne = nullptr;
    QPushButton* Zrusit = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void finishWith(quint8 result);
    void placeOver(QSize frame);
    quint8 m_result = 255;
    QRect m_over;       // the outer rectangle of the asking window
    QSize m_frameGuess; // the frame assumed before the real one was known
};

// Test seam: scripted answers instead of a modal window, and a record of everything shown.
namespace MessageDialogSeam {

struct Record
{
    QString text;
    int icon = 0;
    int buttonSet = 0;
    QRect over; // the rectangle the dialog was centred over
    bool errorReport = false;
};

// While on, no window is shown: each call takes the next scripted answer, or 1 when none is left,
// and is recorded for shown().
void setTestMode(bool on);
bool testMode();
void setNextAnswer(int answer); // one-shot; several calls queue answers in order
const QList<Record>& shown();
void clearShown();

} // namespace MessageDialogSeam
