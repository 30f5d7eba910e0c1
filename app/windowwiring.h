#pragma once

class HandleGui;
class QObject;

// Joins the main window's signals to the controller's slots and the controller's signals to the
// window's functions of the same names.
void connectWindow(QObject *window, HandleGui *controller);
