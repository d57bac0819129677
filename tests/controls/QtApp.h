#pragma once
// The offscreen application every control test runs in, and a helper to paint a control.
#include <QImage>
#include <QWidget>

namespace kelvar::test {

// Renders the widget as it would reach the screen.
QImage Render(QWidget& Widget);
// Width of Text as the controls measure it.
int TextWidth(const QFont& Font, const QString& Text);

}  // namespace kelvar::test
