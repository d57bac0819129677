#pragma once
// Copying chosen fields of one song into the other songs of its album: the dialog that picks
// the target songs and the fields, and the copy itself. The field choice and the empty-only
// switch are remembered in the GUI configuration.
#include <QDialog>
#include <string>
#include <vector>

#include "core/playlist/AlbumApply.h"
#include "foundation/ConfigDoc.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace kelvar {

class TfrmOKCancel;

// Fields that are never copied: identity, file, statistics and per-song playout values.
extern const char* const ExcludedApplyFields;
bool IsExcludedApplyField(const std::string& Name);

class TfoSongApplyList : public QDialog {
public:
    explicit TfoSongApplyList(QWidget* Parent = nullptr);

    // The offered fields and one checked row per record of Data.
    void Fill(IDataset& Data);
    void LoadSettings(const IConfigDoc& Doc);
    void SaveSettings(IConfigDoc& Doc) const;
    std::vector<int> GetCheckedIDs() const;
    void GetCheckedFields(std::vector<std::string>& List) const;
    void CheckAll(bool Checked);

    QTabWidget* pcApply = nullptr;
    QTreeWidget* lvSonglist = nullptr;
    QPushButton* btSelectAll = nullptr;
    QPushButton* btSelectNone = nullptr;
    QListWidget* eFieldList = nullptr;
    QCheckBox* eApplyToEmpty = nullptr;
    TfrmOKCancel* frmOKCancel = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
};

// Runs the dialog over the target rows; false when it was not closed with its Apply button.
bool ApplyListDialog(IDataset& Data, std::vector<int>& IDs, std::vector<std::string>& Fields, bool& ToEmpty);

// The "Apply to Album" action on the row being edited in Edited.
void ApplyToAlbum(IDataset& Edited);

// True while the row of Data is in edit or insert state.
bool IsEditing(IDataset& Data);

}  // namespace kelvar
