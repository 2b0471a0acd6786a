#include "ui/ProgressDisplay.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

ProgressPanel::ProgressPanel(QFrame* panel, QProgressBar* bar) : QObject(panel), m_panel(panel), m_bar(bar)
{
    m_button = new QPushButton(QStringLiteral("Přerušit"), panel);
    m_button->setObjectName(QStringLiteral("Prerusit"));
    // The panel is only as high as the bar; the button must not grow it.
    m_button->setMaximumHeight(panel->maximumHeight());
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    layout->addWidget(bar, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this] {
        m_stop = true;
        m_button->setEnabled(false);
    });
}

void ProgressPanel::start(int maximum, const QString& caption)
{
    m_caption = caption;
    m_bar->setTextVisible(true);
    m_stop = false;
    m_button->setEnabled(true);
    m_bar->setRange(0, qMax(0, maximum));
    setPosition(0);
    m_panel->show();
    m_panel->raise();
}

void ProgressPanel::setPosition(int position)
{
    m_bar->setValue(position);
    if (m_caption.isEmpty()) {
        m_bar->setFormat(QStringLiteral("%p %"));
        return;
    }
    // The bar's own counts have no group separators; "64 786 z 200 000" reads at a glance.
    const QLocale czech(QLocale::Czech);
    QString text =
        m_caption +
        QStringLiteral(": %1 z %2").arg(czech.toString(m_bar->value()), czech.toString(m_bar->maximum()));
    m_bar->setFormat(text.replace(QLatin1Char('%'), QStringLiteral("%%")));
}

void ProgressPanel::finish()
{
    m_panel->hide();
}
