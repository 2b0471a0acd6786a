#pragma once

#include "ui/Services.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace db {
class Query;
}

// The small window in which one additional note is written for a contact.
class TpoznamkaM : public QDialog
{
    Q_OBJECT
public:
    explicit TpoznamkaM(const Services& app);
    ~TpoznamkaM() override;

    QPushButton* Konec = nullptr;
    QPushButton* Ulozit = nullptr;
    QLineEdit* id = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    const Services m_app;

public Q_SLOTS:
    void UlozitClick();
    void KonecClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void save();
};
