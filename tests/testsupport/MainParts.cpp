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
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>
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

QStringList GridTitles(QObject& window)
{
    QStringList titles;
    const db::DBGrid* grid = Parts(window).DBGrid1;
    for (const QString& field : grid->fieldsInDisplayOrder())
        titles << grid->titleOfField(field);
    return titles;
}

QStringList GridColumn(QObject& window, int logical)
{
    QStringList values;
    const QAbstractItemModel* model = Parts(window).DBGrid1->model();
    for (int r = 0; r < model->rowCount(); ++r)
        values << model->index(r, logical).data().toString();
    return values;
}

void ClickTitle(QObject& window, const QString& field)
{
    const db::DBGrid* grid = Parts(window).DBGrid1;
    // Only a title on the screen can be clicked.
    grid->window()->show();
    (void)QTest::qWaitForWindowExposed(grid->window());
    QHeaderView* header = grid->horizontalHeader();
    const int logical = header->logicalIndex(grid->positionOfField(field));
    const QPoint centre(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

QString SortShown(QObject& window)
{
    const db::DBGrid* grid = Parts(window).DBGrid1;
    for (const QString& field : grid->fieldsInDisplayOrder()) {
        if (grid->titleOfField(field).endsWith(QStringLiteral("  «")))
            return field;
        if (grid->titleOfField(field).endsWith(QStringLiteral("  »")))
            return field + QStringLiteral(" desc");
    }
    return QString();
}

} // namespace testsupport
