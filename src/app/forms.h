#pragma once

#include <functional>
#include <memory>

namespace kelvora {

class TFabout;
class TFedit;
class TFmain;
class TFsettings;

// The four windows of the run, one each; null while no Forms lives.
extern TFmain* Fmain;
extern TFsettings* Fsettings;
extern TFedit* Fedit;
extern TFabout* Fabout;

// Creates the four windows in start-up order, each reference set as its
// window is made: the main window, then the settings window (which reads the settings
// file into the main window's controls), the edit window and the about
// window. Only the main window is ever shown non-modally; the others stay
// hidden until shown modally. Releases them in reverse order.
class Forms
{
public:
    using MainFactory = std::function<std::unique_ptr<TFmain>()>;

    // `createMain` makes the main window; the default makes a TFmain.
    explicit Forms(const MainFactory& createMain = {});
    ~Forms();

    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;

private:
    std::unique_ptr<TFmain> main_;
    std::unique_ptr<TFsettings> settings_;
    std::unique_ptr<TFedit> edit_;
    std::unique_ptr<TFabout> about_;
};

} // namespace kelvora
