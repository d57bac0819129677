#pragma once
// Where song pictures are found and how big, and the online catalogue's associate ID.
#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "controls/BoxButton.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmMetaDataConfig : public QFrame {
public:
    explicit TfrmMetaDataConfig(QWidget* Parent = nullptr);

    // Section "MetaData".
    void LoadFrom(IConfigDoc& Section);
    void SaveTo(IConfigDoc& Section);

    int ImageSizeIndex() const;
    void SetImageSizeIndex(int Index);

    QLabel* lbLocDir = nullptr;
    QLineEdit* eLoc_PictureDir = nullptr;
    TBoxButton* btOpenDir = nullptr;
    QLabel* lbWebDir = nullptr;
    QLineEdit* eWeb_PictureDir = nullptr;
    QButtonGroup* eImageSize = nullptr;
    QLineEdit* eAmazonTag = nullptr;

private:
    void OpenDir();
};

}  // namespace kelvar
