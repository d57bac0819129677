// The main window's layouts: which windows each of the three desktops shows, where and how
// large, kept in layout documents; and the Window and Layout menus' lists.
//
// A layout file is input like any other: a value that is not a number or out of all reason
// falls back to its default, a missing node reads as empty, a window or main window that
// would sit where nobody can see it is brought back into view, and an unreadable file is kept
// aside so that the layout starts empty. Every such correction is logged.
#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

#include <algorithm>
#include <filesystem>

#include "controls/BoxButton.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/FileFind.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/WindowPlacement.h"
#include "gui/engine/unMDIForm.h"
#include "gui/unMDIGUI.h"

namespace kelvar {

namespace {

constexpr int kDefaultPosition = 10;
constexpr int kMaxExtent = 16384;  // larger than any screen, small enough for any window system
constexpr int kMinMainExtent = 200;
// How much of a window must stay in view for it to be reachable with the mouse.
constexpr int kVisibleMargin = 40;
constexpr int kMaxDesktop = 99;
constexpr TColor kDesktopActiveColor = 0xAFD3AF;    // RGB 175, 211, 175
constexpr TColor kDesktopInactiveColor = 0xF3FFE8;  // RGB 232, 255, 243

const char* const kLayoutFilter = "Kelvar GUI Layout files (*.kgl);;All files (*)";

std::string NameOf(const IWindowItemPtr& Item) {
    std::string name;
    Item->GetName(name);
    return name;
}

// Whether a window's node says where it goes (whatever the value: a bad one is corrected later).
bool HasPosition(const IConfigDoc& Node) {
    static const std::string kNone = "\x01none";
    return Node.ReadString("Left", kNone) != kNone || Node.ReadString("Top", kNone) != kNone;
}

// The clock is sizeable but belongs with the decks at the top of a first layout.
bool InTopBand(const IWindowItemPtr& Item) { return !Item->GetSizeable() || NameOf(Item) == "Clock"; }

}  // namespace

std::string LayoutFolder() { return ProgramFolder() + "layout/"; }
std::string DefaultLayoutFile() { return LayoutFolder() + "default.kgl"; }

namespace {

// A whole number from a layout node: unreadable or outside Low..High gives Default.
int ReadLayoutInt(TfoMDIGui& Gui, IConfigDoc& Node, const std::string& Name, int Default, int Low, int High) {
    int64_t value = Default;
    try {
        value = Node.ReadInteger(Name, Default);
    } catch (const std::exception& e) {
        Gui.Log("Layout value \"" + Name + "\" ignored: " + e.what(), LogKind::Warning);
        return Default;
    }
    if (value < Low || value > High) {
        Gui.Log("Layout value \"" + Name + "\" out of range (" + std::to_string(value) + ")", LogKind::Warning);
        return Default;
    }
    return static_cast<int>(value);
}

bool ReadLayoutBool(TfoMDIGui& Gui, IConfigDoc& Node, const std::string& Name, bool Default) {
    try {
        return Node.ReadBool(Name, Default);
    } catch (const std::exception& e) {
        Gui.Log("Layout value \"" + Name + "\" ignored: " + e.what(), LogKind::Warning);
        return Default;
    }
}

// A document over FileName; an unreadable file is kept aside as ".broken" and the layout starts
// empty, still tied to FileName so that the shutdown writes a good one.
IConfigDocPtr OpenLayout(TfoMDIGui& Gui, const std::string& FileName) {
    try {
        return TConfigDoc_XML::Create(FileName);
    } catch (const std::exception& e) {
        std::error_code ec;
        std::filesystem::rename(FileName, FileName + ".broken", ec);
        Gui.Log("Layout unreadable (" + std::string(e.what()) + ")" + (ec ? "" : "; kept as " + FileName + ".broken"),
                LogKind::Error);
        if (ec) std::filesystem::remove(FileName, ec);
        // Where the file could be neither moved nor removed the layout lives in memory only.
        return TConfigDoc_XML::Create(ec ? std::string() : FileName);
    }
}

}  // namespace

IConfigDocPtr TfoMDIGui::DesktopNode(IConfigDoc& Doc, int Desktop) {
    return Doc.Section("DeskTop" + std::to_string(Desktop));
}

IConfigDocPtr TfoMDIGui::CurrentDesktopNode() {
    if (!FLayout) FLayout = TConfigDoc_XML::Create("");
    return DesktopNode(*FLayout, FCurDesktop);
}

void TfoMDIGui::Guard(const char* What, const std::function<void()>& Step) {
    try {
        Step();
    } catch (const std::exception& e) {
        Log(std::string(What) + ": " + e.what(), LogKind::Exception);
    } catch (...) {
        Log(std::string(What) + ": unknown exception", LogKind::Exception);
    }
}

void TfoMDIGui::HostWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item) {
    Guard("Error showing a window", [&] {
        if (!Item->IsActive()) Item->Activate();
        TfoMDIForm* host = Item->GetHost();
        if (!host) {
            host = new TfoMDIForm(FClient);  // owned by the client area, its Qt parent
            host->hide();
            host->OnClose = [this](TfoMDIForm& h) { HostClosed(h); };
            host->SetItem(Item.get());
            Item->SetHost(host);
            host->SetSizeable(Item->GetSizeable());
            std::string caption;
            Item->GetCaption(caption);
            host->SetCaption(caption);
        }
        QWidget* frame = Item->GetFrame();
        if (frame && host->HostedFrame() != frame) host->HostFrame(frame);
        IConfigDocPtr node = DesktopNode.Section(NameOf(Item));
        ApplyItemPosition(*node, *host, Item->GetSizeable(), frame);
    });
}

