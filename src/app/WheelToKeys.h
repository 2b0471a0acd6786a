#pragma once

#include <QObject>

// Sees every event of the program before it is delivered and turns each turn of the
// mouse wheel into one Up or Down key press for the focused control, so a wheel step
// moves the grid's selection by one row whatever the amount of rotation.
class WheelToKeys : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool translate(QObject* watched, QEvent* event);
};
