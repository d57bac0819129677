#pragma once
// How a clockwheel statement picks its song: the selection method and whether the playlist
// rules apply. Shared by the category and directory wizards.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <string>

namespace kelvar {

class TfrmWizOptions : public QFrame {
public:
    explicit TfrmWizOptions(QWidget* Parent = nullptr);

    // "smWeighted" ... "smShuffleLogic" for the chosen method.
    std::string SelectionWord() const;
    // "EnforceRules" or "NoRules".
    std::string RulesWord() const;
    // Always the bottom of the queue.
    static std::string QueueWord() { return "QueueBottom"; }

    QButtonGroup* eMode = nullptr;
    QCheckBox* eEnforce = nullptr;
};

// A name or folder in single quotes, each quote inside doubled.
std::string QuoteScriptText(const std::string& Text);
// Cat['Rock'].QueueBottom(smWeighted, EnforceRules);
std::string CategoryStatement(const std::string& Category, const std::string& Selection, const std::string& Rules);
// Kind is "Dir" or "SubDir"; with Rescan, the rescan line and a carriage return come first.
std::string DirectoryStatement(const std::string& Kind, const std::string& Folder, const std::string& Selection,
                               const std::string& Rules, bool Rescan);
// "{# text #}", or nothing for an empty text.
std::string CommentStatement(const std::string& Text);

}  // namespace kelvar
