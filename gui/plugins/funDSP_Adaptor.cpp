#include "gui/plugins/funDSP_Adaptor.h"

#include <QMessageBox>
#include <QVBoxLayout>

#include "core/plugins/DSP_Adaptor.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

// A getter that never answers none must not fill the list for ever.
constexpr int MaxModules = 1024;

TDSPAdaptorWarning Warning;

void Warn(QWidget* parent, const QString& text) {
    if (Warning) {
        Warning(parent, text);
        return;
    }
    QMessageBox::warning(parent, QString(), text, QMessageBox::Ok);
}

void CreateConfig(IInterfacePtr* Instance, const char*) {
    if (Instance) *Instance = std::make_shared<funDSP_Adaptor::TCustomConfig>();
}

}  // namespace

TfrmDSP_Adaptor::TfrmDSP_Adaptor(QWidget* Parent) : TfrmPluginConfig(Parent) {
    auto* column = new QVBoxLayout(this);
    lbModule = new QLabel("Select active DSP module", this);
    eModule = new QComboBox(this);
    eModule->setObjectName("eModule");
    btConfig = new TBoxButton("Configure", this);
    btConfig->setObjectName("btConfig");
    btConfig->setFixedSize(75, 25);
    column->addWidget(lbModule);
    column->addWidget(eModule);
    column->addWidget(btConfig, 0, Qt::AlignLeft);
    column->addStretch(1);
    connect(btConfig, &QAbstractButton::clicked, this, [this] { ConfigureModule(); });

    const TWinampDSPLibrary& library = DSPAdaptorHandOver().Library;
    if (library.Header) {
        const char* description = library.Header->description;
        SetDSPAdaptorName(std::string("Adaptor: ") + (description ? description : ""));
        if (library.Header->getModule) {
            for (int i = 0; i < MaxModules; ++i) {
                TWinampDSPModule* module = library.Header->getModule(i);
                if (!module) break;
                eModule->addItem(QString::fromUtf8(module->description ? module->description : ""));
            }
        }
    }
    eModule->setCurrentIndex(eModule->count() > 0 ? 0 : -1);
}

void TfrmDSP_Adaptor::LoadSettings(IConfigDoc& Node) {
    FLoadedIndex = static_cast<int>(Node.ReadInteger("Module", 0));
    if (FLoadedIndex >= 0 && FLoadedIndex < eModule->count()) eModule->setCurrentIndex(FLoadedIndex);
}

void TfrmDSP_Adaptor::SaveSettings(IConfigDoc& Node) {
    const int index = eModule->currentIndex();
    Node.WriteInteger("Module", index >= 0 ? index : FLoadedIndex);
}

void TfrmDSP_Adaptor::ConfigureModule() {
    const TWinampDSPLibrary& library = DSPAdaptorHandOver().Library;
    const int index = eModule->currentIndex();
    if (!library.Header || !library.Header->getModule || index < 0) return;
    try {
        TWinampDSPModule* module = library.Header->getModule(index);
        if (!module || !module->Config) return;
        module->hwndParent = 0;  // no desktop window here
        module->hDllInstance = library.Handle;
        module->Config(module);
    } catch (const std::exception& e) {
        LogMessage(std::string("DSP plugin configuration failed: ") + e.what(), "DSP", LogKind::Error);
        Warn(this, "Error occured while trying to configure plugin");
    } catch (...) {
        Warn(this, "Error occured while trying to configure plugin");
    }
}

namespace funDSP_Adaptor {

std::unique_ptr<TfrmPluginConfig> TCustomConfig::CreateFrame() {
    auto frame = std::make_unique<TfrmDSP_Adaptor>();
    frame->Title = "Winamp DSP plugin adaptor";
    return frame;
}

}  // namespace funDSP_Adaptor

TPluginInfo* DSPAdaptorConfigInfo() {
    static TPluginInfo record = [] {
        TPluginInfo info = *DSPAdaptorGetPluginInfo();  // the same texts, the same name buffer
        info.CreateInstance = CreateConfig;
        return info;
    }();
    return &record;
}

void RegisterDSPAdaptorConfig() { SetDSPAdaptorConfigInfo(&DSPAdaptorConfigInfo); }

void SetDSPAdaptorWarning(TDSPAdaptorWarning Value) { Warning = std::move(Value); }

}  // namespace kelvar
