#pragma once

#include <QString>

#include <utility>

namespace kelvora {

// The text of the application-wide error box: a full stop is appended when
// the message is not empty and its last character sorts after "." by code.
QString errorBoxText(const QString& message);

// Shows a failure that no command caught in the application-wide error box.
void showUncaughtFailure(const QString& message);

// Shows the exception being handled; call only inside a catch block.
void reportCurrentException() noexcept;

// Runs one UI entry point (slot, event handler, timer tick). No exception may
// cross into Qt: whatever escapes the work is shown in the error box and the
// program goes on with the next event.
template <typename Work> void guarded(Work&& work) noexcept
{
    try {
        std::forward<Work>(work)();
    } catch (...) {
        reportCurrentException();
    }
}

} // namespace kelvora
