#pragma once
// Plain label in the windows' dark grey bold text.
#include <QLabel>

namespace kelvar {

class TStdLabel : public QLabel {
public:
    explicit TStdLabel(const QString& Text = QString(), QWidget* Parent = nullptr);
};

}  // namespace kelvar
