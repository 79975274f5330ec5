#include "baseimport.h"

#include "basefile.h"
#include "pointtable.h"

#include <QVariant>
#include <cstdint>
#include <exception>
#include <utility>

namespace kelvora {

const QString BaseImport::failedText = QStringLiteral("Неправильный формат, Импорт не произведен");

namespace {

const QString lineBreak = QStringLiteral("\r\n");
const QString nameField = QStringLiteral("NAME_EN");
const QString positionKey = QStringLiteral("NAME_EN;X;Y");

QString number(const std::optional<int>& value)
{
    return value ? QString::number(*value) : QString();
}

QString coordinates(const BaseImport::Point& point)
{
    return QStringLiteral("Координаты: ") + number(point.x) + QStringLiteral(" x ") +
           number(point.y);
}

// A null name is looked for as null, so unnamed points meet unnamed points.
QVariant nameValue(PointTable& table)
{
    const Field name = table.fieldByName(nameField);
    return name.isNull() ? QVariant() : QVariant(name.asString());
}

} // namespace

BaseImport::BaseImport(PointTable& destination, PointTable& source, Questions& questions,
                       Hooks hooks)
    : destination_(destination), source_(source), questions_(questions), hooks_(std::move(hooks))
{}

QString BaseImport::replaceQuestion(const Point& existing, const Point& imported)
{
    return QStringLiteral("В Базе есть точка с таким же наименованием ORIGIN: ") + lineBreak +
           existing.nameEn + lineBreak + QStringLiteral("Наименование RUS: ") + existing.nameRus +
           lineBreak + coordinates(existing) + lineBreak + lineBreak +
           QStringLiteral("Импортируемая точка:") + lineBreak +
           QStringLiteral("Наименование RUS: ") + imported.nameRus + lineBreak +
           coordinates(imported) + lineBreak + lineBreak +
           QStringLiteral("Заменить? (Yes= Заменить, No = Добавить, Ignore=пропустить)");
}

QString BaseImport::addQuestion(const Point& imported)
{
    return QStringLiteral("Добавить точку?") + lineBreak + coordinates(imported) + lineBreak +
           QStringLiteral("Наименование ORIGIN: ") + imported.nameEn + lineBreak +
           QStringLiteral("Наименование RUS: ") + imported.nameRus;
}

BaseImport::Point BaseImport::currentPoint(PointTable& table)
{
    Point point;
    point.nameEn = table.fieldByName(nameField).asString();
    point.nameRus = table.fieldByName(QStringLiteral("NAME_RUS")).asString();
    const Field x = table.fieldByName(QStringLiteral("X"));
    const Field y = table.fieldByName(QStringLiteral("Y"));
    if (!x.isNull())
        point.x = x.asInteger();
    if (!y.isNull())
        point.y = y.asInteger();
    return point;
}

BaseImport::Choices BaseImport::choices() const
{
    return hooks_.choices ? hooks_.choices() : Choices{};
}

void BaseImport::copy()
{
    source_.copyRecords(&source_, &destination_, 1);
}

bool BaseImport::decide()
{
    const QVariant name = nameValue(source_);
    if (destination_.locate(nameField, name)) {
        const std::int32_t x = source_.fieldByName(QStringLiteral("X")).asInteger();
        const std::int32_t y = source_.fieldByName(QStringLiteral("Y")).asInteger();
        if (destination_.fieldByName(QStringLiteral("X")).asInteger() == x &&
            destination_.fieldByName(QStringLiteral("Y")).asInteger() == y)
            return false;
        if (destination_.locate(positionKey, QVariantList{name, x, y}))
            return false;

        // The name is there, but elsewhere; its first match is current.
        const Choices now = choices();
        ReplaceAnswer answer = ReplaceAnswer::Skip;
        if (now.diffPoint) {
            answer = questions_.askReplace(
                replaceQuestion(currentPoint(destination_), currentPoint(source_)));
        } else if (now.names == NameRule::Replace) {
            answer = ReplaceAnswer::Replace;
        } else if (now.names == NameRule::Add) {
            answer = ReplaceAnswer::Add;
        }
        if (answer == ReplaceAnswer::Skip)
            return false;
        if (answer == ReplaceAnswer::Replace)
            destination_.deleteRecord();
        copy();
        return true;
    }

    if (!choices().noQuestion && !questions_.askAdd(addQuestion(currentPoint(source_))))
        return false;
    copy();
    return true;
}

void BaseImport::walk()
{
    if (!source_.isOpen())
        source_.open();
    if (hooks_.setMaximum)
        hooks_.setMaximum(source_.recordCount());
    source_.first();
    int examined = 0;
    while (!source_.eof()) {
        if (!decide())
            source_.next();
        // Without a display the count stands for the position.
        const int position = hooks_.advance ? hooks_.advance() : ++examined;
        if (position % 10 == 0 && hooks_.repaint)
            hooks_.repaint();
    }
    source_.empty();
    source_.close();
}

bool BaseImport::run(const QString& fileName, const BaseFileFormat& format)
{
    bool complete = true;
    try {
        source_.close();
        loadFromFile(source_, fileName, format);
        if (hooks_.detach)
            hooks_.detach();
        walk();
    } catch (const std::exception&) {
        complete = false;
    }
    // Attached again after a failure too, even one before the detach.
    if (hooks_.attach)
        hooks_.attach();
    return complete;
}

} // namespace kelvora
