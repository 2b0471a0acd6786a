#pragma once

#include "exchange/CsvImport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace exchange {

// The import's mapping of the file's columns: the separator, the encoding and the header row as
// recognised, the first rows as they read with them, and for every column a directory field or
// "nepoužít". The columns come mapped when the header row is known.
class TDialogCsv : public QDialog
{
    Q_OBJECT
public:
    using Proposer = std::function<CsvProposal(const QStringList& header)>;
    TDialogCsv(const CsvSurvey& survey, Proposer proposer, QWidget* parent = nullptr);

    csv::Layout layout() const;
    csv::Mapping mapping() const;
    // The header row as read with the chosen layout; empty without one.
    QStringList header() const { return m_head.header; }

    QComboBox* Oddelovac = nullptr;
    QComboBox* Kodovani = nullptr;
    QCheckBox* Zahlavi = nullptr;
    QLabel* Rozpoznano = nullptr;
    QLabel* BezTelefonu = nullptr;
    QTableWidget* Nahled = nullptr;
    QPushButton* Nacist = nullptr;
    QPushButton* Zrusit = nullptr;

private:
    // Reads the first rows again with the chosen layout, and maps the columns afresh.
    void reread();
    void checkMapping();

    const CsvSurvey& m_survey;
    Proposer m_proposer;
    CsvHead m_head;
    QList<QComboBox*> m_columns;
};

} // namespace exchange
