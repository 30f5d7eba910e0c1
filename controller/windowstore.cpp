#include "controller/windowstore.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

struct PresetDefault
{
    const char *caption;
    int min;
    int sec;
};

constexpr PresetDefault kPresetDefaults[WindowStore::kPresets] = {
    {"30 Sec", 0, 30},   {"45 Sec", 0, 45}, {"1 Min", 1, 0},   {"2 Min", 2, 0},
    {"2:30 Min", 2, 30}, {"5 Min", 5, 0},   {"10 Min", 10, 0}, {"20 Min", 20, 0},
};

const QString kOrganization = QStringLiteral("Quillbrook Inc");
const QString kApplication = QStringLiteral("QB-Timer2");

QSettings windowSettings()
{
    return QSettings(kOrganization, kApplication);
}

} // namespace

namespace WindowStore {

void nameApplication()
{
    QCoreApplication::setOrganizationName(kOrganization);
    QCoreApplication::setOrganizationDomain(QStringLiteral("quillbrook.example"));
    QCoreApplication::setApplicationName(kApplication);
}

LinkParameters linkParameters()
{
    const LinkParameters defaults;
    QSettings store = windowSettings();
    store.beginGroup(QStringLiteral("main"));
    LinkParameters p;
    p.broadcastIP = store.value(QStringLiteral("mainBroadcastIP"), defaults.broadcastIP).toString();
    p.retries = store.value(QStringLiteral("mainRetries"), defaults.retries).toInt();
    p.delay = store.value(QStringLiteral("mainDelay"), defaults.delay).toInt();
    p.refresh = store.value(QStringLiteral("mainRefresh"), defaults.refresh).toInt();
    return p;
}

void setLinkParameters(const LinkParameters &p)
{
    QSettings store = windowSettings();
    store.beginGroup(QStringLiteral("main"));
    store.setValue(QStringLiteral("mainBroadcastIP"), p.broadcastIP);
    store.setValue(QStringLiteral("mainRetries"), p.retries);
    store.setValue(QStringLiteral("mainDelay"), p.delay);
    store.setValue(QStringLiteral("mainRefresh"), p.refresh);
}

Preset preset(int n)
{
    const PresetDefault &d = kPresetDefaults[qBound(1, n, kPresets) - 1];
    QSettings store = windowSettings();
    store.beginGroup(QStringLiteral("countdown%1").arg(qBound(1, n, kPresets)));
    const auto number = [&store](const char *key, int fallback) {
        return store.value(QLatin1String(key), fallback).toInt();
    };
    Preset p;
    p.name = store.value(QStringLiteral("buttonName"), QLatin1String(d.caption)).toString();
    p.mode = number("buttonMode", 0);
    p.day = number("buttonDay", 0);
    p.hour = number("buttonHour", 0);
    p.min = number("buttonMin", d.min);
    p.sec = number("buttonSec", d.sec);
    p.alarm = store.value(QStringLiteral("buttonAlarm"), false).toBool();
    p.alarmTime = number("buttonAlarmTime", 0);
    return p;
}

QVariantList presetDefaults()
{
    QVariantList list;
    for (const PresetDefault &d : kPresetDefaults)
        list << QVariantMap{{QStringLiteral("caption"), QLatin1String(d.caption)},
                            {QStringLiteral("min"), d.min},
                            {QStringLiteral("sec"), d.sec}};
    return list;
}

QVariantMap linkDefaults()
{
    const LinkParameters d;
    return {{QStringLiteral("broadcastIP"), d.broadcastIP},
            {QStringLiteral("retries"), d.retries},
            {QStringLiteral("delay"), d.delay},
            {QStringLiteral("refresh"), d.refresh}};
}

} // namespace WindowStore
