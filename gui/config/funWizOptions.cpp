#include "gui/config/funWizOptions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kelvar {

namespace {

struct TMethod {
    const char* Caption;
    const char* Word;
};
constexpr TMethod Methods[] = {{"Weighted", "smWeighted"},
                               {"Priority", "smPriority"},
                               {"Random", "smRandom"},
                               {"Most recently played song", "smMRP"},
                               {"Least recently played song", "smLRP"},
                               {"Most recently played artist", "smMRPA"},
                               {"Least recently played artist", "smLRPA"},
                               {"Shuffle Rules (random logic)", "smShuffleLogic"}};

}  // namespace

TfrmWizOptions::TfrmWizOptions(QWidget* Parent) : QFrame(Parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(" Selection method ", this);
    auto* grid = new QGridLayout(group);
    eMode = new QButtonGroup(this);
    int id = 0;
    for (const TMethod& method : Methods) {
        auto* radio = new QRadioButton(method.Caption, group);
        eMode->addButton(radio, id);
        grid->addWidget(radio, id % 4, id / 4);
        ++id;
    }
    eMode->button(0)->setChecked(true);
    column->addWidget(group);
    eEnforce = new QCheckBox("Enforce playlist rotation rules", this);
    eEnforce->setObjectName("eEnforce");
    eEnforce->setChecked(true);
    column->addWidget(eEnforce);
}

std::string TfrmWizOptions::SelectionWord() const {
    const int id = eMode->checkedId();
    return id >= 0 && id < static_cast<int>(std::size(Methods)) ? Methods[id].Word : Methods[0].Word;
}

std::string TfrmWizOptions::RulesWord() const { return eEnforce->isChecked() ? "EnforceRules" : "NoRules"; }

std::string QuoteScriptText(const std::string& Text) {
    std::string quoted = "'";
    for (char c : Text) {
        if (c == '\'') quoted += '\'';
        quoted += c;
    }
    return quoted + "'";
}

std::string CategoryStatement(const std::string& Category, const std::string& Selection, const std::string& Rules) {
    return "Cat[" + QuoteScriptText(Category) + "]." + TfrmWizOptions::QueueWord() + "(" + Selection + ", " + Rules +
           ");";
}

std::string DirectoryStatement(const std::string& Kind, const std::string& Folder, const std::string& Selection,
                               const std::string& Rules, bool Rescan) {
    const std::string head = Kind + "[" + QuoteScriptText(Folder) + "]";
    std::string statement = head + "." + TfrmWizOptions::QueueWord() + "(" + Selection + ", " + Rules + ");";
    if (Rescan) statement = head + ".Rescan;\r" + statement;
    return statement;
}

std::string CommentStatement(const std::string& Text) { return Text.empty() ? std::string() : "{# " + Text + " #}"; }

}  // namespace kelvar
