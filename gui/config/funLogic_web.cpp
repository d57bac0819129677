#include "gui/config/funLogic_web.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvar {

TfrmLogic_web::TfrmLogic_web(QWidget* Parent) : TfrmPluginConfig(Parent) {
    Title = "Web scripting logic configuration";
    auto* column = new QVBoxLayout(this);
    auto* group = new QGroupBox("Web pages to contact on events", this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Async", group), 0, 2);
    struct TRow {
        const char* Caption;
        QLineEdit** Edit;
        const char* EditName;
        const char* Page;
        QCheckBox** Async;
        const char* AsyncName;
    };
    const TRow rows[] = {
        {"On Choose song", &eOnChooseSong, "eOnChooseSong", "onchoosesong.php", nullptr, nullptr},
        {"On Play", &eOnPlay, "eOnPlay", "onplay.php", &cOnPlay, "cOnPlay"},
        {"On Fail", &eOnFail, "eOnFail", "onfail.php", &cOnFail, "cOnFail"},
        {"On End of song", &eOnEndOfSong, "eOnEndOfSong", "onendofsong.php", &cOnEndOfSong, "cOnEndOfSong"},
        {"On Request", &eOnRequest, "eOnRequest", "onrequest.php", &cOnRequest, "cOnRequest"},
    };
    int line = 1;
    for (const TRow& row : rows) {
        grid->addWidget(new QLabel(row.Caption, group), line, 0);
        *row.Edit = new QLineEdit(QString("http://localhost/kelvarweb/logic/") + row.Page, group);
        (*row.Edit)->setObjectName(row.EditName);
        grid->addWidget(*row.Edit, line, 1);
        if (row.Async) {
            *row.Async = new QCheckBox(group);
            (*row.Async)->setObjectName(row.AsyncName);
            (*row.Async)->setChecked(true);
            grid->addWidget(*row.Async, line, 2);
        }
        ++line;
    }
    grid->setColumnStretch(1, 1);
    column->addWidget(group);
    column->addStretch(1);
    resize(480, 240);
}

void TfrmLogic_web::LoadSettings(IConfigDoc& Node) {
    for (QLineEdit* edit : {eOnChooseSong, eOnPlay, eOnFail, eOnEndOfSong, eOnRequest}) {
        const std::string key = "url_" + edit->objectName().mid(1).toStdString();
        edit->setText(QString::fromStdString(Node.ReadString(key, edit->text().toStdString())));
    }
    for (QCheckBox* box : {cOnPlay, cOnFail, cOnEndOfSong, cOnRequest}) {
        const std::string key = "async_" + box->objectName().mid(1).toStdString();
        box->setChecked(Node.ReadBool(key, box->isChecked()));
    }
}

void TfrmLogic_web::SaveSettings(IConfigDoc& Node) {
    for (QLineEdit* edit : {eOnChooseSong, eOnPlay, eOnFail, eOnEndOfSong, eOnRequest})
        Node.WriteString("url_" + edit->objectName().mid(1).toStdString(), edit->text().toStdString());
    for (QCheckBox* box : {cOnPlay, cOnFail, cOnEndOfSong, cOnRequest})
        Node.WriteBool("async_" + box->objectName().mid(1).toStdString(), box->isChecked());
}

namespace funLogic_web {

namespace {
void Create(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TCustomConfig>(); }
}  // namespace

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Web scripting based logic module", "Playlist rotation logic module", 0x0100,
                               "{44851DC2-181D-43B1-8D24-2E34730E0929}", Create};
    return &info;
}

}  // namespace funLogic_web

}  // namespace kelvar
