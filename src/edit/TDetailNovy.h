#pragma once

#include "db/engine/Columns.h"
#include "ui/Services.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace db {
class DBGrid;
class Query;
} // namespace db

// The detail dialog in which one contact is entered or changed with all its values;
// in edit mode its right half lists the contact's additional notes.
class TDetailNovy : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Insert, Edit };

    TDetailNovy(const Services& app, Mode mode);
    ~TDetailNovy() override;
    Mode mode() const { return m_mode; }

    // Fills the fields from a stored contact; the number only when asked.
    void fillFrom(const ContactValues& stored, bool withNumber);

    QLineEdit* Telefon = nullptr;
    QLineEdit* Jmeno = nullptr;
    QLineEdit* Organizace = nullptr;
    QLineEdit* Email = nullptr;
    QLineEdit* Poznamka = nullptr;
    QLineEdit* ICQ = nullptr;
    QLineEdit* Skype = nullptr;
    QComboBox* Skupina = nullptr;
    QPushButton* Uloz = nullptr;
    QPushButton* Zavrit = nullptr;
    db::DBGrid* DBGrid1 = nullptr;
    QLineEdit* id = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Odstranit = nullptr;
    db::Query* ADOQuery1 = nullptr; // the notes list

public Q_SLOTS:
    void UlozClick();
    void ZavritClick();
    void TelefonExit();
    void OdstranitClick();
    void ADOQuery1AfterOpen();
    void ADOQuery1AfterScroll();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void FormCreate();
    void FormShow();
    void save();
    void checkNumberOnExit();
    void deleteNote();
    void saveInsert();
    void saveEdit();
    // `values` with what the dialog shows typed over it, the number and the date given.
    ContactValues typedValues(ContactValues values, const QString& number, const QString& date) const;
    bool numberIsTaken(const QString& number, const QString& message);
    void selectGroup(const QString& stored);

    const Services m_app;
    // The duplicate check and the save.
    Mode m_mode;
    bool m_closing = false;
    bool m_shown = false;
};
