#pragma once

#include "basefile.h"
#include "modifiedstate.h"
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

    // Whether the open base changed since it was loaded, opened empty or saved.
    ModifiedState& modifiedState() { return modified_; }
    bool modified() const { return modified_.modified(); }

    // The question asked before unsaved changes would be dropped.
    static Prompts::Question unsavedChangesQuestion();
    // Before a command drops the open base: when it is modified, asks
    // unsavedChangesQuestion(). Yes saves (through Save base as without a
    // file name) and goes on only when the base was saved; No goes on and
    // drops the changes; Cancel or the close box stops. Returns whether the
    // command goes on. A failed save is thrown to the caller's guard.
    bool settleUnsavedChanges();

    // Open base: after the dialog, settles unsaved changes, then closes the
    // table and loads the chosen file; a failed load shows a fixed message
    // and leaves the table open and empty.
    void ToolButton14Click();
    // Save base: writes the open table to baseFileName(), creating its
    // directory one level deep. Failures are thrown to the caller's guard.
    void ToolButton6Click();
    // Save base as: remembers the chosen path, then saves.
    void ToolButton10Click();

private:
    PointTable& table_;
    ModifiedState modified_{table_};
    BaseFileFormat format_;
    QString baseFileName_;
    Prompts::FileRequest openBaseDialog_;
    Prompts::FileRequest saveBaseDialog_;
};

} // namespace kelvora