void TfoMDIGui::ShowWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item) {
    HostWindowItem(DesktopNode, Item);
    Guard("Error showing a window", [&] {
        if (TfoMDIForm* host = Item->GetHost()) {
            host->show();
            host->raise();
        }
        Item->SetVisible(true);
    });
}

void TfoMDIGui::HideWindowItem(const IWindowItemPtr& Item, bool ClearMark) {
    Guard("Error hiding a window", [&] {
        if (Item->GetVisible() && Item->GetHost()) Item->GetHost()->hide();
        if (ClearMark) Item->SetVisible(false);
    });
}

void TfoMDIGui::CloseWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item) {
    Guard("Error closing a window", [&] {
        IConfigDocPtr node = DesktopNode.Section(NameOf(Item));
        SaveItemPosition(*node, Item->GetHost());
        Item->SetVisible(false);
        TfoMDIForm* host = Item->GetHost();
        if (Item->IsActive()) {
            if (QWidget* frame = Item->GetFrame()) {
                frame->hide();
                if (host && host->HostedFrame() == frame) host->HostFrame(nullptr);
            }
            Item->Deactivate();
        }
        // The host may be inside its own close event: it goes once that is over.
        ReleaseHost(*Item);
    });
}

void TfoMDIGui::ReleaseHost(IWindowItem& Item) {
    TfoMDIForm* host = Item.GetHost();
    Item.SetHost(nullptr);
    if (host) host->ReleaseLater();
}

void TfoMDIGui::HostClosed(TfoMDIForm& Host) {
    IWindowItem* raw = Host.Item();
    if (!raw || !FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        if (item.get() != raw) continue;
        item->SetVisible(false);
        CloseWindowItem(*CurrentDesktopNode(), item);
        return;
    }
}

void TfoMDIGui::CloseAllItems() {
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        Guard("Error closing a window", [&] {
            TfoMDIForm* host = item->GetHost();
            if (item->IsActive()) {
                if (host && host->HostedFrame()) host->HostFrame(nullptr);
                item->Deactivate();
            }
        });
        Guard("Error closing a window", [&] {
            ReleaseHost(*item);
            item->SetVisible(false);
        });
    }
}

