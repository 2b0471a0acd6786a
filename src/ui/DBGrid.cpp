#include "ui/DBGrid.h"

#include "db/engine/Engine.h"
#include "db/engine/FailureReporter.h"

#include "db/contacts/Query.h"

#include <QAccessible>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace db {
namespace {

// In copy mode a cell opens in an editor for selecting and copying its text; it never changes.
class ReadOnlyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setReadOnly(true);
        return editor;
    }
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
};

} // namespace

QueryModel::QueryModel(QObject* parent) : QAbstractTableModel(parent) {}

void QueryModel::setColumns(const QList<Column>& columns)
{
    beginResetModel();
    m_columns = columns;
    mapFields();
    endResetModel();
}

void QueryModel::setTitle(int column, const QString& title)
{
    if (column < 0 || column >= m_columns.size() || m_columns[column].title == title)
        return;
    m_columns[column].title = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void QueryModel::setQuery(Query* query)
{
    beginResetModel();
    if (m_query)
        disconnect(m_query, nullptr, this, nullptr);
    m_query = query;
    if (m_query) {
        connect(m_query, &Query::aboutToReset, this, &QueryModel::beginResetModel);
        connect(m_query, &Query::reset, this, [this] {
            mapFields();
            endResetModel();
        });
        connect(m_query, &Query::counted, this, &QueryModel::takeCounted);
        connect(m_query, &QObject::destroyed, this, [this] { setQuery(nullptr); });
    }
    mapFields();
    endResetModel();
}

void QueryModel::reload()
{
    beginResetModel();
    mapFields();
    endResetModel();
}

void QueryModel::mapFields()
{
    // The row count the views and their accessible tables see changes only here, inside a reset,
    // whatever the query does in between.
    m_rows = m_query ? m_query->knownCount() : 0;
    m_fieldOfColumn.clear();
    for (const Column& c : m_columns)
        m_fieldOfColumn << (m_query ? m_query->fieldIndex(c.fieldName) : -1);
}

void QueryModel::takeCounted()
{
    const int rows = m_query ? m_query->knownCount() : 0;
    if (rows < m_rows) {
        // Contacts removed meanwhile: the rows shown so far are not the first ones any more.
        reload();
        return;
    }
    if (rows == m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

int QueryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int QueryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant QueryModel::data(const QModelIndex& index, int role) const
{
    if (!m_query || !index.isValid() || index.row() >= m_rows ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return m_query->text(index.row(), m_fieldOfColumn.value(index.column(), -1));
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section].title) : QVariant();
    // The row indicator: a mark on the current row only.
    if (m_query && m_query->recNo() == section + 1)
        return QStringLiteral("▶");
    return QString();
}

Qt::ItemFlags QueryModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable)
        f |= Qt::ItemIsEditable;
    return f;
}

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), m_model(new QueryModel(this))
{
    setModel(m_model);
    setItemDelegate(new ReadOnlyDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(14);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int logical) {
        const auto& columns = m_model->columns();
        if (logical >= 0 && logical < columns.size())
            Q_EMIT titleClick(columns[logical].fieldName);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::forgetAccessibleCells);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::followQueryRow);
}

void DBGrid::forgetAccessibleCells()
{
    // Qt tells the grid's accessible table of a reset only while an assistive technology is
    // active; the cells it handed out before would then outlive the rows they stood for, and
    // the table would go on offering cells past the last row.
    if (QAccessible::isActive())
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    if (!table || !table->tableInterface())
        return;
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
    table->tableInterface()->modelChange(&event);
}

void DBGrid::setColumns(const QList<QueryModel::Column>& columns)
{
    m_model->setColumns(columns);
}

