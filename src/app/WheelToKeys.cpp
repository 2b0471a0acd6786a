#include "app/WheelToKeys.h"

#include "ui/Guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>

bool WheelToKeys::eventFilter(QObject* watched, QEvent* event)
{
    return GuardedResult(false, [&] { return translate(watched, event); });
}

bool WheelToKeys::translate(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint delta = wheel->angleDelta();
    // A touchpad opens and closes its scroll gesture with events that carry no turn at all;
    // they are no step of the wheel, and the grid must not scroll by itself either.
    if (delta.isNull())
        return true;
    const int rotation = delta.y() != 0 ? delta.y() : delta.x();
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = static_cast<QWidget*>(watched);
    QKeyEvent press(QEvent::KeyPress, rotation > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    return true;
}
