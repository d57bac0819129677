#include "gui/audioconfig/funWinampDSP.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QUrl>
#include <filesystem>

#include "controls/FxFancyButton.h"
#include "controls/KcSpinner.h"
#include "core/DSPPluginAccess.h"
#include "foundation/Logger.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

namespace {

constexpr int PluginRole = Qt::UserRole + 1;

void OpenWebPage(const char* Address) {
    if (!QDesktopServices::openUrl(QUrl(QString::fromLatin1(Address))))
        LogMessage(std::string("Unable to open the web page ") + Address, "DSP", LogKind::Warning);
}

}  // namespace

TfrmWinampDSP::TfrmWinampDSP(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmWinampDSP");
    eList = new QListWidget(this);
    eList->setObjectName("eList");
    eList->setGeometry(4, 4, 440, 240);
    auto* panel1 = new QWidget(this);
    panel1->setObjectName("Panel1");
    panel1->setGeometry(4, 248, 480, 60);
    MakeEditorLabel(panel1, "lbModule", "Plug-in module:", QRect(0, 4, 100, 20));
    eModule = new QComboBox(panel1);
    eModule->setObjectName("eModule");
    eModule->setGeometry(104, 2, 250, 22);
    btConfig = new TFxFancyButton("Configure plugin", panel1);
    btConfig->setObjectName("btConfig");
    btConfig->setGeometry(104, 30, 120, 25);
    btRefresh = new TFxFancyButton("Refresh list", panel1);
    btRefresh->setObjectName("btRefresh");
    btRefresh->setGeometry(234, 30, 120, 25);
    Label2 = new QLabel("Get DSP plugins", panel1);
    Label2->setObjectName("Label2");
    Label2->setGeometry(364, 34, 110, 18);
    Label2->setCursor(Qt::PointingHandCursor);
    auto* panel2 = new QWidget(this);
    panel2->setObjectName("Panel2");
    panel2->setGeometry(448, 4, 36, 240);
    btUpDown = new TKcSpinner(panel2);
    btUpDown->setObjectName("btUpDown");
    btUpDown->setGeometry(4, 90, 28, 60);
    setMinimumSize(490, 312);

    connect(eList, &QListWidget::itemClicked, this, [this] { GuardedUi([this] { UpdateModules(); }); });
    connect(eList, &QListWidget::currentRowChanged, this, [this] { GuardedUi([this] { UpdateModules(); }); });
    connect(eList, &QListWidget::itemDoubleClicked, this, [this] { GuardedUi([this] { ConfigureSelected(); }); });
    connect(eList, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { GuardedUi([this, item] { ItemChanged(item); }); });
    btConfig->OnClick = [this](TFxFancyButton&) { GuardedUi([this] { ConfigureSelected(); }); };
    btRefresh->OnClick = [this](TFxFancyButton&) { GuardedUi([this] { RefreshClicked(); }); };
    btUpDown->OnUpClick = [this](TKcCustomControl&) { GuardedUi([this] { MoveUp(); }); };
    btUpDown->OnDownClick = [this](TKcCustomControl&) { GuardedUi([this] { MoveDown(); }); };
    Label2->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    Label2->setText("<a href=\"dsp\" style=\"color: navy\">Get DSP plugins</a>");
    connect(Label2, &QLabel::linkActivated, this, [] { OpenWebPage(PluginsPage); });
    UpdateModules();
}

TfrmWinampDSP::~TfrmWinampDSP() { Detach(); }

void TfrmWinampDSP::Attach(TNode_WinampDSPList* Node) {
    if (FNode == Node && FList) return;
    Detach();
    FNode = Node;
    QWidget* parent = window();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (dynamic_cast<QMainWindow*>(top)) {
            parent = top;
            break;
        }
    FList = InstalledDSPPlugins(parent ? static_cast<uintptr_t>(parent->winId()) : 0);
    FCurrent.reset();
    FWasLoaded = false;
    FWasActive = false;
    FillList();
}

void TfrmWinampDSP::Detach() {
    if (!FList) {
        FNode = nullptr;
        return;
    }
    SetCurrent(nullptr);
    TDSPPluginListAccess list(*FList);
    for (int i = 0; i < list.Count(); ++i) {
        TDSPPluginPtr plugin = list.Item(i);
        if (!plugin || TDSPPluginAccess(*plugin).InUse()) continue;
        try {
            TDSPPluginAccess(*plugin).Deactivate();
            TDSPPluginAccess(*plugin).Unload();
        } catch (const std::exception& e) {
            LogMessage(std::string("Unable to unload DSP plugin: ") + e.what(), "DSP", LogKind::Error);
        }
    }
    FList.reset();
    FNode = nullptr;
    FFilling = true;
    eList->clear();
    FFilling = false;
    UpdateModules();
}

TDSPPluginPtr TfrmWinampDSP::PluginOf(const QListWidgetItem* Item) const {
    if (!Item || !FList) return nullptr;
    return TDSPPluginListAccess(*FList).FindByFile(Item->data(PluginRole).toString().toStdString());
}

