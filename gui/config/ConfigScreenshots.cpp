#include "gui/config/ConfigScreenshots.h"

#include <QDir>
#include <QTreeWidget>
#include <memory>

#include "core/KelvarApi.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/config/KelvarConfig_imp.h"
#include "gui/config/cfgCrossfader.h"
#include "gui/config/funConfig.h"
#include "gui/config/funLogic_category.h"
#include "gui/config/funLogic_web.h"
#include "gui/config/funLogic_weighted.h"
#include "gui/config/unConfig.h"
#include "gui/config/unWizCategory.h"
#include "gui/config/unWizComment.h"
#include "gui/config/unWizDirectory.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/engine/Screenshots.h"
#include "gui/plugins/unPluginConfig.h"

namespace kelvar {

namespace {

// The dialog over a copy of the running settings, keeping its pages alive while it is shown.
class TConfigPicture : public TfoConfig {
public:
    explicit TConfigPicture(int Page) {
        setWindowTitle("Configuration");
        FDoc = TConfigDoc_XML::Create("");
        if (TKelvarApi* api = ProgramKelvarApi()) api->SaveConfig(*FDoc->Section("Kelvar"));
        FConfig = std::make_unique<TKelvarConfig>();
        IConfigNodesPtr nodes = FConfig->GetNodes();
        ForEachConfigNode(*nodes, [this](IConfigNode& Node) { Node.SetConfigDoc(FDoc); });
        frmConfig1->SetNodes(*nodes);
        if (QTreeWidgetItem* item = frmConfig1->tvSections->topLevelItem(Page))
            frmConfig1->tvSections->setCurrentItem(item);
        // The fade graph draws on a timer; the picture is taken at once.
        if (auto* crossfader = dynamic_cast<TCfgFrmCrossfader*>(frmConfig1->ShownControl()))
            crossfader->frmFadeSettings1->DrawTimerTimer();
    }

private:
    IConfigDocPtr FDoc;
    std::unique_ptr<TKelvarConfig> FConfig;
};

std::unique_ptr<QWidget> LogicSettings(std::unique_ptr<TfrmPluginConfig> Frame) {
    auto dialog = std::make_unique<TfoPluginConfig>();
    auto doc = TConfigDoc_XML::Create("");
    if (TKelvarApi* api = ProgramKelvarApi()) api->SaveConfig(*doc->Section("Kelvar"));
    Frame->LoadSettings(*doc->Section("Kelvar")->Section("Logic"));
    dialog->setWindowTitle(Frame->Title);
    dialog->SetFrame(Frame.release());
    return dialog;
}

}  // namespace

void RegisterConfigScreenshots() {
    const char* pages[] = {"ConfigAudioPipe", "ConfigCrossfading", "ConfigGapKiller", "ConfigRotationRules",
                           "ConfigGeneral"};
    for (int page = 0; page < 5; ++page) {
        RegisterScreenshot(pages[page],
                           [page]() -> std::unique_ptr<QWidget> { return std::make_unique<TConfigPicture>(page); });
    }
    RegisterScreenshot("ConfigLogicWeighted", []() -> std::unique_ptr<QWidget> {
        return LogicSettings(std::make_unique<TfrmLogic_weighted>());
    });
    RegisterScreenshot("ConfigLogicClockwheel", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmLogic_category>();
        TfrmLogic_category* clockwheel = frame.get();
        auto dialog = LogicSettings(std::move(frame));
        // A script as a station would have it when the running logic has none.
        if (clockwheel->eRotationFormat->Lines().empty()) {
            clockwheel->eRotationFormat->SetLines(
                {"{# Playlist rotation CLOCKWHEEL script #}", "Cat['Power hits'].QueueBottom(smLRP, EnforceRules);",
                 "Cat['Rock'].QueueBottom(smWeighted, EnforceRules);", "{# Station ID #}",
                 "Dir['/srv/jingles'].QueueBottom(smRandom, NoRules);"});
        }
        return dialog;
    });
    RegisterScreenshot("ConfigLogicWeb",
                       []() -> std::unique_ptr<QWidget> { return LogicSettings(std::make_unique<TfrmLogic_web>()); });
    RegisterScreenshot("WizardCategory", []() -> std::unique_ptr<QWidget> {
        auto wizard = std::make_unique<TfoWizCategory>();
        if (TKelvarApi* api = ProgramKelvarApi()) {
            if (auto manager = api->PlaylistManager(); manager && manager->Categories)
                wizard->Fill(*manager->Categories);
        }
        return wizard;
    });
    RegisterScreenshot("WizardDirectory", []() -> std::unique_ptr<QWidget> {
        auto wizard = std::make_unique<TfoWizDirectory>();
        wizard->SetFolder(LastWizardFolder());
        return wizard;
    });
    RegisterScreenshot("WizardComment", []() -> std::unique_ptr<QWidget> {
        auto wizard = std::make_unique<TfoWizComment>();
        wizard->eComment->setText("Top of the hour");
        return wizard;
    });
}

}  // namespace kelvar
