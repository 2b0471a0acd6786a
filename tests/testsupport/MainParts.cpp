#include "testsupport/MainParts.h"

#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "ui/DBGrid.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

namespace testsupport {

MainParts Parts(QObject& window)
{
    MainParts parts;
#define ZV_FIND_PART(Type, name) parts.name = window.findChild<Type*>(QStringLiteral(#name));
    ZV_MAIN_PARTS(ZV_FIND_PART)
#undef ZV_FIND_PART
    return parts;
}

} // namespace testsupport
