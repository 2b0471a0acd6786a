#include "info/InfoWindow.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

namespace info {

QFont DialogFont(int pointSize, bool bold)
{
    QFont font(QStringLiteral("Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    // The windows are laid out for a narrow dialog font; a condensed face comes closest where there is one.
    font.setStretch(QFont::SemiCondensed);
    return font;
}

InfoWindow::InfoWindow(QWidget* owner, const QString& caption, int clientWidth, int clientHeight)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setFont(DialogFont());
    setFixedSize(clientWidth, clientHeight);
    setModal(true);
}

QPushButton* InfoWindow::addOkButton(const char* name, const QRect& geometry)
{
    auto* button = new QPushButton(QStringLiteral("OK"), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setDefault(true);
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, &QDialog::accept);
    return button;
}

QPlainTextEdit* InfoWindow::addReadOnlyText(const char* name, const QRect& geometry, const QStringList& lines)
{
    auto* text = new QPlainTextEdit(this);
    text->setObjectName(QString::fromLatin1(name));
    text->setGeometry(geometry);
    text->setReadOnly(true);
    text->setPlainText(lines.join(QLatin1Char('\n')));
    return text;
}

void InfoWindow::pressOnEscape(QWidget* control, QPushButton* button)
{
    m_escapeButton = button;
    control->installEventFilter(this);
}

bool InfoWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && m_escapeButton) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            m_escapeButton->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void InfoWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred over the owner's outer rectangle.
    if (QWidget* owner = parentWidget()) {
        const QRect outer = owner->window()->frameGeometry();
        const QRect frame = frameGeometry();
        move(outer.x() + (outer.width() - frame.width()) / 2,
             outer.y() + (outer.height() - frame.height()) / 2);
    }
}

} // namespace info
