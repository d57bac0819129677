#pragma once
// Ties edit controls to the fields of an open result: Load shows the current row, and an edit
// by the operator puts the row into edit state and stores the control's text in its field.
// Controls bound to the same field follow each other.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "database/Dataset.h"
#include "foundation/ValueList.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace kelvar {

// Runs an event handler so that no exception leaves it into the event loop: a failure is logged
// as "Unhandled exception (...)".
void RunGuarded(const std::function<void()>& Handler);

class TDataBinder : public QObject {
public:
    explicit TDataBinder(QObject* Parent = nullptr);

    void SetDataset(IDataset* Data) { FData = Data; }
    IDataset* Dataset() const { return FData; }
    // Runs before a value is stored (puts the row into edit state).
    std::function<void()> EnsureEditing;

    void Bind(QLineEdit* Edit, const std::string& Field);
    void Bind(QPlainTextEdit* Memo, const std::string& Field);
    // Editable combo boxes store their text; with Code set a list of "X - Meaning" items
    // stores the first character.
    void Bind(QComboBox* Combo, const std::string& Field, bool Code = false);
    void Bind(QLabel* Label, const std::string& Field);

    // Shows the current row in every bound control (an empty result shows empty texts).
    void Load();
    // Shows one field again, after code changed it.
    void LoadField(const std::string& Field);

private:
    struct TBinding {
        QWidget* Widget;
        std::string Field;
        bool Code;
    };
    void Store(const TBinding& Binding, const QString& Text);
    void Show(const TBinding& Binding);
    std::string FieldText(const std::string& Field) const;

    IDataset* FData = nullptr;
    std::vector<TBinding> FBindings;
    int FLoading = 0;
};

// The fields of a result as a value list for the tag readers and writers: names that are not
// fields of the result read as empty and are not stored.
class TDatasetValues : public IValueList {
public:
    explicit TDatasetValues(IDataset& Data) : FData(Data) {}
    std::string GetValue(std::string_view name) const override;
    std::string GetValue(int index) const override;
    void SetValue(std::string_view name, const std::optional<std::string>& value) override;

private:
    IDataset& FData;
};

}  // namespace kelvar
