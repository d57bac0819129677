#include "gui/config/funLogic_category.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QVBoxLayout>
#include <fstream>

#include "foundation/Logger.h"
#include "gui/config/funLogic_weighted.h"
#include "gui/config/unWizCategory.h"
#include "gui/config/unWizComment.h"
#include "gui/config/unWizDirectory.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/PlaylistDialogs.h"

namespace kelvar {

namespace {

const char* const ScriptFilter = "Category rotation scripts (*.cwf)|*.cwf|All files (*.*)|*.*";

// Comments, quoted names and the script's words in the colours of a Pascal editor.
class TScriptHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& Text) override {
        QTextCharFormat word;
        word.setFontWeight(QFont::Bold);
        QTextCharFormat quoted;
        quoted.setForeground(QColor(0, 0, 160));
        QTextCharFormat comment;
        comment.setForeground(QColor(0, 128, 0));
        comment.setFontItalic(true);
        static const QRegularExpression words(R"(\b(Cat|Dir|SubDir|Req|Request|File|QueueBottom|QueueTop|Rescan)\b)",
                                              QRegularExpression::CaseInsensitiveOption);
        for (auto it = words.globalMatch(Text); it.hasNext();) {
            const auto m = it.next();
            setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), word);
        }
        static const QRegularExpression strings(R"('(?:[^']|'')*')");
        for (auto it = strings.globalMatch(Text); it.hasNext();) {
            const auto m = it.next();
            setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), quoted);
        }
        static const QRegularExpression comments(R"(\{[^}]*\}?|//.*$)");
        for (auto it = comments.globalMatch(Text); it.hasNext();) {
            const auto m = it.next();
            setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), comment);
        }
    }
};

TBoxButton* MakeButton(QWidget* Parent, const char* Caption, const char* Name) {
    auto* button = new TBoxButton(Caption, Parent);
    button->setObjectName(Name);
    button->setMinimumWidth(70);
    return button;
}

bool RunFileDialog(QFileDialog& Dialog, QString& FileName) {
    Dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    Dialog.setNameFilters(NameFiltersOf(ScriptFilter));
    Dialog.setDefaultSuffix("cwf");
    if (ExecModal(Dialog) != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return false;
    FileName = Dialog.selectedFiles().first();
    return true;
}

}  // namespace

TScriptEdit::TScriptEdit(QWidget* Parent) : QPlainTextEdit(Parent) {
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    setFont(mono);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    new TScriptHighlighter(document());
}

std::vector<std::string> TScriptEdit::Lines() const {
    std::vector<std::string> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        qsizetype end = text.size();
        while (end > 0 && text[end - 1].isSpace()) --end;
        lines.push_back(text.left(end).toStdString());
    }
    // An empty editor has no lines at all.
    if (lines.size() == 1 && lines[0].empty()) lines.clear();
    return lines;
}

void TScriptEdit::SetLines(const std::vector<std::string>& Lines) {
    QStringList text;
    for (const std::string& line : Lines) text << QString::fromStdString(line);
    setPlainText(text.join('\n'));
}

void TScriptEdit::AppendLine(const std::string& Line) {
    if (document()->isEmpty() && document()->blockCount() == 1) {
        setPlainText(QString::fromStdString(Line));
    } else {
        appendPlainText(QString::fromStdString(Line));
    }
}

void TScriptEdit::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Tab && Event->modifiers() == Qt::NoModifier) {
        insertPlainText("  ");
        return;
    }
    if ((Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) && Event->modifiers() == Qt::NoModifier) {
        const QString current = textCursor().block().text();
        qsizetype indent = 0;
        while (indent < current.size() && current[indent] == ' ') ++indent;
        insertPlainText("\n" + QString(indent, ' '));
        return;
    }
    QPlainTextEdit::keyPressEvent(Event);
}

