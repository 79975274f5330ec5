#include "datasource.h"

#include "pointtable.h"

namespace kelvora {

DataSource::DataSource(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DataSource1"));
}

void DataSource::attach(PointTable& table)
{
    if (table_ == &table)
        return;
    table_ = &table;
    emit tableChanged();
}

void DataSource::detach()
{
    if (!table_)
        return;
    table_ = nullptr;
    emit tableChanged();
}

void DataSource::updateRecord()
{
    if (table_)
        emit updateRecordRequested();
}

} // namespace kelvora
