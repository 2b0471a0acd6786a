#include "exchange/CsvMappingDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace exchange {
namespace {

constexpr int kPreviewRows = 10;
// A long note would push the other columns out of sight.
constexpr int kWidestColumn = 280;

const char kSeparators[] = {',', ';', '\t'};
const csv::Encoding kEncodings[] = {csv::Encoding::Utf8, csv::Encoding::Utf16Le, csv::Encoding::Utf16Be,
                                    csv::Encoding::Cp1250};

template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

template <typename T, size_t N> int IndexOf(const T (&list)[N], T value)
{
    for (size_t i = 0; i < N; ++i)
        if (list[i] == value)
            return int(i);
    return 0;
}

} // namespace

TDialogCsv::TDialogCsv(const CsvSurvey& survey, Proposer proposer, QWidget* parent)
    : QDialog(parent), m_survey(survey), m_proposer(std::move(proposer))
{
    setObjectName(QStringLiteral("TDialogCsv"));
    setWindowTitle(QStringLiteral("Importovat z CSV"));
    Oddelovac = Named(new QComboBox(this), "Oddelovac");
    Oddelovac->addItems(
        {QStringLiteral("čárka ( , )"), QStringLiteral("středník ( ; )"), QStringLiteral("tabulátor")});
    Oddelovac->setCurrentIndex(IndexOf(kSeparators, survey.layout.separator));
    Kodovani = Named(new QComboBox(this), "Kodovani");
    for (const csv::Encoding encoding : kEncodings)
        Kodovani->addItem(csv::EncodingName(encoding));
    Kodovani->setCurrentIndex(IndexOf(kEncodings, survey.layout.encoding));
    Zahlavi = Named(new QCheckBox(QStringLiteral("První řádek je záhlaví"), this), "Zahlavi");
    Zahlavi->setChecked(survey.layout.header);
    Rozpoznano = Named(new QLabel(this), "Rozpoznano");
    Rozpoznano->setWordWrap(true);
    BezTelefonu =
        Named(new QLabel(QStringLiteral(
                             "Přiřaďte poli Telefon alespoň jeden sloupec: bez čísla se kontakt nenačte."),
                         this),
              "BezTelefonu");
    BezTelefonu->setStyleSheet(QStringLiteral("color: maroon"));
    Nahled = Named(new QTableWidget(this), "Nahled");
    Nahled->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Nahled->horizontalHeader()->setMaximumSectionSize(kWidestColumn);
    Nacist = Named(new QPushButton(QStringLiteral("Načíst"), this), "Nacist");
    Nacist->setDefault(true);
    Zrusit = Named(new QPushButton(QStringLiteral("Zrušit"), this), "Zrusit");

    auto* choices = new QFormLayout;
    choices->addRow(QStringLiteral("Oddělovač:"), Oddelovac);
    choices->addRow(QStringLiteral("Kódování:"), Kodovani);
    choices->addRow(QString(), Zahlavi);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BezTelefonu);
    buttons->addStretch();
    buttons->addWidget(Nacist);
    buttons->addWidget(Zrusit);
    auto* all = new QVBoxLayout(this);
    all->addLayout(choices);
    all->addWidget(Rozpoznano);
    all->addWidget(Nahled, 1);
    all->addLayout(buttons);
    resize(780, 440);

    connect(Oddelovac, &QComboBox::currentIndexChanged, this, &TDialogCsv::reread);
    connect(Kodovani, &QComboBox::currentIndexChanged, this, &TDialogCsv::reread);
    connect(Zahlavi, &QCheckBox::toggled, this, &TDialogCsv::reread);
    connect(Nacist, &QPushButton::clicked, this, &QDialog::accept);
    connect(Zrusit, &QPushButton::clicked, this, &QDialog::reject);
    reread();
}

csv::Layout TDialogCsv::layout() const
{
    csv::Layout chosen;
    chosen.separator = kSeparators[qBound(0, Oddelovac->currentIndex(), 2)];
    chosen.encoding = kEncodings[qBound(0, Kodovani->currentIndex(), 3)];
    chosen.header = Zahlavi->isChecked();
    return chosen;
}

csv::Mapping TDialogCsv::mapping() const
{
    csv::Mapping chosen;
    for (const QComboBox* column : m_columns)
        chosen << csv::Field(column->currentData().toInt());
    return chosen;
}

void TDialogCsv::reread()
{
    m_head = ReadCsvHead(m_survey, layout(), kPreviewRows);
    const CsvProposal proposal = m_proposer(m_head.header);
    Rozpoznano->setText(
        !proposal.from.isEmpty()
            ? QStringLiteral("Rozpoznáno: %1. Přiřazení sloupců můžete změnit.").arg(proposal.from)
        : m_head.header.isEmpty()
            ? QStringLiteral("Přiřaďte sloupce polím seznamu.")
            : QStringLiteral("Záhlaví nebylo rozpoznáno; přiřaďte sloupce polím seznamu."));
    // Emptied first, so the previous columns' choices go with their widgets.
    Nahled->setRowCount(0);
    Nahled->setColumnCount(0);
    m_columns.clear();
    const int columns = int(m_head.columns);
    Nahled->setColumnCount(columns);
    Nahled->setRowCount(int(m_head.rows.size()) + 1);
    QStringList titles;
    for (int c = 0; c < columns; ++c) {
        const QString title = m_head.header.value(c).trimmed();
        titles << (title.isEmpty() ? QStringLiteral("Sloupec %1").arg(c + 1) : title);
        auto* field = new QComboBox(Nahled);
        field->setObjectName(QStringLiteral("Sloupec%1").arg(c + 1));
        for (const csv::Field offered : csv::OfferedFields())
            field->addItem(csv::FieldTitle(offered), int(offered));
        field->setCurrentIndex(field->findData(int(proposal.mapping.value(c, csv::Field::Unused))));
        connect(field, &QComboBox::currentIndexChanged, this, &TDialogCsv::checkMapping);
        Nahled->setCellWidget(0, c, field);
        m_columns << field;
    }
    Nahled->setHorizontalHeaderLabels(titles);
    for (int r = 0; r < m_head.rows.size(); ++r) {
        const QStringList& cells = m_head.rows.at(r).cells;
        for (int c = 0; c < cells.size() && c < columns; ++c)
            Nahled->setItem(r + 1, c, new QTableWidgetItem(cells.at(c)));
    }
    Nahled->resizeColumnsToContents();
    checkMapping();
}

void TDialogCsv::checkMapping()
{
    const bool phone = MapsPhone(mapping());
    Nacist->setEnabled(phone);
    BezTelefonu->setVisible(!phone);
}

} // namespace exchange