TfrmLogic_category::TfrmLogic_category(QWidget* Parent) : TfrmPluginConfig(Parent) {
    Title = "Category rotation logic configuration";
    auto* column = new QVBoxLayout(this);
    auto* group = new QGroupBox("Adjust weight on events", this);
    auto* grid = new QGridLayout(group);
    ePlayDec = new QLineEdit("0.5", group);
    ePlayDec->setObjectName("ePlayDec");
    eRequestInc = new QLineEdit("5", group);
    eRequestInc->setObjectName("eRequestInc");
    grid->addWidget(new QLabel("On play, reduce weight by ", group), 0, 0);
    grid->addWidget(ePlayDec, 0, 1);
    grid->addWidget(new QLabel("On request, increase weight by", group), 1, 0);
    grid->addWidget(eRequestInc, 1, 1);
    column->addWidget(group);

    auto* script = new QGroupBox("Rotation clockwheel format", this);
    auto* scriptColumn = new QVBoxLayout(script);
    eRotationFormat = new TScriptEdit(script);
    eRotationFormat->setObjectName("eRotationFormat");
    eRotationFormat->setPlainText("{# Playlist rotation CLOCKWHEEL script #}");
    scriptColumn->addWidget(eRotationFormat, 1);
    auto* buttons = new QHBoxLayout;
    btCategory = MakeButton(script, "Category", "btCategory");
    btDirectory = MakeButton(script, "Directory", "btDirectory");
    btRequest = MakeButton(script, "Request", "btRequest");
    btComment = MakeButton(script, "Comment", "btComment");
    btClear = MakeButton(script, "Clear", "btClear");
    btLoad = MakeButton(script, "Load", "btLoad");
    btSave = MakeButton(script, "Save", "btSave");
    for (TBoxButton* b : {btCategory, btDirectory, btRequest, btComment}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (TBoxButton* b : {btClear, btLoad, btSave}) buttons->addWidget(b);
    scriptColumn->addLayout(buttons);
    column->addWidget(script, 1);
    resize(560, 420);

    QObject::connect(btCategory, &QToolButton::clicked, this, [this] { AddCategory(); });
    QObject::connect(btDirectory, &QToolButton::clicked, this, [this] { AddDirectory(); });
    QObject::connect(btComment, &QToolButton::clicked, this, [this] { AddComment(); });
    QObject::connect(btClear, &QToolButton::clicked, this, [this] { eRotationFormat->clear(); });
    QObject::connect(btLoad, &QToolButton::clicked, this, [this] { LoadScript(); });
    QObject::connect(btSave, &QToolButton::clicked, this, [this] { SaveScript(); });
}

void TfrmLogic_category::LoadSettings(IConfigDoc& Node) {
    btRequest->hide();
    ePlayDec->setText(QString::fromStdString(Node.ReadString("PlayDec", ePlayDec->text().toStdString())));
    eRequestInc->setText(QString::fromStdString(Node.ReadString("RequestInc", eRequestInc->text().toStdString())));
    std::vector<std::string> lines;
    LoadStringsFromConfig(*Node.Section("RotationFormat"), lines);
    eRotationFormat->SetLines(lines);
}

void TfrmLogic_category::SaveSettings(IConfigDoc& Node) {
    Node.WriteFloat("PlayDec", LogicEditFloat(*ePlayDec, 0.5));
    Node.WriteFloat("RequestInc", LogicEditFloat(*eRequestInc, 5.0));
    SaveStringsToConfig(*Node.Section("RotationFormat"), eRotationFormat->Lines());
}

void TfrmLogic_category::AddCategory() {
    std::string statement;
    if (WizardCategory(statement)) eRotationFormat->AppendLine(statement);
}

void TfrmLogic_category::AddDirectory() {
    std::string statement;
    if (!WizardDirectory(statement)) return;
    const size_t cr = statement.find('\r');
    if (cr == std::string::npos) {
        eRotationFormat->AppendLine(statement);
    } else {
        eRotationFormat->AppendLine(statement.substr(0, cr));
        eRotationFormat->AppendLine(statement.substr(cr + 1));
    }
}

void TfrmLogic_category::AddComment() {
    std::string text;
    if (WizardComment(text)) eRotationFormat->AppendLine(text);
}

void TfrmLogic_category::LoadScript() {
    QFileDialog dialog(this, "Load");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QString fileName;
    if (!RunFileDialog(dialog, fileName)) return;
    std::ifstream in(fileName.toStdString(), std::ios::binary);
    if (!in) {
        MessageDlg("Can't read " + fileName.toStdString(), TMsgDlgType::Error, MsgButton::OK, this);
        return;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    eRotationFormat->SetLines(lines);
}

void TfrmLogic_category::SaveScript() {
    QFileDialog dialog(this, "Save");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QString fileName;
    if (!RunFileDialog(dialog, fileName)) return;
    std::ofstream out(fileName.toStdString(), std::ios::binary | std::ios::trunc);
    for (const std::string& line : eRotationFormat->Lines()) out << line << '\n';
    if (!out.flush()) {
        LogMessage("Failed to save the clockwheel script " + fileName.toStdString(), "GUI", LogKind::Error);
        MessageDlg("Can't write " + fileName.toStdString(), TMsgDlgType::Error, MsgButton::OK, this);
    }
}

namespace funLogic_category {

namespace {
void Create(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TCustomConfig>(); }
}  // namespace

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Clockwheel (Category rotation) logic module", "Playlist rotation logic module", 0x0200,
                               "{F130B7DA-D248-49B6-9F10-1958A7F0C9EE}", Create};
    return &info;
}

}  // namespace funLogic_category

}  // namespace kelvar
