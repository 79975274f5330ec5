#include "guard.h"

#include "failure.h"
#include "prompts.h"

#include <exception>
#include <new>

namespace kelvora {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void showUncaughtFailure(const QString& message)
{
    prompts().error(errorBoxText(message));
}

void reportCurrentException() noexcept
{
    try {
        try {
            throw;
        } catch (const Failure& failure) {
            showUncaughtFailure(failure.message());
        } catch (const std::bad_alloc&) {
            showUncaughtFailure(QStringLiteral("Out of memory"));
        } catch (const std::exception& exception) {
            showUncaughtFailure(QString::fromLocal8Bit(exception.what()));
        } catch (...) {
            showUncaughtFailure(QStringLiteral("Unknown failure"));
        }
    } catch (...) {
        // Showing the box itself failed; there is nothing left to tell.
    }
}

} // namespace kelvora
