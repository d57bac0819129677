#pragma once
// The processor page: every control sets the attached processor node at once; live meters.
#include <QWidget>

namespace kelvar {

class TNode_AGC;

class TfrmAGC : public QWidget {
public:
    explicit TfrmAGC(QWidget* Parent = nullptr);
    ~TfrmAGC() override;

    void Attach(TNode_AGC* Node);
    void Detach();
    TNode_AGC* Node() const { return FNode; }

private:
    TNode_AGC* FNode = nullptr;
};

}  // namespace kelvar
