#pragma once

class HandleGui;
class ProgramDataModel;
class QObject;
class QQmlApplicationEngine;
class QQmlContext;
class TimerDataModel;

// Scales the window for high-DPI screens as Qt 6 always does; before the application object.
void enableHighDpiScaling();

// The first-start values the window shares with the doors that work without it.
void publishWindowDefaults(QQmlContext *context);

// Publishes the controller and the two lists to QML, registers the program roles and loads the
// main window; gives the window's root object, or nothing when the document did not load.
QObject *loadMainWindow(QQmlApplicationEngine &engine, HandleGui *controller,
                        TimerDataModel *timers, ProgramDataModel *programs);

// Joins the main window's signals to the controller's slots and the controller's signals to the
// window's functions of the same names.
void connectWindow(QObject *window, HandleGui *controller);
