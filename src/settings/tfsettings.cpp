#include "tfsettings.h"

#include "directoryedit.h"
#include "guard.h"
#include "settingsfile.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <algorithm>

namespace kelvora {

// One key of the file: how it is read into the controls and written from
// them. Reading and writing both walk the one table, in its order.
struct TFsettings::Key
{
    std::function<void()> read;
    std::function<void()> write;
};

namespace {

const QString kBase = QStringLiteral("base");
const QString kSystem = QStringLiteral("system");
const QString kImp = QStringLiteral("imp");
const QString kSpeed = QStringLiteral("speed");
const QString kMapSearch = QStringLiteral("mapsearch");

// Turning a radio button on turns the others of its group off; turning it
// off changes no other, so a group may end with no button on.
void setRadioOn(QRadioButton* button, bool on)
{
    if (on || !button->isChecked()) {
        button->setChecked(on);
        return;
    }
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

template <typename Control>
Control* place(QWidget* parent, const char* name, int x, int y, int width, int height,
               const QString& caption = {})
{
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(x, y, width, height);
    if constexpr (!std::is_same_v<Control, DirectoryEdit>) {
        if constexpr (std::is_same_v<Control, QGroupBox>)
            control->setTitle(caption);
        else
            control->setText(caption);
    }
    return control;
}

} // namespace

TFsettings::TFsettings(SettingsFile& settingsFile, const MainWindowControls& main, QWidget* parent)
    : QDialog(parent), settingsFile_(settingsFile), main_(main)
{
    setObjectName(QStringLiteral("Fsettings"));
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    setFont(font);
    setFixedSize(692, 346);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildControls();
    buildKeys();
    FormCreate();
}

TFsettings::~TFsettings() = default;

void TFsettings::buildControls()
{
    // Created in the tab order: GroupBox1, GroupBox2, FSOk, FSCansel, GroupBox3.
    groupBox1_ = place<QGroupBox>(this, "GroupBox1", 8, 8, 673, 89, QStringLiteral("Базы"));
    basePathIsPict_ =
        place<QRadioButton>(groupBox1_, "BASEPATHISPICT", 8, 16, 265, 17,
                            QStringLiteral("Каталог баз совпадает с каталогом картинки"));
    basePathSpecial_ = place<QRadioButton>(groupBox1_, "BASEPATHSPECIAL", 8, 40, 241, 17,
                                           QStringLiteral("Все базы лежат в отдельном каталоге"));
    basePathSpecial_->setChecked(true);
    directoryEdit1_ = place<DirectoryEdit>(groupBox1_, "DirectoryEdit1", 264, 38, 401, 21);
    baseOpenWithImg_ = place<QCheckBox>(
        groupBox1_, "BASEOPENWITHIMG", 8, 64, 657, 17,
        QStringLiteral("Открывать одноименную базу при открытии файла изображения, если не "
                       "найдена, создавать новую"));
    baseOpenWithImg_->setChecked(true);

    groupBox2_ = place<QGroupBox>(this, "GroupBox2", 8, 104, 673, 57, QStringLiteral("Различное"));
    mapRefresh_ = place<QCheckBox>(
        groupBox2_, "MAPREFRESH", 8, 16, 657, 17,
        QStringLiteral("Для тех, у кого при поиске карта обновляется плохо, включите эту галочку"));

    fsOk_ = place<QPushButton>(this, "FSOk", 576, 312, 99, 25, QStringLiteral("Сохранить"));
    fsOk_->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    fsOk_->setDefault(true);
    fsCansel_ = place<QPushButton>(this, "FSCansel", 16, 312, 75, 25, QStringLiteral("Cancel"));
    fsCansel_->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    groupBox3_ = place<QGroupBox>(this, "GroupBox3", 8, 168, 673, 137, QStringLiteral("Импорт"));
    impNoQuestion_ = place<QCheckBox>(
        groupBox3_, "IMPNOQUESTION", 8, 16, 361, 17,
        QStringLiteral("Добавлять точки без вопросов, если название в базе отсутствует"));
    impNoQuestion_->setChecked(true);
    impDiffPoint_ = place<QCheckBox>(
        groupBox3_, "IMPDIFFPOINT", 8, 32, 457, 17,
        QStringLiteral(
            "Спрашивать о нужности добавления/замены, если названия совпадают, а точки нет."));
    impNames_ = place<QGroupBox>(groupBox3_, "IMPNAMES", 24, 56, 257, 73,
                                 QStringLiteral("Действия по умолчанию при совпадении имен"));
    impNamesReplace_ = place<QRadioButton>(impNames_, "IMPNAMES_REPLACE", 16, 16, 81, 17,
                                           QStringLiteral("Заменять"));
    impNamesReplace_->setChecked(true);
    impNamesAdd_ =
        place<QRadioButton>(impNames_, "IMPNAMES_ADD", 16, 32, 81, 17, QStringLiteral("Добавлять"));
    impNamesNext_ = place<QRadioButton>(impNames_, "IMPNAMES_NEXT", 16, 48, 89, 17,
                                        QStringLiteral("Пропускать"));

    // Only the button that can take focus from the keyboard counts; the
    // field's browse button is reached by the mouse.
    QWidget::setTabOrder(basePathIsPict_, basePathSpecial_);
    QWidget::setTabOrder(basePathSpecial_, directoryEdit1_);
    QWidget::setTabOrder(directoryEdit1_, baseOpenWithImg_);
    QWidget::setTabOrder(baseOpenWithImg_, mapRefresh_);
    QWidget::setTabOrder(mapRefresh_, fsOk_);
    QWidget::setTabOrder(fsOk_, fsCansel_);
    QWidget::setTabOrder(fsCansel_, impNoQuestion_);
    QWidget::setTabOrder(impNoQuestion_, impDiffPoint_);
    QWidget::setTabOrder(impDiffPoint_, impNamesReplace_);
    QWidget::setTabOrder(impNamesReplace_, impNamesAdd_);
    QWidget::setTabOrder(impNamesAdd_, impNamesNext_);

    connect(impDiffPoint_, &QCheckBox::toggled, this,
            [this] { guarded([this] { IMPDIFFPOINTClick(); }); });
    connect(fsOk_, &QPushButton::clicked, this, &TFsettings::FSOkPressed);
    connect(fsCansel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TFsettings::buildKeys()
{
    // Captured by value: the file outlives the window.
    SettingsFile* file = &settingsFile_;
    auto checkBox = [file](QCheckBox* box, const QString& section, const QString& key) {
        return Key{[file, box, section, key] {
                       box->setChecked(file->readBool(section, key, box->isChecked()));
                   },
                   [file, box, section, key] {
                       file->writeBool(section, key, box->isChecked());
                   }};
    };
    auto radio = [file](QRadioButton* button, const QString& section, const QString& key) {
        return Key{[file, button, section, key] {
                       setRadioOn(button, file->readBool(section, key, button->isChecked()));
                   },
                   [file, button, section, key] {
                       file->writeBool(section, key, button->isChecked());
                   }};
    };
    auto toggle = [file](QAbstractButton* button, const QString& section, const QString& key) {
        // In a group that keeps one button down, Qt ignores raising that one.
        return Key{[file, button, section, key] {
                       button->setChecked(file->readBool(section, key, button->isChecked()));
                   },
                   [file, button, section, key] {
                       file->writeBool(section, key, button->isChecked());
                   }};
    };

    const QString exeDir = QFileInfo(file->fileName()).absolutePath() + u'/';

    keys_.push_back({[this, file] {
                         // Both buttons come from the one key, each read with its own
                         // state as the default, so exactly one of them ends up on.
                         setRadioOn(basePathIsPict_,
                                    !file->readBool(kBase, QStringLiteral("allbaseinonecatalog"),
                                                    !basePathIsPict_->isChecked()));
                         setRadioOn(basePathSpecial_,
                                    file->readBool(kBase, QStringLiteral("allbaseinonecatalog"),
                                                   basePathSpecial_->isChecked()));
                     },
                     [this, file] {
                         file->writeBool(kBase, QStringLiteral("allbaseinonecatalog"),
                                         basePathSpecial_->isChecked());
                     }});
    keys_.push_back(
        {[this, file, exeDir] {
             const QString fallback = directoryEdit1_->text().isEmpty()
                                          ? exeDir + QStringLiteral("bases")
                                          : directoryEdit1_->text();
             directoryEdit1_->setText(file->readString(kBase, QStringLiteral("catalog"), fallback));
         },
         [this, file] {
             file->writeString(kBase, QStringLiteral("catalog"), directoryEdit1_->text());
         }});
    keys_.push_back(checkBox(baseOpenWithImg_, kBase, QStringLiteral("openwithimg")));
    keys_.push_back(checkBox(mapRefresh_, kSystem, QStringLiteral("maprefresh")));
    keys_.push_back(checkBox(impNoQuestion_, kImp, QStringLiteral("impnoquestion")));
    Key diffPoint = checkBox(impDiffPoint_, kImp, QStringLiteral("impdiffpoint"));
    diffPoint.read = [this, read = diffPoint.read] {
        read();
        IMPDIFFPOINTClick();
    };
    keys_.push_back(std::move(diffPoint));
    keys_.push_back(radio(impNamesReplace_, kImp, QStringLiteral("impnames_replace")));
    keys_.push_back(radio(impNamesAdd_, kImp, QStringLiteral("impnames_add")));
    keys_.push_back(radio(impNamesNext_, kImp, QStringLiteral("impnames_next")));

    static const char* const speedKeys[] = {"001", "008", "016", "064", "128"};
    for (std::size_t i = 0; i < main_.speedButtons.size(); ++i) {
        if (main_.speedButtons[i])
            keys_.push_back(toggle(main_.speedButtons[i], kSpeed, QLatin1String(speedKeys[i])));
    }
    if (QAbstractSlider* radius = main_.radius) {
        // Kept within 0 to 100; valueChanged runs the main window's handler
        // when the position moves.
        keys_.push_back(
            {[file, radius] {
                 const int stored =
                     file->readInteger(kMapSearch, QStringLiteral("radius"), radius->value());
                 radius->setValue(std::clamp(stored, 0, 100));
             },
             [file, radius] {
                 file->writeInteger(kMapSearch, QStringLiteral("radius"), radius->value());
             }});
    }
    if (main_.panel || main_.setPanelWidth) {
        keys_.push_back({[this, file] {
                             setPanelWidth(file->readInteger(kSystem, QStringLiteral("panelwidth"),
                                                             panelWidth()));
                         },
                         [this, file] {
                             file->writeInteger(kSystem, QStringLiteral("panelwidth"),
                                                panelWidth());
                         }});
    }
    if (QAbstractButton* search = main_.searchMode) {
        QAbstractButton* add = main_.addMode;
        keys_.push_back(
            {[file, search, add] {
                 search->setChecked(
                     file->readBool(kSystem, QStringLiteral("mapsearch"), search->isChecked()));
                 // Read again, with the search button's new state
                 // as the default.
                 if (add)
                     add->setChecked(!file->readBool(kSystem, QStringLiteral("mapsearch"),
                                                     search->isChecked()));
             },
             [file, search] {
                 file->writeBool(kSystem, QStringLiteral("mapsearch"), search->isChecked());
             }});
    }
}

void TFsettings::FormCreate()
{
    for (const Key& key : keys_)
        key.read();
}

void TFsettings::IMPDIFFPOINTClick()
{
    impNames_->setVisible(!impDiffPoint_->isChecked());
}

void TFsettings::FSOkClick()
{
    for (const Key& key : keys_)
        key.write();
}

void TFsettings::FSOkPressed()
{
    // The result is set first, so that the window closes even when the save
    // fails.
    setResult(QDialog::Accepted);
    guarded([this] { FSOkClick(); });
    done(QDialog::Accepted);
}

int TFsettings::panelWidth() const
{
    if (main_.panelWidth)
        return main_.panelWidth();
    return main_.panel ? main_.panel->width() : 0;
}

void TFsettings::setPanelWidth(int width)
{
    if (main_.setPanelWidth) {
        main_.setPanelWidth(width);
        return;
    }
    QWidget* panel = main_.panel;
    if (!panel)
        return;
    auto* splitter = qobject_cast<QSplitter*>(panel->parentWidget());
    const int index = splitter ? splitter->indexOf(panel) : -1;
    if (index < 0) {
        panel->resize(width, panel->height());
        return;
    }
    // The others share what is left in proportion to their present sizes;
    // setSizes scales whatever does not fit.
    QList<int> sizes = splitter->sizes();
    int total = 0;
    int others = 0;
    for (int i = 0; i < sizes.size(); ++i) {
        total += sizes[i];
        if (i != index)
            others += sizes[i];
    }
    const int rest = std::max(total - width, 0);
    for (int i = 0; i < sizes.size(); ++i) {
        if (i == index)
            sizes[i] = width;
        else
            sizes[i] =
                others > 0 ? int(qint64(sizes[i]) * rest / others) : rest / int(sizes.size() - 1);
    }
    splitter->setSizes(sizes);
}

} // namespace kelvora
