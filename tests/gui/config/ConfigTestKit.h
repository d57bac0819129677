#pragma once
// Driving the configuration dialog in the tests: the modal run shows the form, runs the test's
// steps on it and ends when the form has closed.
#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "gui/config/funConfig.h"
#include "gui/config/unConfig.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar::configtest {

// The built-in pages' captions in tree order.
inline const std::vector<std::string> BuiltInCaptions = {"Audio mixer pipeline", "Crossfading", "Gap killer",
                                                         "Playlist rotation rules", "General"};

inline void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// The next configuration form runs Steps instead of waiting for a person.
inline void OnConfigForm(std::function<void(TfoConfig&)> Steps) {
    SetModalHandler([Steps](QDialog& Dialog) {
        // Clearing the handler frees this closure: keep what runs.
        const auto steps = Steps;
        // The steps may answer dialogs of their own.
        SetModalHandler(nullptr);
        auto* form = dynamic_cast<TfoConfig*>(&Dialog);
        if (!form) {
            ADD_FAILURE() << "another dialog than the configuration form";
            return 0;
        }
        form->show();
        Settle();
        steps(*form);
        if (form->isVisible()) {
            ADD_FAILURE() << "the steps left the form open";
            form->hide();
        }
        return 0;
    });
}

inline void Press(TFxFancyButton* Button) {
    QTest::mouseClick(Button, Qt::LeftButton);
    Settle();
}
inline void PressOK(TfoConfig& Form) { Press(Form.frmOKCancel1->btOK); }
inline void PressCancel(TfoConfig& Form) { Press(Form.frmOKCancel1->btClose); }

inline QTreeWidgetItem* FindPage(TfoConfig& Form, const QString& Caption) {
    auto found = Form.frmConfig1->tvSections->findItems(Caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

// The next dialog run through ExecModal of the given class gets Steps.
template <class TDialog>
void OnDialog(std::function<void(TDialog&)> Steps) {
    SetModalHandler([Steps](QDialog& Dialog) {
        const auto steps = Steps;
        SetModalHandler(nullptr);
        auto* dialog = dynamic_cast<TDialog*>(&Dialog);
        if (!dialog) {
            ADD_FAILURE() << "another dialog showed";
            return 0;
        }
        steps(*dialog);
        return dialog->result();
    });
}

// Selects the page and answers its widget as the given frame class.
template <class TFrame>
TFrame* OpenPage(TfoConfig& Form, const QString& Caption) {
    QTreeWidgetItem* item = FindPage(Form, Caption);
    if (!item) {
        ADD_FAILURE() << "no page " << Caption.toStdString();
        return nullptr;
    }
    Form.frmConfig1->tvSections->setCurrentItem(item);
    Settle();
    auto* frame = dynamic_cast<TFrame*>(Form.frmConfig1->ShownControl());
    if (!frame) ADD_FAILURE() << "page " << Caption.toStdString() << " shows another frame";
    return frame;
}

inline std::vector<std::string> TopCaptions(TfoConfig& Form) {
    std::vector<std::string> captions;
    for (int i = 0; i < Form.frmConfig1->tvSections->topLevelItemCount(); ++i)
        captions.push_back(Form.frmConfig1->tvSections->topLevelItem(i)->text(0).toStdString());
    return captions;
}

}  // namespace kelvar::configtest
