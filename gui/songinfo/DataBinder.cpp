#include "gui/songinfo/DataBinder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "foundation/Logger.h"
#include "foundation/TextUtil.h"

namespace kelvar {

void RunGuarded(const std::function<void()>& Handler) {
    try {
        Handler();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
}

TDataBinder::TDataBinder(QObject* Parent) : QObject(Parent) {}

void TDataBinder::Bind(QLineEdit* Edit, const std::string& Field) {
    FBindings.push_back({Edit, Field, false});
    const TBinding binding = FBindings.back();
    connect(Edit, &QLineEdit::textEdited, this, [this, binding](const QString& text) { Store(binding, text); });
}

void TDataBinder::Bind(QPlainTextEdit* Memo, const std::string& Field) {
    FBindings.push_back({Memo, Field, false});
    const TBinding binding = FBindings.back();
    connect(Memo, &QPlainTextEdit::textChanged, this, [this, binding, Memo] { Store(binding, Memo->toPlainText()); });
}

void TDataBinder::Bind(QComboBox* Combo, const std::string& Field, bool Code) {
    FBindings.push_back({Combo, Field, Code});
    const TBinding binding = FBindings.back();
    connect(Combo, &QComboBox::currentTextChanged, this,
            [this, binding](const QString& text) { Store(binding, binding.Code ? text.left(1) : text); });
}

void TDataBinder::Bind(QLabel* Label, const std::string& Field) { FBindings.push_back({Label, Field, false}); }

std::string TDataBinder::FieldText(const std::string& Field) const {
    if (!FData || (FData->Eof() && FData->Bof()) || !FData->HasField(Field)) return {};
    return FData->GetValue(Field);
}

void TDataBinder::Store(const TBinding& Binding, const QString& Text) {
    if (FLoading > 0 || !FData || !FData->HasField(Binding.Field)) return;
    const std::string value = Text.toStdString();
    if (FData->GetValue(Binding.Field) == value) return;
    try {
        if (EnsureEditing) EnsureEditing();
        FData->SetFieldValue(Binding.Field, value);
    } catch (const std::exception& e) {
        // The control shows what the row holds again.
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
        ++FLoading;
        Show(Binding);
        --FLoading;
        return;
    }
    // The field's other controls show the new value.
    ++FLoading;
    for (const TBinding& other : FBindings)
        if (other.Widget != Binding.Widget && SameText(other.Field, Binding.Field)) Show(other);
    --FLoading;
}

void TDataBinder::Show(const TBinding& Binding) {
    const QString text = QString::fromStdString(FieldText(Binding.Field));
    if (auto* edit = qobject_cast<QLineEdit*>(Binding.Widget)) {
        if (edit->text() != text) edit->setText(text);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(Binding.Widget)) {
        if (memo->toPlainText() != text) memo->setPlainText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(Binding.Widget)) {
        if (Binding.Code) {
            int index = -1;
            for (int i = 0; i < combo->count() && !text.isEmpty(); ++i)
                if (combo->itemText(i).startsWith(text.left(1))) index = i;
            combo->setCurrentIndex(index);
        } else if (combo->isEditable()) {
            combo->setCurrentText(text);
        } else {
            combo->setCurrentIndex(combo->findText(text));
        }
    } else if (auto* label = qobject_cast<QLabel*>(Binding.Widget)) {
        label->setText(text);
    }
}

void TDataBinder::Load() {
    ++FLoading;
    for (const TBinding& binding : FBindings) Show(binding);
    --FLoading;
}

void TDataBinder::LoadField(const std::string& Field) {
    ++FLoading;
    for (const TBinding& binding : FBindings)
        if (SameText(binding.Field, Field)) Show(binding);
    --FLoading;
}

std::string TDatasetValues::GetValue(std::string_view name) const {
    const std::string field(name);
    return FData.HasField(field) ? FData.GetValue(field) : std::string();
}

std::string TDatasetValues::GetValue(int index) const { return FData.GetValue(index); }

void TDatasetValues::SetValue(std::string_view name, const std::optional<std::string>& value) {
    const std::string field(name);
    if (FData.HasField(field)) FData.SetValue(field, value);
}

}  // namespace kelvar
