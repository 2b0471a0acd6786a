#pragma once

#include "db/engine/Columns.h"

#include <QList>
#include <QString>

// What a synchronisation tells the user and keeps in notes, in Czech.
namespace synchro {

// The local values that lost against the server's, as the note that keeps them.
QString LostValues(const QList<ContactValues>& rows);

} // namespace synchro
