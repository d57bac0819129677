#pragma once
// The base of the list windows' sections: two steps a section overrides, run when its window
// opens and closes. Descendants call the base Init first and the base Done last.
#include <QWidget>

namespace kelvar {

class TfoBaseSection : public QWidget {
public:
    explicit TfoBaseSection(QWidget* Parent = nullptr);
    virtual void Init() {}
    virtual void Done() {}
};

// A colour of the 0x00BBGGRR form.
QColor BgrColor(unsigned Value);

}  // namespace kelvar
