#pragma once
// The floating "Drag & Drop" window: files from the desktop or rows from a song list dropped
// on it go to the category chosen in its list.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "gui/lists/VirtualSongTree.h"

class QComboBox;
class QLabel;

namespace kelvar {

class TCategoryTree;

class TfoDropTarget : public QWidget {
public:
    using TDropFilesEvent = std::function<void(TfoDropTarget& Sender, const std::string& CategoryName,
                                               const std::vector<std::string>& Files)>;
    using TDropItemsEvent =
        std::function<void(TfoDropTarget& Sender, const std::string& CategoryName, const TSongDrop& Rows)>;

    // A top-level tool window that stays above the others.
    TfoDropTarget();
    ~TfoDropTarget() override;

    // Lists the categories of Tree (none: the running core's) and selects SelectedName, or the
    // next entry below it that takes songs.
    void ShowCategories(const std::string& SelectedName, TCategoryTree* Tree = nullptr);
    // The caption of the selected entry, empty when none is selected.
    std::string SelectedCategory() const;
    // Whether entry Index takes songs.
    bool EntryAcceptsSongs(int Index) const;

    // What a drop on the two panels does (tests call them with built data).
    void DropFiles(const std::vector<std::string>& Files);
    bool AcceptsItems(const TSongDrop& Rows) const;
    void DropItems(const TSongDrop& Rows);

    QComboBox* eCategory;
    QLabel* pFiles;
    QLabel* pItems;
    TDropFilesEvent OnDropFiles;
    TDropItemsEvent OnDropItems;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CategoryChange();

    std::vector<bool> FAccepts;
    int FChanging = 0;
};

}  // namespace kelvar
