#include "ui/ProgressDisplay.h"

#include <QFrame>
#include <QHBoxLayout>
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
    m_bar->setFormat(caption.isEmpty() ? QStringLiteral("%p %") : caption + QStringLiteral(": %v z %m"));
    m_bar->setTextVisible(true);
    m_stop = false;
    m_button->setEnabled(true);
    m_bar->setRange(0, qMax(0, maximum));
    m_bar->setValue(0);
    m_panel->show();
    m_panel->raise();
}

void ProgressPanel::setPosition(int position)
{
    m_bar->setValue(position);
}

void ProgressPanel::finish()
{
    m_panel->hide();
}
