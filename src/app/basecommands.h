#pragma once

#include "basefile.h"
#include "prompts.h"

#include <QString>

namespace kelvora {

class PointTable;

// The base file commands of the main window without its widgets: Open base,
// Save base and Save base as, the open and save dialogs' requests, the
// current base file's path and the one format object every load and save
// of a base uses. Boxes and dialogs go through prompts().
class BaseCommands
{
public:
    explicit BaseCommands(PointTable& table);

    // The full path of the current base file; empty when there is none.
    const QString& baseFileName() const { return baseFileName_; }
    void setBaseFileName(const QString& path) { baseFileName_ = path; }

    // The format object for every load and save of a base.
    const BaseFileFormat& format() const { return format_; }

    // The open dialog for base files, shared with the import: the file chosen
    // last by either is offered again.
    const Prompts::FileRequest& openBaseDialog() const { return openBaseDialog_; }
    // Shows the open dialog; returns the chosen path or an empty string.
    QString runOpenBaseDialog();
    const Prompts::FileRequest& saveBaseDialog() const { return saveBaseDialog_; }

    // Open base: closes the table (unsaved records are dropped) and loads the
    // chosen file; a failed load shows a fixed message and leaves the table open.
    void ToolButton14Click();
    // Save base: writes the open table to baseFileName(), creating its
    // directory one level deep. Failures are thrown to the caller's guard.
    void ToolButton6Click();
    // Save base as: remembers the chosen path, then saves.
    void ToolButton10Click();

private:
    PointTable& table_;
    BaseFileFormat format_;
    QString baseFileName_;
    Prompts::FileRequest openBaseDialog_;
    Prompts::FileRequest saveBaseDialog_;
};

} // namespace kelvora