TDSPPluginPtr TfrmWinampDSP::Selected() const { return PluginOf(eList->currentItem()); }

void TfrmWinampDSP::FillList() {
    FFilling = true;
    eList->clear();
    if (FList) {
        TDSPPluginListAccess list(*FList);
        for (int i = 0; i < list.Count(); ++i) {
            TDSPPluginPtr plugin = list.Item(i);
            if (!plugin) continue;
            TDSPPluginAccess access(*plugin);
            const std::string file = std::filesystem::path(access.FileName()).filename().string();
            auto* item =
                new QListWidgetItem(QString::asprintf("%s (%s)", access.Description().c_str(), file.c_str()), eList);
            item->setData(PluginRole, QString::fromStdString(access.FileName()));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            const bool inChain = FNode && TDSPChainAccess(*FNode).Contains(access.FileName());
            item->setCheckState(inChain ? Qt::Checked : Qt::Unchecked);
        }
    }
    FFilling = false;
    SetCurrent(nullptr);
}

void TfrmWinampDSP::SetCurrent(const TDSPPluginPtr& Plugin) {
    if (Plugin != FCurrent) {
        if (FCurrent && !TDSPPluginAccess(*FCurrent).InUse()) {
            try {
                if (!FWasActive) TDSPPluginAccess(*FCurrent).Deactivate();
                if (!FWasLoaded) TDSPPluginAccess(*FCurrent).Unload();
            } catch (const std::exception& e) {
                LogMessage(std::string("Unable to release DSP plugin: ") + e.what(), "DSP", LogKind::Error);
            }
        }
        if (Plugin) {
            TDSPPluginAccess plugin(*Plugin);
            FWasLoaded = plugin.IsLoaded();
            if (!FWasLoaded) plugin.Load();
            FWasActive = plugin.IsActive();
            if (!FWasActive) plugin.Activate(0);
            FCurrent = Plugin;
        } else {
            FWasLoaded = false;
            FWasActive = false;
            FCurrent.reset();
        }
    }
    UpdateModules();
}

void TfrmWinampDSP::UpdateModules() {
    eModule->clear();
    TDSPPluginPtr plugin = Selected();
    const bool active = plugin && TDSPPluginAccess(*plugin).IsActive();
    if (active) {
        for (const std::string& name : TDSPPluginAccess(*plugin).ModuleNames())
            eModule->addItem(QString::fromUtf8(name.c_str()));
        eModule->setCurrentIndex(TDSPPluginAccess(*plugin).ModuleIndex());
    }
    btConfig->setEnabled(active);
    eModule->setEnabled(active);
}

void TfrmWinampDSP::ConfigureSelected() {
    TDSPPluginPtr plugin = Selected();
    if (!plugin) return;
    SetCurrent(plugin);
    if (TDSPPluginAccess(*plugin).IsActive() && eModule->currentIndex() >= 0)
        TDSPPluginAccess(*plugin).Configure(eModule->currentIndex());
}

void TfrmWinampDSP::ItemChanged(QListWidgetItem* Item) {
    if (FFilling || !Item) return;
    TDSPPluginPtr plugin = PluginOf(Item);
    if (!plugin) return;
    eList->setCurrentItem(Item);
    SetCurrent(plugin);
    if (!FNode) return;
    if (Item->checkState() == Qt::Checked) {
        if (TDSPPluginAccess(*plugin).UsedByOther(FNode)) {
            const int answer = MessageDlg(
                "Each DSP plugin can only be used once in the audio pipeline.\nThe selected DSP plugin is already in "
                "use.\nPress OK to read how you can work around this problem, or Cancel to continue",
                TMsgDlgType::Information, MsgButton::OK | MsgButton::Cancel, this);
            if (answer == MsgButton::OK) OpenWebPage(WorkAroundPage);
            FFilling = true;
            Item->setCheckState(Qt::Unchecked);
            FFilling = false;
            return;
        }
        TDSPChainAccess(*FNode).Add(plugin);
    } else {
        TDSPChainAccess(*FNode).Remove(plugin);
    }
    UpdateModules();
}

void TfrmWinampDSP::RefreshClicked() {
    if (!FList) return;
    TDSPPluginListAccess(*FList).Refresh();
    FillList();
}

void TfrmWinampDSP::Exchange(int Row, int Other) {
    if (!FList) return;
    TDSPPluginListAccess(*FList).Exchange(Row, Other);
    if (FNode) TDSPChainAccess(*FNode).Sort();
    FFilling = true;
    const int low = std::min(Row, Other);
    QListWidgetItem* item = eList->takeItem(low + 1);
    eList->insertItem(low, item);
    FFilling = false;
    eList->setCurrentRow(Other);
}

void TfrmWinampDSP::MoveUp() {
    const int row = eList->currentRow();
    if (row > 0) Exchange(row, row - 1);
}

void TfrmWinampDSP::MoveDown() {
    const int row = eList->currentRow();
    if (row >= 0 && row < eList->count() - 1) Exchange(row, row + 1);
}

}  // namespace kelvar
