#pragma once

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;

namespace kelvora {

class LinkLabel;

// The about and help window "О программе / Помощь": the banner, the release
// label, the two contact links and four panels of short help. A fixed-size
// tool window with only a close box, centred on the desktop, shown modally
// by F1 and its tool button; it has no commands of its own.
class TFabout : public QDialog
{
    Q_OBJECT

public:
    static constexpr int clientWidth = 680;
    static constexpr int clientHeight = 397;

    // The project's contacts and release.
    static const QString webAddress;
    static const QString mailAddress;
    static const QString releaseDate;

    explicit TFabout(QWidget* parent = nullptr);

    // The banner: the program's name on a map-like background.
    static QPixmap bannerPicture();

    // The controls, by their names.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    LinkLabel* LinkLabel1 = nullptr;
    QLabel* Label2 = nullptr;
    LinkLabel* LinkLabel2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label9 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label10 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel* Label11 = nullptr;

private:
    void fitToCaptions();
};

} // namespace kelvora
