// Writes a settings store the way the window and the controller do, or reads one back and says
// what differs: run by settings-crossing.sh with the Qt 5 and the Qt 6 build against each other.
// The window's own Settings are the real preset button's, loaded from the compiled resources.
#include "app/storeencoding.h"
#include "controller/programslots.h"
#include "controller/windowstore.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <cstdio>
#include <memory>

namespace {

const WindowStore::LinkParameters kLink{QStringLiteral("127.0.0.9"), 7, 500, 30};
// Accents, a character beyond Latin-1 and INI's own separators in the stored text.
const QString kPresetName = QStringLiteral("Aufwärmen ½ ⏱, =;");
const QString kProgramName = QStringLiteral("Übung ⏱");
constexpr int kPreset = 3;
constexpr int kProgram = 2;

QVariantMap presetValues()
{
    return {{QStringLiteral("nameStrig"), kPresetName},
            {QStringLiteral("mode"), 1},
            {QStringLiteral("hour"), 2},
            {QStringLiteral("min"), 7},
            {QStringLiteral("sec"), 45},
            {QStringLiteral("bAlarm"), true},
            {QStringLiteral("alarmTime"), 4}};
}

// The preset button with its Settings, as the count-down page makes it.
std::unique_ptr<QObject> presetButton(QQmlEngine &engine)
{
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/CountDownResetButton.qml")));
    QObject *button = component.beginCreate(engine.rootContext());
    if (!button) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(component.errorString()));
        return nullptr;
    }
    button->setProperty("category", QStringLiteral("countdown%1").arg(kPreset));
    component.completeCreate();
    return std::unique_ptr<QObject>(button);
}

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

int write(QQmlEngine &engine)
{
    WindowStore::setLinkParameters(kLink);
    {
        const std::unique_ptr<QObject> button = presetButton(engine);
        if (!button)
            return 1;
        const QVariantMap values = presetValues();
        for (auto it = values.begin(); it != values.end(); ++it)
            button->setProperty(qPrintable(it.key()), it.value());
    } // the Settings write what changed as the button goes
    QSettings store = controllerStore();
    ProgramSlots programs(store);
    programs.setProgramName(kProgram, kProgramName);
    programs.saveProgramSettings(kProgram, ProgramSlots::defaultText(4));
    return 0;
}

int differences = 0;

void expect(const char *what, const QVariant &read, const QVariant &written)
{
    if (read == written)
        return;
    ++differences;
    std::printf("%s: read \"%s\", written \"%s\"\n", what, qUtf8Printable(read.toString()),
                qUtf8Printable(written.toString()));
}

int read(QQmlEngine &engine)
{
    const WindowStore::LinkParameters link = WindowStore::linkParameters();
    expect("mainBroadcastIP", link.broadcastIP, kLink.broadcastIP);
    expect("mainRetries", link.retries, kLink.retries);
    expect("mainDelay", link.delay, kLink.delay);
    expect("mainRefresh", link.refresh, kLink.refresh);

    const std::unique_ptr<QObject> button = presetButton(engine);
    if (!button)
        return 1;
    const QVariantMap values = presetValues();
    for (auto it = values.begin(); it != values.end(); ++it)
        expect(qPrintable(QStringLiteral("preset button ") + it.key()),
               button->property(qPrintable(it.key())), it.value());
    const WindowStore::Preset preset = WindowStore::preset(kPreset);
    expect("preset name for the doors", preset.name, kPresetName);
    expect("preset alarm for the doors", preset.alarmTime, 4);

    QSettings store = controllerStore();
    ProgramSlots programs(store);
    programs.loadProgramSettings();
    expect("program name", programs.programNames().at(kProgram), kProgramName);
    expect("program text", programs.programTexts().at(kProgram), ProgramSlots::defaultText(4));
    return differences == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString mode = argc == 2 ? QString::fromLatin1(argv[1]) : QString();
    if (mode != QLatin1String("write") && mode != QLatin1String("read")) {
        std::fprintf(stderr, "usage: storecross write|read\n");
        return 2;
    }
    if (mode == QLatin1String("read"))
        adoptUtf8Stores(); // as main() does
    QGuiApplication app(argc, argv);
    WindowStore::nameApplication();
    QQmlEngine engine;
    return mode == QLatin1String("write") ? write(engine) : read(engine);
}
