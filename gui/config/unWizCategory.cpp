#include "gui/config/unWizCategory.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>

#include "core/KelvarApi.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistManager.h"
#include "gui/config/funWizOptions.h"

namespace kelvar {

TfoWizCategory::TfoWizCategory(QWidget* Parent) : TfoWizard("Select category", "Add category", Parent) {
    Body->addWidget(new QLabel("  Select a category", this));
    tvCategory = new QTreeWidget(this);
    tvCategory->setObjectName("tvCategory");
    tvCategory->setHeaderHidden(true);
    tvCategory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A double click only opens or closes the item.
    tvCategory->setExpandsOnDoubleClick(true);
    Body->addWidget(tvCategory, 1);
    frmWizOptions1 = new TfrmWizOptions(this);
    Body->addWidget(frmWizOptions1);
}

void TfoWizCategory::Fill(TCategoryTree& Tree) {
    tvCategory->clear();
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    for (int i = 0; i < Tree.Count(); ++i) {
        TCustomCategory* category = Tree.Items(i);
        if (!category) continue;
        QTreeWidgetItem* parentItem = nullptr;
        if (TCustomCategory* parent = category->GetParent()) {
            const auto found =
                tvCategory->findItems(QString::fromStdString(parent->Name), Qt::MatchExactly | Qt::MatchRecursive);
            if (!found.isEmpty()) parentItem = found.first();
        }
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(tvCategory);
        item->setText(0, QString::fromStdString(category->Name));
        item->setIcon(0, icon);
    }
    if (QTreeWidgetItem* first = tvCategory->topLevelItem(0)) first->setExpanded(true);
}

std::string TfoWizCategory::Statement() const {
    QTreeWidgetItem* item = tvCategory->currentItem();
    if (!item) return {};
    return CategoryStatement(item->text(0).toStdString(), frmWizOptions1->SelectionWord(), frmWizOptions1->RulesWord());
}

bool WizardCategory(std::string& Text) {
    TfoWizCategory wizard;
    if (TKelvarApi* api = ProgramKelvarApi()) {
        if (auto manager = api->PlaylistManager(); manager && manager->Categories) wizard.Fill(*manager->Categories);
    }
    if (!wizard.Run()) return false;
    Text = wizard.Statement();
    return true;
}

}  // namespace kelvar