void TfoMDIGui::ApplyItemPosition(IConfigDoc& Node, TfoMDIForm& Host, bool Sizeable, QWidget* Frame) {
    QSize frameSize = Host.size() - QSize(TfoMDIForm::ExtraWidth, TfoMDIForm::ExtraHeight);
    if (Frame) frameSize = Frame->size().isEmpty() ? Frame->sizeHint() : Frame->size();
    int width = frameSize.width() + TfoMDIForm::ExtraWidth;
    int height = frameSize.height() + TfoMDIForm::ExtraHeight;
    if (Sizeable) {
        width = ReadLayoutInt(*this, Node, "Width", width, 1, kMaxExtent);
        height = ReadLayoutInt(*this, Node, "Height", height, 1, kMaxExtent);
    }
    Host.resize(width, height);
    const QSize client = ClientSize();
    if (!HasPosition(Node)) {
        // A window the layout has no place for steps past those already sitting at (10,10).
        std::vector<QPoint> taken;
        for (QObject* child : FClient->children()) {
            auto* other = dynamic_cast<TfoMDIForm*>(child);
            if (other && other != &Host && !other->isHidden()) taken.push_back(other->pos());
        }
        Host.move(CascadePosition(client, Host.size(), taken));
        return;
    }
    int left = ReadLayoutInt(*this, Node, "Left", kDefaultPosition, -kMaxExtent, kMaxExtent);
    int top = ReadLayoutInt(*this, Node, "Top", kDefaultPosition, -kMaxExtent, kMaxExtent);
    if (top < 0) top = 0;
    if (left < 0) left = 0;
    // Beyond the client area's far edges the caption bar could not be reached: pull it back.
    if (left > client.width() - kVisibleMargin || top > client.height() - kVisibleMargin) {
        Log("Window \"" + Host.Caption() + "\" lay outside the main window; moved into view", LogKind::Warning);
        left = std::min(left, std::max(0, client.width() - Host.width()));
        top = std::min(top, std::max(0, client.height() - Host.height()));
    }
    Host.move(left, top);
}

QSize TfoMDIGui::ClientSize() const {
    // The client area's own size is only laid out once the window shows: reckon it from ours.
    const int bars = menuBar()->sizeHint().height() + ToolBar1->sizeHint().height();
    return {width(), std::max(0, height() - bars)};
}

void TfoMDIGui::SaveItemPosition(IConfigDoc& Node, TfoMDIForm* Host) {
    if (!Host) return;
    try {
        Node.WriteInteger("Width", Host->width());
        Node.WriteInteger("Height", Host->height());
        Node.WriteInteger("Left", Host->x());
        Node.WriteInteger("Top", Host->y());
    } catch (...) {
        Log("Error saving window coordinates.", LogKind::Error);
    }
}

void TfoMDIGui::ApplyLayout(IConfigDoc& Doc) {
    IConfigDocPtr main = Doc.Section("MAIN");
    const int width = ReadLayoutInt(*this, *main, "Width", this->width(), kMinMainExtent, kMaxExtent);
    const int height = ReadLayoutInt(*this, *main, "Height", this->height(), kMinMainExtent, kMaxExtent);
    int left = ReadLayoutInt(*this, *main, "Left", x(), -kMaxExtent, kMaxExtent);
    int top = ReadLayoutInt(*this, *main, "Top", y(), -kMaxExtent, kMaxExtent);
    // A main window on no screen (a monitor that is gone, say) comes back to the primary one.
    const QRect wanted(left, top, width, height);
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = wanted.intersected(screen->availableGeometry());
        if (seen.width() >= kVisibleMargin && seen.height() >= kVisibleMargin) onScreen = true;
    }
    if (!onScreen && QGuiApplication::primaryScreen()) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        Log("The main window lay outside every screen; moved into view", LogKind::Warning);
        left = area.left();
        top = area.top();
    }
    resize(width, height);
    move(left, top);
    FMainVisible = ReadLayoutBool(*this, *main, "Visible", true);
    const int desktop = ReadLayoutInt(*this, *main, "CurDeskTop", 0, 0, kMaxDesktop);
    ShowDesktop(Doc, desktop);
}

