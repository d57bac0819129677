#pragma once
// The HTTP handler port (hidden on the General page; nothing reads the key).
#include <QFrame>
#include <QLineEdit>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmHTTPHandler : public QFrame {
public:
    explicit TfrmHTTPHandler(QWidget* Parent = nullptr);

    void LoadFrom(IConfigDoc& Section);
    // "Port" as a number; 8080 when the text is none.
    void SaveTo(IConfigDoc& Section);

    QLineEdit* ePort = nullptr;
};

}  // namespace kelvar
