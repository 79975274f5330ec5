#include "forms.h"

#include "tfabout.h"
#include "tfedit.h"
#include "tfmain.h"
#include "tfsettings.h"

namespace kelvora {

TFmain* Fmain = nullptr;
TFsettings* Fsettings = nullptr;
TFedit* Fedit = nullptr;
TFabout* Fabout = nullptr;

Forms::Forms(const MainFactory& createMain)
{
    main_ = createMain ? createMain() : std::make_unique<TFmain>();
    Fmain = main_.get();
    settings_ =
        std::make_unique<TFsettings>(main_->settingsFile(), main_->settingsControls(), main_.get());
    Fsettings = settings_.get();
    edit_ = std::make_unique<TFedit>(main_->dataSource1(), main_.get());
    Fedit = edit_.get();
    about_ = std::make_unique<TFabout>(main_.get());
    Fabout = about_.get();
}

Forms::~Forms()
{
    Fabout = nullptr;
    about_.reset();
    Fedit = nullptr;
    edit_.reset();
    Fsettings = nullptr;
    settings_.reset();
    Fmain = nullptr;
    main_.reset();
}

} // namespace kelvora
