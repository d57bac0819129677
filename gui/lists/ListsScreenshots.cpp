#include "gui/lists/ListsScreenshots.h"

#include <QComboBox>
#include <QLineEdit>

#include "gui/engine/Screenshots.h"
#include "gui/lists/unAddURL.h"
#include "gui/lists/unDropTarget.h"

namespace kelvar {

void RegisterListsScreenshots() {
    RegisterScreenshot("AddURL", [] {
        auto dialog = std::make_unique<TfoAddURL>();
        dialog->eURL->addItem("http://stream.example.org:8000/live.mp3");
        dialog->eURL->setCurrentText("http://radio.example.com/jazz.ogg");
        dialog->eDescription->setText("Jazz radio");
        return std::unique_ptr<QWidget>(std::move(dialog));
    });
    RegisterScreenshot("DropTarget", [] {
        auto target = std::make_unique<TfoDropTarget>();
        target->ShowCategories("");
        return std::unique_ptr<QWidget>(std::move(target));
    });
}

}  // namespace kelvar
