#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class MainWindowPort;

namespace db {
class Query;
}

// The small window in which one additional note is written for a contact.
class TpoznamkaM : public QDialog
{
    Q_OBJECT
public:
    explicit TpoznamkaM(MainWindowPort* main);
    ~TpoznamkaM() override;

    QPushButton* Konec = nullptr;
    QPushButton* Ulozit = nullptr;
    QLineEdit* id = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    MainWindowPort* m_main;

public Q_SLOTS:
    void UlozitClick();
    void KonecClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void save();
};
