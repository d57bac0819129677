#include "gui/config/funConfig.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kelvar {

namespace {

constexpr int NodeRole = Qt::UserRole + 1;

}  // namespace

TfrmConfig::TfrmConfig(QWidget* Parent) : QFrame(Parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    row->addWidget(Splitter1);

    tvSections = new QTreeWidget(Splitter1);
    tvSections->setObjectName("tvSections");
    tvSections->setHeaderHidden(true);
    tvSections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvSections->setSelectionMode(QAbstractItemView::SingleSelection);
    tvSections->setProperty("Tag", 0);
    tvSections->setMinimumWidth(145);
    // The selection stays visible while another control has the focus.
    QPalette colours = tvSections->palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    tvSections->setPalette(colours);

    pBack = new QFrame(Splitter1);
    pBack->setObjectName("pBack");
    auto* column = new QVBoxLayout(pBack);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    pCaption = new QFrame(pBack);
    pCaption->setObjectName("pCaption");
    pCaption->setFixedHeight(36);
    pCaption->setAutoFillBackground(true);
    QPalette band = pCaption->palette();
    band.setColor(QPalette::Window, QColor(128, 128, 160));
    pCaption->setPalette(band);
    Image1 = new QLabel(pCaption);
    Image1->setGeometry(2, 2, 32, 32);
    Image1->setPixmap(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(16);
    auto makeLabel = [&](const QColor& colour, int dx, int dy) {
        auto* label = new QLabel(pCaption);
        label->setFont(bold);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, colour);
        label->setPalette(p);
        label->setGeometry(42 + dx, 8 + dy, 600, 22);
        return label;
    };
    lbShadowL = makeLabel(QColor(224, 224, 240), 1, 1);
    lbShadowD = makeLabel(QColor(48, 48, 64), -1, -1);
    lbCaption = makeLabel(Qt::white, 0, 0);
    lbCaption->setObjectName("lbCaption");
    column->addWidget(pCaption);

    // A page larger than the dialog's client area (a plug-in's) scrolls instead of growing the
    // dialog, which keeps its size from page to page.
    auto* scroller = new QScrollArea(pBack);
    scroller->setObjectName("sbClientArea");
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    pClientArea = new QFrame;
    pClientArea->setObjectName("pClientArea");
    auto* client = new QVBoxLayout(pClientArea);
    client->setContentsMargins(0, 0, 0, 0);
    scroller->setWidget(pClientArea);
    column->addWidget(scroller, 1);

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({145, 555});

    QObject::connect(
        tvSections, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* Current, QTreeWidgetItem* Previous) { CurrentChanged(Current, Previous); });
}

TfrmConfig::~TfrmConfig() { TakeOutShown(); }

IConfigNode* TfrmConfig::NodeOf(QTreeWidgetItem* Item) {
    if (!Item) return nullptr;
    return static_cast<IConfigNode*>(Item->data(0, NodeRole).value<void*>());
}

IConfigNode* TfrmConfig::SelectedNode() const { return NodeOf(tvSections->currentItem()); }

void TfrmConfig::SetNodes(IConfigNodes& Nodes) {
    tvSections->setProperty("Tag", 1);
    tvSections->setUpdatesEnabled(false);
    TakeOutShown();
    tvSections->clear();
    AddItems(Nodes, nullptr);
    tvSections->setUpdatesEnabled(true);
    tvSections->setProperty("Tag", 0);
    if (tvSections->topLevelItemCount() > 0) {
        QTreeWidgetItem* first = tvSections->topLevelItem(0);
        if (tvSections->currentItem() == first) {
            ShowPage();
        } else {
            tvSections->setCurrentItem(first);
        }
    }
}

void TfrmConfig::AddItems(IConfigNodes& Nodes, QTreeWidgetItem* Parent) {
    for (int i = 0; i < Nodes.Count(); ++i) {
        IConfigNodePtr node = Nodes.Get(i);
        if (!node) continue;
        auto* item = Parent ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(tvSections);
        item->setText(0, QString::fromStdString(node->GetCaption()));
        // The node list keeps the node alive as long as the tree shows it.
        item->setData(0, NodeRole, QVariant::fromValue(static_cast<void*>(node.get())));
        if (IConfigNodesPtr children = node->GetChildren()) AddItems(*children, item);
    }
    if (Parent) Parent->setExpanded(true);
}

bool TfrmConfig::LeavePage() {
    IConfigNode* node = SelectedNode();
    if (!node || tvSections->property("Tag").toInt() == 1) return true;
    const bool allowed = node->CanLeave();
    if (allowed) TakeOutShown();
    return allowed;
}

void TfrmConfig::TakeOutShown() {
    if (!FShown) return;
    FShown->hide();
    pClientArea->layout()->removeWidget(FShown);
    FShown->setParent(nullptr);
    FShown = nullptr;
}

void TfrmConfig::CurrentChanged(QTreeWidgetItem* Current, QTreeWidgetItem* Previous) {
    if (FReverting || tvSections->property("Tag").toInt() == 1) return;
    if (Previous && FShown) {
        IConfigNode* node = NodeOf(Previous);
        const bool allowed = node ? node->CanLeave() : true;
        if (!allowed) {
            FReverting = true;
            tvSections->setCurrentItem(Previous);
            FReverting = false;
            return;
        }
        TakeOutShown();
    }
    if (Current) ShowPage();
}

void TfrmConfig::ShowPage() {
    if (tvSections->property("Tag").toInt() == 1) return;
    IConfigNode* node = SelectedNode();
    if (!node) return;
    TakeOutShown();
    QWidget* frame = node->GetFrame();
    if (frame) {
        frame->setParent(pClientArea);
        pClientArea->layout()->addWidget(frame);
        frame->show();
        FShown = frame;
    }
    SetCaptions(QString::fromStdString(node->GetCaption()));
}

void TfrmConfig::SetCaptions(const QString& Text) {
    lbCaption->setText(Text);
    lbShadowD->setText(Text);
    lbShadowL->setText(Text);
}

}  // namespace kelvar