void TfoMDIGui::ShowDesktop(IConfigDoc& Doc, int Desktop) {
    FCurDesktop = Desktop;
    btDeskTopA->SetColor(Desktop == 0 ? kDesktopActiveColor : kDesktopInactiveColor);
    btDeskTopB->SetColor(Desktop == 1 ? kDesktopActiveColor : kDesktopInactiveColor);
    btDeskTopC->SetColor(Desktop == 2 ? kDesktopActiveColor : kDesktopInactiveColor);
    IConfigDocPtr desktopNode = DesktopNode(Doc, Desktop);
    if (!FWindowList) return;
    std::vector<IWindowItemPtr> marked;
    bool placed = false;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        IConfigDocPtr node = desktopNode->Section(NameOf(item));
        if (!ReadLayoutBool(*this, *node, "Visible", false)) continue;
        marked.push_back(item);
        placed = placed || HasPosition(*node);
    }
    // A desktop that lists its windows but places none of them is a first layout: it is tiled.
    if (!placed && !marked.empty()) TileDesktop(*desktopNode, marked);
    for (const IWindowItemPtr& item : marked) ShowWindowItem(*desktopNode, item);
}

void TfoMDIGui::TileDesktop(IConfigDoc& DesktopNode, const std::vector<IWindowItemPtr>& Items) {
    std::vector<TPlacedWindow> windows;
    for (const IWindowItemPtr& item : Items) {
        HostWindowItem(DesktopNode, item);
        TfoMDIForm* host = item->GetHost();
        windows.push_back({host ? host->size() : QSize(), item->GetSizeable(), InTopBand(item)});
    }
    const std::vector<QRect> rects = TileFirstLayout(ClientSize(), windows);
    for (size_t i = 0; i < Items.size(); ++i) {
        IConfigDocPtr node = DesktopNode.Section(NameOf(Items[i]));
        node->WriteInteger("Left", rects[i].x());
        node->WriteInteger("Top", rects[i].y());
        node->WriteInteger("Width", rects[i].width());
        node->WriteInteger("Height", rects[i].height());
    }
}

void TfoMDIGui::SaveDesktop(IConfigDoc& Doc, int Desktop) {
    IConfigDocPtr desktopNode = DesktopNode(Doc, Desktop);
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        IConfigDocPtr node = desktopNode->Section(NameOf(item));
        node->WriteBool("Visible", item->GetVisible());
        if (item->IsActive()) SaveItemPosition(*node, item->GetHost());
    }
}

void TfoMDIGui::SaveLayout(IConfigDoc& Doc) {
    IConfigDocPtr main = Doc.Section("MAIN");
    main->WriteInteger("Width", width());
    main->WriteInteger("Height", height());
    main->WriteInteger("Left", x());
    main->WriteInteger("Top", y());
    main->WriteBool("Visible", FMainVisible);
    main->WriteInteger("CurDeskTop", FCurDesktop);
    SaveDesktop(Doc, FCurDesktop);
}

void TfoMDIGui::SwitchDesktop(int Desktop) {
    if (!FLayout) return;
    SaveDesktop(*FLayout, FCurDesktop);
    HideAllAndClear();
    ShowDesktop(*FLayout, Desktop);
}

void TfoMDIGui::HideAllAndClear() {
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) HideWindowItem(ItemAt(i), true);
}

void TfoMDIGui::LoadLayout(const std::string& FileName) {
    CloseAllItems();
    FLayout.reset();
    FLayout = OpenLayout(*this, FileName);
    ApplyLayout(*FLayout);
}

