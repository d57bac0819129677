#include "gui/audioconfig/funAGC.h"

#include "audio/nodes/Node_AGC.h"

namespace kelvar {

TfrmAGC::TfrmAGC(QWidget* Parent) : QWidget(Parent) { setObjectName("frmAGC"); }

TfrmAGC::~TfrmAGC() { Detach(); }

void TfrmAGC::Attach(TNode_AGC* Node) { FNode = Node; }

void TfrmAGC::Detach() { FNode = nullptr; }

}  // namespace kelvar
