#pragma once
// The category wizard: a clockwheel statement that queues a song of one library category.
#include <QTreeWidget>
#include <string>

#include "gui/config/WizDialog.h"

namespace kelvar {

class TCategoryTree;
class TfrmWizOptions;

class TfoWizCategory : public TfoWizard {
public:
    explicit TfoWizCategory(QWidget* Parent = nullptr);

    // Lists the categories under their parents (found by caption) and opens the first item.
    void Fill(TCategoryTree& Tree);
    std::string Statement() const;

    QTreeWidget* tvCategory = nullptr;
    TfrmWizOptions* frmWizOptions1 = nullptr;

protected:
    // A statement needs a category: OK does nothing until one is selected.
    bool CanConfirm() override { return tvCategory->currentItem() != nullptr; }
};

// Shows the wizard over the running core's categories; true with the statement on OK.
bool WizardCategory(std::string& Text);

}  // namespace kelvar
