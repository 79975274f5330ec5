#pragma once

#include <QMetaObject>
#include <QPlainTextEdit>
#include <vector>

namespace kelvora {

class DataSource;
class PointTable;

// A memo showing one text field of the data source's current record. Typed
// text is written to the field (putting the record into edit) when the memo
// loses the focus or when the record is about to be posted.
class DBMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    DBMemo(DataSource& source, const QString& fieldName, QWidget* parent = nullptr);

    // Writes pending text to the field; nothing when none was typed.
    void updateRecord();
    // Shows the field of the current record again.
    void refresh();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void bind();

    DataSource& source_;
    QString fieldName_;
    PointTable* bound_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
    bool loading_ = false;
    bool dirty_ = false;
};

} // namespace kelvora
