#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>

#include "db/contacts/Query.h"

namespace db {

// Shows the rows of a query in the columns of a grid; one grid column per field name.
class QueryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString fieldName;
        QString title;
    };

    explicit QueryModel(QObject* parent = nullptr);

    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return m_columns; }
    void setTitle(int column, const QString& title);
    void setQuery(Query* query);
    Query* query() const { return m_query; }
    // Reads the rows anew, as after detaching the grid from its data and attaching it again.
    void reload();
    void setEditable(bool editable) { m_editable = editable; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void mapFields();
    // The rows of a search counted after its first ones were shown are added below them.
    void takeCounted();

    QPointer<Query> m_query;
    QList<Column> m_columns;
    QList<int> m_fieldOfColumn;
    int m_rows = 0;
    bool m_editable = false;
};

// A read-only grid bound to a query. The grid's current row and the query's current
// row are one: selecting a row moves the query, moving the query selects the row.
// Columns are addressed by field name or by display position; the user may move them.
class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);

    void setColumns(const QList<QueryModel::Column>& columns);
    void setDataSource(Query* query);
    Query* dataSource() const { return m_model->query(); }
    QueryModel* queryModel() const { return m_model; }
    // Detach from the data and attach again: the grid redraws from the query's rows.
    void reattach();

    int gridColumnCount() const { return m_model->columnCount(); }
    // Display position (from 0 at the left) <-> field name.
    QString fieldNameAt(int position) const;
    int positionOfField(const QString& fieldName) const;
    void moveColumnTo(const QString& fieldName, int position);
    int columnWidthAt(int position) const;
    void setColumnWidthAt(int position, int width);
    QString titleOfField(const QString& fieldName) const;
    void setTitleOfField(const QString& fieldName, const QString& title);
    QStringList fieldsInDisplayOrder() const;
    // A cell's editor is open (copy mode).
    bool editing() const { return state() == EditingState; }

Q_SIGNALS:
    // A click on a column title, by the column's field name.
    void titleClick(const QString& fieldName);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followQueryRow();
    void forgetAccessibleCells();

    QueryModel* m_model;
    bool m_syncing = false;
};

} // namespace db

// Reopens the grid's statement and selects the same row number again where it still exists.
// A failure of the reopening is shown as the top-level error report.
bool RefreshGrid(db::DBGrid* grid);
// The rows of a query as the window counts them: an ellipsis while a search is still counted.
QString RowCountText(const db::Query& query);
