#include "gui/lists/unAddURL.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "foundation/ConfigDoc.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

namespace {

constexpr size_t MaxRecentURLs = 20;

IConfigDocPtr RecentSection() {
    if (!GuiConfig) return nullptr;
    return GuiConfig->Section("AddURL")->Section("MRU");
}

}  // namespace

TfoAddURL::TfoAddURL(QWidget* Parent) : QDialog(Parent) {
    setObjectName("foAddURL");
    setWindowTitle("Add URL");
    setWindowFlags(windowFlags() | Qt::Tool);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    auto* form = new QFormLayout;
    eURL = new QComboBox(this);
    eURL->setEditable(true);
    eURL->setInsertPolicy(QComboBox::NoInsert);
    eURL->setMinimumWidth(200);
    eDescription = new QLineEdit(this);
    form->addRow(new QLabel("URL", this), eURL);
    form->addRow(new QLabel("Description", this), eDescription);
    layout->addLayout(form);
    layout->addStretch(1);
    frmOKCancel = new TfrmOKCancel(this);
    layout->addWidget(frmOKCancel);
    setFixedSize(282, 151);
}

void TfoAddURL::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    eURL->setFocus();
}

void AddRecentURL(std::vector<std::string>& Recent, const std::string& URL) {
    Recent.insert(Recent.begin(), URL);
    if (Recent.size() > MaxRecentURLs) Recent.resize(MaxRecentURLs);
}

bool ExecuteAddURL(std::string& URL, std::string& Description) {
    TfoAddURL dialog;
    std::vector<std::string> recent;
    if (IConfigDocPtr section = RecentSection()) LoadStringsFromConfig(*section, recent);
    for (const std::string& line : recent) dialog.eURL->addItem(QString::fromStdString(line));
    dialog.eURL->setCurrentText(QString::fromStdString(URL));
    dialog.eDescription->setText(QString::fromStdString(Description));
    SetFormTag(&dialog, 2);
    ExecModal(dialog);
    bool ok = false;
    if (GetFormTag(&dialog) == 1) {
        URL = dialog.eURL->currentText().toStdString();
        Description = dialog.eDescription->text().toStdString();
        if (Description.empty()) Description = URL;
        if (!URL.empty()) {
            AddRecentURL(recent, URL);
            ok = true;
        }
    }
    if (recent.size() > MaxRecentURLs) recent.resize(MaxRecentURLs);
    if (IConfigDocPtr section = RecentSection()) SaveStringsToConfig(*section, recent);
    return ok;
}

}  // namespace kelvar
