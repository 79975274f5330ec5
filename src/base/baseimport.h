#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace kelvora {

class BaseFileFormat;
class PointTable;

// Merges the points of a base file into the open base. Each imported
// record is skipped, added, or replaces the open base's point of the same
// name, by the import choices read afresh at every decision, asking through
// Questions where the choices say so. Free of widgets: the window supplies
// the questions, the choices and the progress display.
class BaseImport
{
public:
    // The plain message every failed import ends with.
    static const QString failedText;

    enum class ReplaceAnswer { Replace, Add, Skip };
    // Which of the three name rules is on, if any.
    enum class NameRule { None, Replace, Add, Next };

    struct Choices
    {
        bool noQuestion = false; // add absent names without asking
        bool diffPoint = false;  // ask when the name sits elsewhere
        NameRule names = NameRule::None;
    };

    // One point as the questions show it; a null field is an empty one.
    struct Point
    {
        QString nameEn;
        QString nameRus;
        std::optional<int> x;
        std::optional<int> y;
    };

    class Questions
    {
    public:
        virtual ~Questions() = default;
        // Yes = Replace, No = Add, Ignore or the close box = Skip.
        virtual ReplaceAnswer askReplace(const QString& text) = 0;
        // True only for Yes.
        virtual bool askAdd(const QString& text) = 0;
    };

    // Every hook may be left empty.
    struct Hooks
    {
        std::function<Choices()> choices;
        // Unbinds and rebinds the views of the destination.
        std::function<void()> detach;
        std::function<void()> attach;
        std::function<void(int)> setMaximum;
        // Raises the progress by one and returns the position read back.
        std::function<int()> advance;
        // Redraws the progress at once.
        std::function<void()> repaint;
    };

    BaseImport(PointTable& destination, PointTable& source, Questions& questions, Hooks hooks);

    // Closes the source, loads `fileName` into it, detaches, walks every
    // source record once in file order deciding for each, empties and
    // closes the source, attaches again. Returns false when anything from
    // the load to the end of the walk failed: what was merged stays, the
    // source keeps what it held, and the views are attached again.
    bool run(const QString& fileName, const BaseFileFormat& format);

    // Decides for the source's current record; returns whether it was
    // copied (which moves the source on by itself).
    bool decide();

    static QString replaceQuestion(const Point& existing, const Point& imported);
    static QString addQuestion(const Point& imported);
    // The current record of `table`.
    static Point currentPoint(PointTable& table);

private:
    Choices choices() const;
    void copy();
    void walk();

    PointTable& destination_;
    PointTable& source_;
    Questions& questions_;
    Hooks hooks_;
};

} // namespace kelvora
