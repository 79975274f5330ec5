#include "tfedit.h"

#include "datasource.h"
#include "dbmemo.h"
#include "guard.h"
#include "pointtable.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>
#include <limits>
#include <optional>

namespace kelvora {

namespace {

// The spin fields have no bounds; their lowest value stands for an empty
// field and shows as blank.
constexpr int emptySpin = std::numeric_limits<int>::min();
const char* const dirtyProperty = "kelvoraDirty";

QLabel* label(QWidget* parent, const char* name, const QString& text, QPoint at)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->move(at);
    result->adjustSize();
    return result;
}

QSpinBox* spin(QWidget* parent, const char* name, QPoint at)
{
    auto* result = new QSpinBox(parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setRange(emptySpin, std::numeric_limits<int>::max());
    result->setSpecialValueText(QStringLiteral(" "));
    result->setSingleStep(1);
    result->setGeometry(at.x(), at.y(), 81, 21);
    return result;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, QPoint at)
{
    auto* result = new QLineEdit(parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setMaxLength(255);
    result->setGeometry(at.x(), at.y(), 321, 21);
    return result;
}

bool dirty(QObject* control)
{
    return control->property(dirtyProperty).toBool();
}

void setDirty(QObject* control, bool on)
{
    control->setProperty(dirtyProperty, on);
}

} // namespace

TFedit::TFedit(DataSource& source, QWidget* parent) : QDialog(parent), source_(source)
{
    setObjectName(QStringLiteral("Fedit"));
    setWindowTitle(QStringLiteral("Редактирование"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(clientWidth, clientHeight);
    setModal(true);

    Label1 = label(this, "Label1", QStringLiteral("Координаты:"), {8, 16});
    DBSpinEdit1 = spin(this, "DBSpinEdit1", {80, 8});
    Label2 = label(this, "Label2", QStringLiteral("X"), {168, 16});
    DBSpinEdit2 = spin(this, "DBSpinEdit2", {184, 8});
    DBCheckEdit1 = new QCheckBox(QStringLiteral("Точка обработана"), this);
    DBCheckEdit1->setObjectName(QStringLiteral("DBCheckEdit1"));
    DBCheckEdit1->setGeometry(336, 8, 121, 17);
    Label3 = label(this, "Label3", QStringLiteral("Наименование, ORIGIN"), {8, 48});
    DBEdit1 = lineEdit(this, "DBEdit1", {136, 40});
    Label4 = label(this, "Label4", QStringLiteral("Наименование, RUS"), {8, 72});
    DBEdit2 = lineEdit(this, "DBEdit2", {136, 64});
    Label5 = label(this, "Label5", QStringLiteral("Описание"), {208, 96});
    DBMemo1 = new DBMemo(source_, QStringLiteral("DESC"), this);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(8, 112, 449, 145);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(384, 280, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(8, 280, 75, 25);
    BitBtn2->setAutoDefault(false);

    fitCaptions();

    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, DBMemo1);
    setTabOrder(DBMemo1, DBSpinEdit1);
    setTabOrder(DBSpinEdit1, DBSpinEdit2);
    setTabOrder(DBSpinEdit2, DBEdit1);
    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBCheckEdit1);

    for (QSpinBox* box : {DBSpinEdit1, DBSpinEdit2})
        connect(box, &QSpinBox::valueChanged, this, [this, box] {
            if (!loading_)
                setDirty(box, true);
        });
    for (QLineEdit* edit : {DBEdit1, DBEdit2})
        connect(edit, &QLineEdit::textEdited, this, [edit] { setDirty(edit, true); });
    const auto write = [this] {
        guarded([&] { writeControls(); });
    };
    connect(DBSpinEdit1, &QSpinBox::editingFinished, this, write);
    connect(DBSpinEdit2, &QSpinBox::editingFinished, this, write);
    connect(DBEdit1, &QLineEdit::editingFinished, this, write);
    connect(DBEdit2, &QLineEdit::editingFinished, this, write);
    connect(DBCheckEdit1, &QCheckBox::clicked, this, [this] {
        guarded([&] {
            // A click on an empty flag ticks it; afterwards it has two states.
            DBCheckEdit1->setTristate(false);
            writeField(u"OBR", DBCheckEdit1->isChecked() ? QStringLiteral("True")
                                                         : QStringLiteral("False"));
        });
    });
    connect(&source_, &DataSource::tableChanged, this, [this] { guarded([&] { bind(); }); });
    connect(&source_, &DataSource::updateRecordRequested, this,
            [this] { guarded([&] { writeControls(); }); });

    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        done(QDialog::Accepted);
        guarded([&] { BitBtn1Click(); });
    });
    connect(BitBtn2, &QPushButton::clicked, this, &TFedit::reject);
    bind();
}

void TFedit::reject()
{
    QDialog::reject();
    guarded([&] { BitBtn2Click(); });
}

PointTable* TFedit::openTable() const
{
    return bound_ && bound_->isOpen() ? bound_ : nullptr;
}

void TFedit::BitBtn1Click()
{
    if (PointTable* table = openTable()) {
        source_.updateRecord();
        table->post();
    }
}

void TFedit::BitBtn2Click()
{
    if (PointTable* table = openTable())
        table->cancel();
}

void TFedit::bind()
{
    for (const auto& connection : connections_)
        disconnect(connection);
    connections_.clear();
    bound_ = source_.table();
    if (bound_) {
        const auto again = [this] {
            guarded([&] { refresh(); });
        };
        connections_.push_back(connect(bound_, &PointTable::currentChanged, this, again));
        connections_.push_back(connect(bound_, &PointTable::stateChanged, this, again));
        connections_.push_back(connect(bound_, &PointTable::reset, this, again));
        // A written field leaves the text typed into the other controls.
        connections_.push_back(connect(bound_, &PointTable::currentFieldChanged, this,
                                       [this] { guarded([&] { refresh(true); }); }));
    }
    refresh();
}

void TFedit::refresh(bool keepPending)
{
    PointTable* table = openTable();
    const bool record =
        table && (table->state() != PointTable::State::Browse || table->currentRow() >= 0);
    const auto read = [&](const char16_t* name) -> std::optional<Field> {
        if (!record || table->fieldIndex(name) < 0)
            return std::nullopt;
        return Field(table, table->fieldIndex(name));
    };
    loading_ = true;
    for (auto [box, name] : {std::pair{DBSpinEdit1, u"X"}, std::pair{DBSpinEdit2, u"Y"}}) {
        if (dirty(box) && keepPending)
            continue;
        const std::optional<Field> field = read(name);
        box->setValue(!field || field->isNull() ? emptySpin : field->asInteger());
        setDirty(box, false);
    }
    for (auto [edit, name] : {std::pair{DBEdit1, u"NAME_EN"}, std::pair{DBEdit2, u"NAME_RUS"}}) {
        if (dirty(edit) && keepPending)
            continue;
        const std::optional<Field> field = read(name);
        const QString text = field ? field->asString() : QString();
        if (edit->text() != text)
            edit->setText(text);
        setDirty(edit, false);
    }
    const std::optional<Field> flag = read(u"OBR");
    const bool empty = !flag || flag->isNull();
    DBCheckEdit1->setTristate(empty);
    DBCheckEdit1->setCheckState(empty ? Qt::PartiallyChecked
                                      : (flag->asBoolean() ? Qt::Checked : Qt::Unchecked));
    loading_ = false;
}

void TFedit::writeControls()
{
    writeSpin(DBSpinEdit1, u"X");
    writeSpin(DBSpinEdit2, u"Y");
    writeEdit(DBEdit1, u"NAME_EN");
    writeEdit(DBEdit2, u"NAME_RUS");
}

void TFedit::writeSpin(QSpinBox* box, const char16_t* field)
{
    if (!dirty(box))
        return;
    setDirty(box, false);
    writeField(field, box->value() == emptySpin ? QString() : QString::number(box->value()));
}

void TFedit::writeEdit(QLineEdit* edit, const char16_t* field)
{
    if (!dirty(edit))
        return;
    setDirty(edit, false);
    writeField(field, edit->text());
}

void TFedit::writeField(const char16_t* name, const QString& text)
{
    PointTable* table = openTable();
    if (!table || table->fieldIndex(name) < 0)
        return;
    if (table->state() == PointTable::State::Browse)
        table->edit();
    Field field(table, table->fieldIndex(name));
    if (text.isEmpty())
        field.clear();
    else
        field.setAsString(text);
}

void TFedit::showEvent(QShowEvent* event)
{
    guarded([&] { refresh(); });
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

// The layout was drawn for a smaller font than the desktop's: where a
// caption is wider than the room left before its control, the controls after
// it move right, and the window grows by what then passes its right margin.
void TFedit::fitCaptions()
{
    constexpr int gap = 4;
    const auto overflow = [](const QWidget* caption, const QWidget* control) {
        return std::max(0, caption->x() + caption->sizeHint().width() + gap - control->x());
    };
    const auto moveRight = [](std::initializer_list<QWidget*> controls, int by) {
        for (QWidget* control : controls)
            control->move(control->x() + by, control->y());
    };
    const int designedRight = DBEdit1->geometry().right();
    moveRight({DBSpinEdit1, Label2, DBSpinEdit2, DBCheckEdit1}, overflow(Label1, DBSpinEdit1));
    moveRight({DBSpinEdit2, DBCheckEdit1}, overflow(Label2, DBSpinEdit2));
    moveRight({DBCheckEdit1},
              std::max(0, DBSpinEdit2->geometry().right() + 1 + gap * 2 - DBCheckEdit1->x()));
    DBCheckEdit1->resize(std::max(DBCheckEdit1->width(), DBCheckEdit1->sizeHint().width()),
                         DBCheckEdit1->height());
    moveRight({DBEdit1, DBEdit2}, std::max(overflow(Label3, DBEdit1), overflow(Label4, DBEdit2)));

    const int right = std::max(DBCheckEdit1->geometry().right(), DBEdit1->geometry().right());
    const int grow = std::max(0, right - designedRight);
    if (grow == 0)
        return;
    setFixedSize(clientWidth + grow, clientHeight);
    DBMemo1->resize(DBMemo1->width() + grow, DBMemo1->height());
    for (QLineEdit* edit : {DBEdit1, DBEdit2}) // right edges stay in line with the memo's
        edit->resize(DBMemo1->geometry().right() + 1 - edit->x(), edit->height());
    moveRight({BitBtn1}, grow);
    moveRight({Label5}, grow / 2);
}

} // namespace kelvora
