#include "gui/engine/GUIcommon.h"

#include <QGuiApplication>

#include "gui/engine/WindowList_imp.h"

namespace kelvar {

IWindowListPtr GuiWindowList = std::make_shared<TWindowList>();
THeartBeat* GuiHeartBeat = nullptr;
IConfigDocPtr GuiConfig;
ILoggerPtr GuiLogger;

bool IsShiftDown() { return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0; }

}  // namespace kelvar