void TfoMDIGui::SaveLayoutAs(const std::string& FileName) {
    if (!FLayout) return;
    SaveLayout(*FLayout);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(FileName).parent_path(), ec);
    // Over a file that is not a readable layout the new text simply replaces it.
    IConfigDocPtr copy;
    try {
        copy = TConfigDoc_XML::Create(FileName);
    } catch (const std::exception&) {
        std::filesystem::remove(FileName, ec);
        copy = TConfigDoc_XML::Create(FileName);
    }
    copy->SetXML(FLayout->GetXML());
    copy->Save();
}

void TfoMDIGui::NewLayout() {
    CloseAllItems();
    if (!FLayout) FLayout = TConfigDoc_XML::Create("");
    FLayout->Clear();
    ApplyLayout(*FLayout);
}

void TfoMDIGui::RebuildLayoutMenu() {
    const QList<QAction*> entries = Layout1->actions();
    for (int i = FLayoutMenuFixed; i < entries.size(); ++i) {
        Layout1->removeAction(entries[i]);
        if (entries[i]->parent() == Layout1) delete entries[i];
    }
    FLayoutFiles.clear();
    std::vector<std::string> folders;
    ListSubFolders(LayoutFolder(), folders);
    std::sort(folders.begin(), folders.end());
    const std::string root = LayoutFolder();
    for (const std::string& folder : folders) {
        std::vector<std::string> files;
        FindFiles(files, "*.kgl", folder, false);
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [](const std::string& f) { return std::filesystem::is_directory(f); }),
                    files.end());
        if (files.empty()) continue;
        std::sort(files.begin(), files.end());
        std::string caption = folder.substr(root.size());
        if (!caption.empty() && caption.back() == '/') caption.pop_back();
        QMenu* sub = new QMenu(QString::fromStdString(caption), Layout1);
        Layout1->addMenu(sub);
        for (const std::string& file : files) {
            QAction* entry = sub->addAction(QString::fromStdString(ExtractFileNameNoExt(file)));
            const int tag = static_cast<int>(FLayoutFiles.size());
            entry->setData(tag);
            FLayoutFiles.push_back(file);
            connect(entry, &QAction::triggered, this, [this, tag] {
                if (tag < static_cast<int>(FLayoutFiles.size())) LoadLayout(FLayoutFiles[static_cast<size_t>(tag)]);
            });
        }
    }
}

void TfoMDIGui::RebuildWindowMenu() {
    const QList<QAction*> entries = Window1->actions();
    for (int i = FWindowMenuFixed; i < entries.size(); ++i) {
        Window1->removeAction(entries[i]);
        if (entries[i]->parent() == Window1) delete entries[i];
    }
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        std::string caption;
        item->GetCaption(caption);
        QAction* entry = Window1->addAction(QString::fromStdString(caption));
        entry->setCheckable(true);
        entry->setChecked(item->GetVisible());
        entry->setData(i);
        connect(entry, &QAction::triggered, this, [this, i] { WindowMenuClick(i); });
    }
}

void TfoMDIGui::WindowMenuClick(int Index) {
    if (!FWindowList || Index < 0 || Index >= FWindowList->Count()) return;
    IWindowItemPtr item = ItemAt(Index);
    IConfigDocPtr node = CurrentDesktopNode();
    if (item->GetVisible())
        CloseWindowItem(*node, item);
    else
        ShowWindowItem(*node, item);
}

void TfoMDIGui::LoadLayoutDialog() {
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("Load layout"), QString::fromStdString(DefaultLayoutFile()),
                                     QString::fromUtf8(kLayoutFilter));
    if (!file.isEmpty()) LoadLayout(file.toStdString());
}

void TfoMDIGui::SaveLayoutDialog() {
    QFileDialog dialog(this, QStringLiteral("Save layout"), QString::fromStdString(DefaultLayoutFile()),
                       QString::fromUtf8(kLayoutFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kgl"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveLayoutAs(dialog.selectedFiles().front().toStdString());
}

}  // namespace kelvar
