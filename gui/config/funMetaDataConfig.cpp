#include "gui/config/funMetaDataConfig.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/BrowseForFolder.h"

namespace kelvar {

TfrmMetaDataConfig::TfrmMetaDataConfig(QWidget* Parent) : QFrame(Parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* pictures = new QGroupBox("Pictures", this);
    auto* grid = new QGridLayout(pictures);
    lbLocDir = new QLabel("Local picture directory", pictures);
    eLoc_PictureDir = new QLineEdit(pictures);
    eLoc_PictureDir->setObjectName("eLoc_PictureDir");
    btOpenDir = new TBoxButton("...", pictures);
    btOpenDir->setObjectName("btOpenDir");
    grid->addWidget(lbLocDir, 0, 0);
    grid->addWidget(eLoc_PictureDir, 0, 1);
    grid->addWidget(btOpenDir, 0, 2);
    lbWebDir = new QLabel("Website picture location (http://)", pictures);
    eWeb_PictureDir = new QLineEdit(pictures);
    eWeb_PictureDir->setObjectName("eWeb_PictureDir");
    grid->addWidget(lbWebDir, 1, 0);
    grid->addWidget(eWeb_PictureDir, 1, 1, 1, 2);

    auto* sizes = new QGroupBox(" Image size ", pictures);
    auto* sizeRow = new QHBoxLayout(sizes);
    eImageSize = new QButtonGroup(this);
    int id = 0;
    for (const char* caption : {"Small", "Medium", "Large"}) {
        auto* radio = new QRadioButton(caption, sizes);
        eImageSize->addButton(radio, id++);
        sizeRow->addWidget(radio);
    }
    SetImageSizeIndex(1);
    grid->addWidget(sizes, 2, 0, 1, 3);
    column->addWidget(pictures);

    auto* lookup = new QGroupBox("Amazon.com track information finder", this);
    auto* tagRow = new QHBoxLayout(lookup);
    tagRow->addWidget(new QLabel("Associate ID", lookup));
    eAmazonTag = new QLineEdit("Quelt", lookup);
    eAmazonTag->setObjectName("eAmazonTag");
    tagRow->addWidget(eAmazonTag);
    column->addWidget(lookup);

    QObject::connect(btOpenDir, &QToolButton::clicked, this, [this] { OpenDir(); });
}

int TfrmMetaDataConfig::ImageSizeIndex() const { return eImageSize->checkedId(); }

void TfrmMetaDataConfig::SetImageSizeIndex(int Index) {
    if (QAbstractButton* button = eImageSize->button(Index)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = eImageSize->checkedButton()) {
        eImageSize->setExclusive(false);
        checked->setChecked(false);
        eImageSize->setExclusive(true);
    }
}

void TfrmMetaDataConfig::LoadFrom(IConfigDoc& Section) {
    lbWebDir->hide();
    eWeb_PictureDir->hide();
    auto readText = [&](QLineEdit* Edit, const char* Key) {
        Edit->setText(QString::fromStdString(Section.ReadString(Key, Edit->text().toStdString())));
    };
    readText(eLoc_PictureDir, "LocalPictureDir");
    readText(eWeb_PictureDir, "WebPictureDir");
    SetImageSizeIndex(static_cast<int>(Section.ReadInteger("ImageSize", ImageSizeIndex())));
    readText(eAmazonTag, "AmazonTag");
}

void TfrmMetaDataConfig::SaveTo(IConfigDoc& Section) {
    Section.WriteString("LocalPictureDir", eLoc_PictureDir->text().toStdString());
    Section.WriteString("WebPictureDir", eWeb_PictureDir->text().toStdString());
    Section.WriteInteger("ImageSize", ImageSizeIndex());
    Section.WriteString("AmazonTag", eAmazonTag->text().toStdString());
}

void TfrmMetaDataConfig::OpenDir() {
    QString folder = eLoc_PictureDir->text();
    bool subFolders = false;
    if (ChooseFolder(folder, subFolders, "Choose picture directory", true, this)) eLoc_PictureDir->setText(folder);
}

}  // namespace kelvar
