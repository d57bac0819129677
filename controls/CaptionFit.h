#pragma once
// Finds captions wider than the rectangle their widget gives them: labels, buttons, check and
// radio boxes, group box titles, tab texts, column headers and the items of one-column trees.
#include <string>
#include <vector>

class QWidget;

namespace kelvar {

struct TClippedCaption {
    std::string Widget;  // class and object name
    std::string Text;
    int TextWidth = 0;  // pixels the text needs
    int Room = 0;       // pixels the widget gives it
};

// Every visible widget under Root (Root included) whose caption does not fit.
std::vector<TClippedCaption> FindClippedCaptions(const QWidget& Root);

// Marks a widget whose text is data that may be longer than its place (a song title, a path):
// the search skips it.
void AllowClipping(QWidget& Widget);

std::string Describe(const TClippedCaption& Clipped);

}  // namespace kelvar
