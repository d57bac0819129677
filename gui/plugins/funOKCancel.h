#pragma once
// The OK/Cancel bar of the configuration dialogs. With a form as owner it also handles the
// form's Enter and Escape keys: OK sets the form's tag to 1, Cancel to 2, and both close it.
#include <QFrame>
#include <QPointer>

namespace kelvar {

class TFxFancyButton;

// The form's tag lives in its dynamic property "Tag".
int GetFormTag(const QWidget* Form);
void SetFormTag(QWidget* Form, int Value);

class TfrmOKCancel : public QFrame {
public:
    static constexpr int BarHeight = 39;

    // Owner is the form when it is a window.
    explicit TfrmOKCancel(QWidget* Owner);
    ~TfrmOKCancel() override;

    TFxFancyButton* btOK = nullptr;
    TFxFancyButton* btClose = nullptr;

    QWidget* GetForm() const { return FForm; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CloseForm(int Tag);

    QPointer<QWidget> FForm;
};

}  // namespace kelvar
