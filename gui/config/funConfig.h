#pragma once
// The configuration dialog's body: the page tree on the left, the selected page with its
// caption on the right.
#include <QFrame>
#include <QPointer>

#include "gui/config/ConfigNode.h"

class QLabel;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace kelvar {

class TfrmConfig : public QFrame {
public:
    explicit TfrmConfig(QWidget* Parent = nullptr);
    // Takes the shown page out first, so it outlives the dialog (its node frees it).
    ~TfrmConfig() override;

    // Fills the tree with the nodes and their children and selects the first item.
    void SetNodes(IConfigNodes& Nodes);
    // Asks the selected page whether it may be left; when it may, takes it out of the pane.
    bool LeavePage();
    // Shows the page of the selected item.
    void ShowPage();

    IConfigNode* SelectedNode() const;
    QWidget* ShownControl() const { return FShown; }

    QTreeWidget* tvSections = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* pBack = nullptr;
    QFrame* pCaption = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbCaption = nullptr;
    QLabel* lbShadowL = nullptr;
    QLabel* lbShadowD = nullptr;
    QFrame* pClientArea = nullptr;

private:
    void CurrentChanged(QTreeWidgetItem* Current, QTreeWidgetItem* Previous);
    void AddItems(IConfigNodes& Nodes, QTreeWidgetItem* Parent);
    void TakeOutShown();
    static IConfigNode* NodeOf(QTreeWidgetItem* Item);
    void SetCaptions(const QString& Text);

    QPointer<QWidget> FShown;
    bool FReverting = false;
};

}  // namespace kelvar