void DBGrid::setDataSource(Query* query)
{
    if (Query* old = m_model->query()) {
        disconnect(old, &Query::afterScroll, this, &DBGrid::followQueryRow);
        disconnect(old, &Query::counted, this, &DBGrid::followQueryRow);
    }
    m_model->setQuery(query);
    if (query) {
        connect(query, &Query::afterScroll, this, &DBGrid::followQueryRow);
        // The current row may only now be among the rows shown.
        connect(query, &Query::counted, this, &DBGrid::followQueryRow);
    }
    followQueryRow();
}

void DBGrid::reattach()
{
    m_model->reload();
}

void DBGrid::followQueryRow()
{
    Query* query = m_model->query();
    if (m_syncing || !query || !selectionModel())
        return;
    m_syncing = true;
    const int row = query->recNo() - 1;
    if (row >= 0 && row < m_model->rowCount()) {
        int column = currentIndex().isValid() ? currentIndex().column() : horizontalHeader()->logicalIndex(0);
        if (column < 0)
            column = 0;
        const QModelIndex index = m_model->index(row, column);
        selectionModel()->setCurrentIndex(index,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    }
    // Only sections that exist: a view may act on every section the signal names.
    if (m_model->rowCount() > 0)
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, 0, m_model->rowCount() - 1);
    m_syncing = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    Query* query = m_model->query();
    if (m_syncing || !query || !current.isValid())
        return;
    m_syncing = true;
    query->setRecNo(current.row() + 1);
    m_syncing = false;
    if (previous.row() != current.row()) {
        const int other =
            previous.isValid() && previous.row() < m_model->rowCount() ? previous.row() : current.row();
        Q_EMIT m_model->headerDataChanged(Qt::Vertical, qMin(other, current.row()),
                                          qMax(other, current.row()));
    }
}

QString DBGrid::fieldNameAt(int position) const
{
    const int logical = horizontalHeader()->logicalIndex(position);
    return logical >= 0 ? m_model->columns().value(logical).fieldName : QString();
}

int DBGrid::positionOfField(const QString& fieldName) const
{
    const auto& columns = m_model->columns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return horizontalHeader()->visualIndex(i);
    return -1;
}

void DBGrid::moveColumnTo(const QString& fieldName, int position)
{
    const int from = positionOfField(fieldName);
    if (from < 0 || position < 0 || position >= gridColumnCount() || from == position)
        return;
    horizontalHeader()->moveSection(from, position);
}

int DBGrid::columnWidthAt(int position) const
{
    return horizontalHeader()->sectionSize(horizontalHeader()->logicalIndex(position));
}

void DBGrid::setColumnWidthAt(int position, int width)
{
    const int logical = horizontalHeader()->logicalIndex(position);
    if (logical >= 0)
        horizontalHeader()->resizeSection(logical, qMax(0, width));
}

QString DBGrid::titleOfField(const QString& fieldName) const
{
    const auto& columns = m_model->columns();
    for (const auto& c : columns)
        if (c.fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c.title;
    return QString();
}

void DBGrid::setTitleOfField(const QString& fieldName, const QString& title)
{
    const auto& columns = m_model->columns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            m_model->setTitle(i, title);
}

QStringList DBGrid::fieldsInDisplayOrder() const
{
    QStringList list;
    for (int p = 0; p < gridColumnCount(); ++p)
        list << fieldNameAt(p);
    return list;
}

} // namespace db

bool RefreshGrid(db::DBGrid* grid)
{
    db::Query* query = grid->dataSource();
    if (!query)
        return false;
    int remembered = 0;
    if (query->isOpen() && query->knownCount() >= 2)
        remembered = query->recNo();
    query->close();
    bool opened = true;
    try {
        query->open();
    } catch (const db::EngineError& error) {
        opened = false;
        db::ReportUnhandled(error.message());
    }
    if (query->isOpen() && remembered > 1 &&
        (remembered <= query->knownCount() || remembered <= query->recordCount()))
        query->setRecNo(remembered);
    grid->reattach();
    return opened;
}

QString RowCountText(const db::Query& query)
{
    return query.counting() ? QStringLiteral("…") : QString::number(query.knownCount());
}
