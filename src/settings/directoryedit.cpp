#include "directoryedit.h"

#include "guard.h"
#include "prompts.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

namespace kelvora {

namespace {

constexpr int kButtonWidth = 18;

} // namespace

QPoint folderBrowserPosition(const QRect& field, const QSize& browser, const QRect& screen)
{
    int x = field.left();
    int y = field.top() + field.height();
    if (x + browser.width() > screen.left() + screen.width())
        x -= browser.width();
    if (y + browser.height() > screen.top() + screen.height())
        y = field.top() - browser.height();
    x = std::max(x, screen.left());
    y = std::max(y, screen.top());
    return {x, y};
}

DirectoryEdit::DirectoryEdit(QWidget* parent)
    : QLineEdit(parent), browseButton_(new QToolButton(this))
{
    setReadOnly(true);
    browseButton_->setObjectName(QStringLiteral("BrowseButton"));
    browseButton_->setCursor(Qt::ArrowCursor);
    browseButton_->setFocusPolicy(Qt::NoFocus);
    browseButton_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browseButton_->setIconSize(QSize(12, 12));
    browseButton_->setAutoRaise(true);
    setTextMargins(0, 0, kButtonWidth, 0);
    connect(browseButton_, &QToolButton::clicked, this, [this] { guarded([this] { browse(); }); });
}

void DirectoryEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    browseButton_->setGeometry(width() - kButtonWidth, 0, kButtonWidth, height());
}

void DirectoryEdit::browse()
{
    QString start = text();
    // A root stays a root; any other trailing separator goes.
    while (start.size() > 1 && start.endsWith(u'/'))
        start.chop(1);
    if (start.isEmpty())
        start = QDir::currentPath();

    Prompts::FolderRequest request;
    request.title = QStringLiteral("Select Directory");
    request.startDirectory = start;
    const QRect field(mapToGlobal(QPoint(0, 0)), size());
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect =
        screen ? screen->availableGeometry() : QRect(field.topLeft(), browserSize());
    request.position = folderBrowserPosition(field, browserSize(), screenRect);

    const QString chosen = prompts().browseFolder(request);
    if (!chosen.isEmpty() && chosen != text())
        setText(chosen);
}

} // namespace kelvora
