#include "gui/lists/unDropTarget.h"

#include <QComboBox>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "core/KelvarApi.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/TextUtil.h"
#include "gui/lists/unDragDrop.h"

namespace kelvar {

namespace {

QLabel* NewPanel(const QString& Caption, QWidget* Parent) {
    auto* panel = new QLabel(Caption, Parent);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setAcceptDrops(true);
    return panel;
}

TCategoryTree* CoreCategories() {
    TKelvarApi* api = ProgramKelvarApi();
    auto manager = api ? api->PlaylistManager() : nullptr;
    return manager ? manager->Categories.get() : nullptr;
}

}  // namespace

TfoDropTarget::TfoDropTarget() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("foDropTarget");
    setWindowTitle("Drag & Drop");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    eCategory = new QComboBox(this);
    layout->addWidget(eCategory);
    auto* panels = new QHBoxLayout;
    pFiles = NewPanel("Files", this);
    pItems = NewPanel("Items", this);
    panels->addWidget(pFiles);
    panels->addWidget(pItems);
    layout->addLayout(panels, 1);
    setFixedSize(190, 116);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    pFiles->installEventFilter(this);
    pItems->installEventFilter(this);
    connect(eCategory, &QComboBox::currentIndexChanged, this, [this](int) { CategoryChange(); });
}

TfoDropTarget::~TfoDropTarget() = default;

void TfoDropTarget::ShowCategories(const std::string& SelectedName, TCategoryTree* Tree) {
    if (!Tree) Tree = CoreCategories();
    ++FChanging;
    eCategory->clear();
    FAccepts.clear();
    int wanted = -1;
    const std::string upperWanted = UpperAscii(SelectedName);
    // Depth first from the root; the groups and everything below them take no songs by name.
    std::function<void(TCustomCategory*)> walk = [&](TCustomCategory* c) {
        for (; c; c = c->NextSibling()) {
            if (UpperAscii(c->Name) == "GROUPS") continue;
            const QString indent(c->LevelIndex * 2, ' ');
            eCategory->addItem(indent + QString::fromStdString(c->Name), QString::fromStdString(c->Name));
            FAccepts.push_back(c->HasCapability(CategoryCapability::AddSongs));
            if (wanted < 0 && UpperAscii(c->Name) == upperWanted) wanted = eCategory->count() - 1;
            walk(c->FirstChild());
        }
    };
    if (Tree && Tree->Count() > 0) walk(Tree->Items(0));
    eCategory->setCurrentIndex(eCategory->count() > 0 ? std::max(wanted, 0) : -1);
    --FChanging;
    CategoryChange();
}

void TfoDropTarget::CategoryChange() {
    if (FChanging) return;
    ++FChanging;
    int index = eCategory->currentIndex();
    while (index >= 0 && index < static_cast<int>(FAccepts.size()) && !FAccepts[static_cast<size_t>(index)]) ++index;
    eCategory->setCurrentIndex(index < static_cast<int>(FAccepts.size()) ? index : -1);
    --FChanging;
}

bool TfoDropTarget::EntryAcceptsSongs(int Index) const {
    return Index >= 0 && Index < static_cast<int>(FAccepts.size()) && FAccepts[static_cast<size_t>(Index)];
}

std::string TfoDropTarget::SelectedCategory() const {
    if (eCategory->currentIndex() < 0) return "";
    return eCategory->currentData().toString().toStdString();
}

void TfoDropTarget::DropFiles(const std::vector<std::string>& Files) {
    if (eCategory->currentIndex() < 0 || Files.empty() || !OnDropFiles) return;
    OnDropFiles(*this, SelectedCategory(), Files);
}

bool TfoDropTarget::AcceptsItems(const TSongDrop& Rows) const { return Rows.HasSongs() && Rows.SourceTag != 6; }

void TfoDropTarget::DropItems(const TSongDrop& Rows) {
    if (eCategory->currentIndex() < 0 || !OnDropItems || !AcceptsItems(Rows)) return;
    OnDropItems(*this, SelectedCategory(), Rows);
}

bool TfoDropTarget::eventFilter(QObject* Watched, QEvent* Event) {
    const auto type = Event->type();
    if ((Watched != pFiles && Watched != pItems) ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return QWidget::eventFilter(Watched, Event);
    auto* drop = static_cast<QDropEvent*>(Event);
    TSongDrop rows;
    const bool decoded = DecodeSongDrop(drop->mimeData(), rows);
    const bool take = decoded && (Watched == pFiles ? rows.IsFiles : AcceptsItems(rows));
    if (!take) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        if (Watched == pFiles)
            DropFiles(rows.Files);
        else
            DropItems(rows);
    }
    return true;
}

}  // namespace kelvar
