#pragma once

#include <QDialog>
#include <QMetaObject>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvora {

class DataSource;
class DBMemo;
class PointTable;

// The point edit window "Редактирование", shown modally on the record the
// caller has put into insert or edit state. Its controls are bound to the
// data source's current record; OK posts the record, Cancel, Escape and the
// close box cancel it. It never moves the cursor itself.
class TFedit : public QDialog
{
    Q_OBJECT

public:
    static constexpr int clientWidth = 466;
    static constexpr int clientHeight = 313;

    explicit TFedit(DataSource& source, QWidget* parent = nullptr);

    // Post and cancel the record of the data source's table.
    void BitBtn1Click();
    void BitBtn2Click();

    // Shows the current record in the controls again; with `keepPending`,
    // controls holding typed text not yet written keep it.
    void refresh(bool keepPending = false);

    // Escape and the close box come here too: they act as Cancel.
    void reject() override;

    QLabel* Label1 = nullptr;
    QSpinBox* DBSpinEdit1 = nullptr;
    QLabel* Label2 = nullptr;
    QSpinBox* DBSpinEdit2 = nullptr;
    QCheckBox* DBCheckEdit1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* DBEdit1 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* DBEdit2 = nullptr;
    QLabel* Label5 = nullptr;
    DBMemo* DBMemo1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitCaptions();
    void bind();
    void writeControls();
    void writeSpin(QSpinBox* spin, const char16_t* field);
    void writeEdit(QLineEdit* edit, const char16_t* field);
    void writeField(const char16_t* field, const QString& text);
    PointTable* openTable() const;

    DataSource& source_;
    PointTable* bound_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
    bool loading_ = false;
};

} // namespace kelvora
