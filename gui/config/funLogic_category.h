#pragma once
// Settings of the clockwheel logic: weight changes on events and the rotation script, with the
// wizards that write its statements and script files to load and save.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "controls/BoxButton.h"
#include "gui/plugins/funPluginConfig.h"

namespace kelvar {

// The script editor: new lines keep the indent of the line before, tabs become spaces.
class TScriptEdit : public QPlainTextEdit {
public:
    explicit TScriptEdit(QWidget* Parent = nullptr);

    // The lines with their trailing blanks trimmed.
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& Lines);
    void AppendLine(const std::string& Line);

protected:
    void keyPressEvent(QKeyEvent* Event) override;
};

class TfrmLogic_category : public TfrmPluginConfig {
public:
    explicit TfrmLogic_category(QWidget* Parent = nullptr);

    void LoadSettings(IConfigDoc& Node) override;
    void SaveSettings(IConfigDoc& Node) override;

    void AddCategory();
    void AddDirectory();
    void AddComment();
    void LoadScript();
    void SaveScript();

    QLineEdit* ePlayDec = nullptr;
    QLineEdit* eRequestInc = nullptr;
    TScriptEdit* eRotationFormat = nullptr;
    TBoxButton* btCategory = nullptr;
    TBoxButton* btDirectory = nullptr;
    TBoxButton* btComment = nullptr;
    TBoxButton* btRequest = nullptr;
    TBoxButton* btClear = nullptr;
    TBoxButton* btLoad = nullptr;
    TBoxButton* btSave = nullptr;
};

namespace funLogic_category {

class TCustomConfig : public TPluginConfig {
protected:
    std::unique_ptr<TfrmPluginConfig> CreateFrame() override { return std::make_unique<TfrmLogic_category>(); }
};

TPluginInfo* GetPluginInfo();

}  // namespace funLogic_category

}  // namespace kelvar
