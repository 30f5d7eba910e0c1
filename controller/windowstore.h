#pragma once

#include <QString>
#include <QVariantList>

// The window's own settings store ("Quillbrook Inc" / "QB-Timer2"), as the doors that work without
// the window read it: the link parameters, the discovery address and the eight count-down
// presets. The defaults here are the window's too: it takes them from presetDefaults() and
// linkDefaults(), so a first start shows what the other doors use.
namespace WindowStore {

struct LinkParameters
{
    QString broadcastIP = QStringLiteral("255.255.255.255");
    int retries = 3;
    int delay = 350;
    int refresh = 60;
};

struct Preset
{
    QString name;
    int mode = 0;
    int day = 0;
    int hour = 0;
    int min = 0;
    int sec = 0;
    bool alarm = false;
    int alarmTime = 0;
};

constexpr int kPresets = 8;

// Names the application after this store, so that the window's own Settings, which take the
// application's names, read and write the same file as the functions below.
void nameApplication();

LinkParameters linkParameters();
// Stores what the setup page stores; the window shows it on its next start.
void setLinkParameters(const LinkParameters &parameters);
// Preset n of 1..kPresets as the window last stored it.
Preset preset(int n);

// For the window: {caption, min, sec} of each preset in grid order, and the link defaults.
QVariantList presetDefaults();
QVariantMap linkDefaults();

} // namespace WindowStore
