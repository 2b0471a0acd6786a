#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// What the four information windows share: a fixed client size, the standard dialog font,
// centring over the owner, and one "OK" button that both Enter and Esc press.
namespace info {

class InfoWindow : public QDialog
{
    Q_OBJECT
public:
    InfoWindow(QWidget* owner, const QString& caption, int clientWidth, int clientHeight);

protected:
    // The "OK" button at the given place: the default button, pressed by Enter and by Esc.
    QPushButton* addOkButton(const char* name, const QRect& geometry);
    // A read-only text; Esc inside it presses `button` (read-only texts do not pass it on alone).
    QPlainTextEdit* addReadOnlyText(const char* name, const QRect& geometry, const QStringList& lines);
    void pressOnEscape(QWidget* control, QPushButton* button);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* m_escapeButton = nullptr;
};

// The standard dialog font: sans-serif, 8 points.
QFont DialogFont(int pointSize = 8, bool bold = false);

} // namespace info
