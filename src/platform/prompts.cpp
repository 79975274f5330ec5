#include "prompts.h"

#include <QStringList>

namespace kelvora {

namespace {
Prompts* installedPrompts = nullptr;
}

Prompts& prompts()
{
    Q_ASSERT_X(installedPrompts, "prompts", "no prompts installed");
    return *installedPrompts;
}

void setPrompts(Prompts* prompts)
{
    installedPrompts = prompts;
}

QStringList nameFiltersOf(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString& description = parts[i];
        // Qt reads the patterns from the last parentheses of a filter; keep a
        // description that already shows them as it is.
        if (description.contains(QLatin1Char('(')))
            result << description.left(description.lastIndexOf(QLatin1Char('('))).trimmed() +
                          QStringLiteral(" (") + patterns + QLatin1Char(')');
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

QString buttonCaption(Prompts::Button button)
{
    switch (button) {
    case Prompts::Button::Ok:
        return QStringLiteral("OK");
    case Prompts::Button::Cancel:
        return QStringLiteral("Cancel");
    case Prompts::Button::Yes:
        return QStringLiteral("Yes");
    case Prompts::Button::No:
        return QStringLiteral("No");
    case Prompts::Button::Ignore:
        return QStringLiteral("Ignore");
    case Prompts::Button::None:
        break;
    }
    return {};
}

} // namespace kelvora
