#include "control/commandtable.h"

#include "control/commandcontext.h"
#include "control/controlstate.h"
#include "controller/handlegui.h"
#include "controller/windowstore.h"
#include "models/programcodec.h"
#include "models/programdatamodel.h"
#include "models/programfile.h"
#include "models/timerdatamodel.h"

#include <QEventLoop>
#include <QHash>
#include <optional>

namespace {

using Param = CommandParam;
using Type = CommandParam::Type;

// ---- parameters ----

const QStringList kCountFormats = {QStringLiteral("mm:ss.t"), QStringLiteral("hh:mm:ss"),
                                   QStringLiteral("dd:hh:mm")};
const QStringList kPresentationFormats = kCountFormats.mid(0, 2);

Param required(const QString &name, int min, int max, const QString &summary)
{
    return {name, Type::Integer, summary, min, max, true, {}, {}};
}

Param optional(const QString &name, int min, int max, int fallback, const QString &summary)
{
    return {name, Type::Integer, summary, min, max, false, fallback, {}};
}

Param flag(const QString &name, bool fallback, const QString &summary)
{
    return {name, Type::Boolean, summary, 0, 0, false, fallback, {}};
}

Param format(const QStringList &choices, int fallback)
{
    return {QStringLiteral("format"),
            Type::Choice,
            QStringLiteral("how the displays show the time"),
            0,
            0,
            false,
            fallback,
            choices};
}

Param displays(const QString &summary)
{
    return {QStringLiteral("displays"), Type::Displays, summary, 0, 0, true, {}, {}};
}

Param program(bool isRequired = true)
{
    return {QStringLiteral("program"),
            Type::Integer,
            QStringLiteral("program number, as the window's list counts them"),
            1,
            ProgramSlots::kPrograms,
            isRequired,
            {},
            {}};
}

// Program numbers are 1..10 outside, slots 0..9 inside.
int slotOf(const CommandArgs &args)
{
    return args.integer(QStringLiteral("program")) - 1;
}

// ---- state checks ----

QString countRunning(const CommandContext &c, const CommandArgs &)
{
    const MirrorClock &mirror = c.gui.mirror();
    return mirror.countUp || mirror.countDn ? QStringLiteral("a count is running: pause it first")
                                            : QString();
}

QString countDownRunning(const CommandContext &c, const CommandArgs &)
{
    return c.gui.mirror().countDn ? QStringLiteral("the count-down is running: pause it first")
                                  : QString();
}

QString noProgramArmed(const CommandContext &c, const CommandArgs &)
{
    return c.gui.programActive() ? QString() : QStringLiteral("no program is armed: arm one first");
}

// ---- results ----

CommandResult done()
{
    return CommandResult::done();
}

QJsonObject programLines(const CommandContext &c, int slot)
{
    const ProgramSlots &programSlots = c.gui.programSlots();
    // The open program with its edits, as the window shows it; the others as stored.
    QJsonArray lines;
    if (slot == programSlots.currentProgram()) {
        lines = c.state.program().value(QStringLiteral("lines")).toArray();
    } else {
        const QVector<ProgramLine> stored =
            ProgramCodec::linesFromText(programSlots.programTexts().at(slot));
        for (int row = 0; row < stored.size(); ++row)
            lines.append(ControlState::lineJson(row, stored.at(row)));
    }
    return {{QStringLiteral("program"), slot + 1},
            {QStringLiteral("name"), programSlots.programNames().at(slot)},
            {QStringLiteral("lines"), lines}};
}

QJsonObject programList(const CommandContext &c)
{
    const ProgramSlots &programSlots = c.gui.programSlots();
    QJsonArray list;
    for (int slot = 0; slot < ProgramSlots::kPrograms; ++slot)
        list.append(QJsonObject{{QStringLiteral("program"), slot + 1},
                                {QStringLiteral("name"), programSlots.programNames().at(slot)},
                                {QStringLiteral("open"), slot == programSlots.currentProgram()}});
    return {{QStringLiteral("programs"), list}};
}

// A command that presses one of the window's buttons on the selected displays.
Command press(const QString &name, const QString &summary, std::function<void(HandleGui &)> act)
{
    return Command(name, summary, {},
                   [act](CommandContext &c, const CommandArgs &) {
                       act(c.gui);
                       return done();
                   })
        .onSelected();
}

// A command that reads: nothing is sent.
Command reading(const QString &name, const QString &summary, std::vector<Param> params,
                std::function<QJsonObject(const CommandContext &, const CommandArgs &)> read)
{
    return Command(name, summary, std::move(params),
                   [read](CommandContext &c, const CommandArgs &a) {
                       return CommandResult::done(read(c, a));
                   })
        .readsOnly();
}

// ---- the commands ----

QString unknownMirror()
{
    return QStringLiteral("the first selected display has not told what it runs yet");
}

// Start, pause and the window's one button that does either, for a count or a program whose
// running state `running` tells. Each of them presses the button or is refused: none answers ok
// without sending. canStart tells why what the displays run cannot be started.
void addStartPause(std::vector<Command> &t, const QString &group, const QString &what,
                   std::function<bool(const CommandContext &)> running,
                   std::function<void(HandleGui &)> press, Command::Check canStart)
{
    const auto pressing = [press](CommandContext &c, const CommandArgs &) {
        press(c.gui);
        return done();
    };
    // Toggling starts what start starts, so both are refused alike.
    const Command::Check startRefused = [running, canStart](const CommandContext &c,
                                                            const CommandArgs &a) {
        return running(c) ? QString() : canStart(c, a);
    };
    t.push_back(Command(group + QStringLiteral(".start"),
                        QStringLiteral("Starts %1; refused while it runs.").arg(what), {}, pressing)
                    .onSelected()
                    .refusedWhen([running, startRefused, what](const CommandContext &c,
                                                               const CommandArgs &a) {
                        return running(c) ? QStringLiteral("%1 is already running").arg(what)
                                          : startRefused(c, a);
                    }));
    t.push_back(Command(group + QStringLiteral(".pause"),
                        QStringLiteral("Pauses %1; refused while it is not running.").arg(what), {},
                        pressing)
                    .onSelected()
                    .refusedWhen([running, what](const CommandContext &c, const CommandArgs &) {
                        if (running(c))
                            return QString();
                        if (c.gui.mirror().mode == MirrorClock::Mode::None)
                            return unknownMirror();
                        return QStringLiteral("%1 is not running").arg(what);
                    }));
    t.push_back(Command(group + QStringLiteral(".toggle"),
                        QStringLiteral("Starts %1, or pauses it while it runs: the window's "
                                       "Start/Pause button.")
                            .arg(what),
                        {}, pressing)
                    .onSelected()
                    .refusedWhen(startRefused));
}

// Why a count of this kind cannot be started on what the first selected display runs, as the
// mirror knows it; nothing when it can.
QString notCounting(const CommandContext &c, MirrorClock::Mode kind, const QString &modeCommand)
{
    const auto first = [&modeCommand] {
        return QStringLiteral(": send %1 first").arg(modeCommand);
    };
    if (c.gui.programActive())
        return QStringLiteral("the selected displays run a program") + first();
    switch (c.gui.mirror().mode) {
    case MirrorClock::Mode::None:
        return unknownMirror() + first();
    case MirrorClock::Mode::Clock:
        return QStringLiteral("the selected displays show the time of day") + first();
    case MirrorClock::Mode::CountUp:
        return kind == MirrorClock::Mode::CountUp
                   ? QString()
                   : QStringLiteral("the selected displays run a count-up") + first();
    case MirrorClock::Mode::CountDown:
        return kind == MirrorClock::Mode::CountDown
                   ? QString()
                   : QStringLiteral("the selected displays run a count-down") + first();
    }
    return QString();
}

void addState(std::vector<Command> &t)
{
    t.push_back(reading(
        QStringLiteral("state"),
        QStringLiteral("The whole state: displays, mirror, captions, open "
                       "program, presets."),
        {}, [](const CommandContext &c, const CommandArgs &) { return c.state.snapshot(); }));
}

void addDisplays(std::vector<Command> &t)
{
    t.push_back(reading(QStringLiteral("displays.list"),
                        QStringLiteral("The listed displays with address, name, selection and "
                                       "shown time."),
                        {}, [](const CommandContext &c, const CommandArgs &) {
                            return QJsonObject{{QStringLiteral("displays"), c.state.displays()}};
                        }));
    t.push_back(Command(QStringLiteral("displays.discover"),
                        QStringLiteral("Queries the listed displays and the discovery address of "
                                       "the setup page; displays that answer are listed."),
                        {}, [](CommandContext &c, const CommandArgs &) {
                            c.gui.handleSubmitQuery(WindowStore::linkParameters().broadcastIP);
                            return done();
                        }));
    t.push_back(Command(QStringLiteral("displays.add"),
                        QStringLiteral("Queries one address, as \"Manual IP Add\" does; the "
                                       "display is listed when it answers."),
                        {{QStringLiteral("address"),
                          Type::Address,
                          QStringLiteral("the display's IPv4 address"),
                          0,
                          0,
                          true,
                          {},
                          {}}},
                        [](CommandContext &c, const CommandArgs &a) {
                            c.gui.handleSubmitQuery(a.text(QStringLiteral("address")));
                            return done();
                        }));
    t.push_back(Command(QStringLiteral("displays.remove"),
                        QStringLiteral("Takes displays off the list, as \"Remove Selected\" "
                                       "does with exactly these selected."),
                        {displays(QStringLiteral("the displays to take off the list"))},
                        [](CommandContext &c, const CommandArgs &a) {
                            c.selectOnly(a.rows(QStringLiteral("displays")));
                            c.gui.handleRemoveSelected();
                            return done();
                        }));
    const auto selecting = [&t](const QString &name, const QString &summary,
                                std::function<void(CommandContext &, const QList<int> &)> act) {
        t.push_back(Command(name, summary, {displays(QStringLiteral("the displays concerned"))},
                            [act](CommandContext &c, const CommandArgs &a) {
                                act(c, a.rows(QStringLiteral("displays")));
                                return done();
                            }));
    };
    selecting(QStringLiteral("displays.select"),
              QStringLiteral("Selects displays; the others keep their selection."),
              [](CommandContext &c, const QList<int> &rows) { c.setSelected(rows, true); });
    selecting(QStringLiteral("displays.deselect"),
              QStringLiteral("Deselects displays; the others keep their selection."),
              [](CommandContext &c, const QList<int> &rows) { c.setSelected(rows, false); });
    selecting(QStringLiteral("displays.selectOnly"),
              QStringLiteral("Selects exactly these displays."),
              [](CommandContext &c, const QList<int> &rows) { c.selectOnly(rows); });
}

void addCountUp(std::vector<Command> &t)
{
    t.push_back(press(QStringLiteral("countup.mode"),
                      QStringLiteral("Puts the selected displays into count-up mode: \"Set "
                                     "CountUp Mode\"."),
                      [](HandleGui &gui) { gui.handleSetCountUpModeButton(); }));
    t.push_back(Command(QStringLiteral("countup.reset"),
                        QStringLiteral("Resets the count-up to zero in a format."),
                        {format(kCountFormats, 0)},
                        [](CommandContext &c, const CommandArgs &a) {
                            c.gui.handleCountUpResetButton(a.integer(QStringLiteral("format")));
                            return done();
                        })
                    .onSelected()
                    .refusedWhen([](const CommandContext &c, const CommandArgs &) {
                        return c.gui.mirror().countUp
                                   ? QStringLiteral("the count-up is running: pause it first")
                                   : QString();
                    }));
    addStartPause(
        t, QStringLiteral("countup"), QStringLiteral("the count-up"),
        [](const CommandContext &c) { return c.gui.mirror().countUp; },
        [](HandleGui &gui) { gui.handleCountUpStartButton(); },
        [](const CommandContext &c, const CommandArgs &) {
            return notCounting(c, MirrorClock::Mode::CountUp, QStringLiteral("countup.mode"));
        });
}

CommandResult resetCountDown(CommandContext &c, const HandleGui::CountDownSetting &s)
{
    c.gui.handleCountDnResetButton(s.mode, s.days, s.hours, s.mins, s.secs, s.bAlarmEnabled,
                                   s.alarmDuration);
    return done();
}

void addCountDown(std::vector<Command> &t)
{
    t.push_back(press(QStringLiteral("countdown.mode"),
                      QStringLiteral("Puts the selected displays into count-down mode: \"Set "
                                     "CountDown Mode\"."),
                      [](HandleGui &gui) { gui.handleSetCountDnModeButton(0, 0, 0, 0, 0, 0, 0); }));
    t.push_back(Command(QStringLiteral("countdown.set"),
                        QStringLiteral("Resets the count-down to a duration, as a preset does; "
                                       "countdown.start runs it."),
                        {optional(QStringLiteral("days"), 0, 99, 0, QStringLiteral("whole days")),
                         optional(QStringLiteral("hours"), 0, 99, 0, QStringLiteral("hours")),
                         optional(QStringLiteral("minutes"), 0, 59, 0, QStringLiteral("minutes")),
                         optional(QStringLiteral("seconds"), 0, 59, 0, QStringLiteral("seconds")),
                         format(kCountFormats, 0),
                         optional(QStringLiteral("alarm"), 0, 10, 0,
                                  QStringLiteral("seconds of alarm at zero; 0 for none"))},
                        [](CommandContext &c, const CommandArgs &a) {
                            const int alarm = a.integer(QStringLiteral("alarm"));
                            return resetCountDown(c, {a.integer(QStringLiteral("format")),
                                                      a.integer(QStringLiteral("days")),
                                                      a.integer(QStringLiteral("hours")),
                                                      a.integer(QStringLiteral("minutes")),
                                                      a.integer(QStringLiteral("seconds")),
                                                      alarm > 0 ? 1 : 0, alarm});
                        })
                    .onSelected()
                    .refusedWhen(countDownRunning));
    t.push_back(Command(QStringLiteral("countdown.preset"),
                        QStringLiteral("Resets the count-down to one of the eight presets of the "
                                       "count-down page."),
                        {required(QStringLiteral("preset"), 1, WindowStore::kPresets,
                                  QStringLiteral("preset number, in the page's grid order"))},
                        [](CommandContext &c, const CommandArgs &a) {
                            const WindowStore::Preset p =
                                WindowStore::preset(a.integer(QStringLiteral("preset")));
                            return resetCountDown(c, {p.mode, p.day, p.hour, p.min, p.sec,
                                                      p.alarm ? 1 : 0, p.alarmTime});
                        })
                    .onSelected()
                    .refusedWhen(countDownRunning));
    t.push_back(Command(QStringLiteral("countdown.reset"),
                        QStringLiteral("Resets the count-down to the duration it was last set "
                                       "to."),
                        {},
                        [](CommandContext &c, const CommandArgs &) {
                            return resetCountDown(c, *c.gui.lastCountDownSetting());
                        })
                    .onSelected()
                    .refusedWhen([](const CommandContext &c, const CommandArgs &a) {
                        if (!c.gui.lastCountDownSetting())
                            return QStringLiteral("no count-down was set yet: set one first");
                        return countDownRunning(c, a);
                    }));
    t.push_back(
        Command(QStringLiteral("countdown.adjust"),
                QStringLiteral("Adds seconds to a running or paused count-down (negative takes "
                               "them off); it runs on if it was running."),
                {required(QStringLiteral("seconds"), -100 * 86400, 100 * 86400,
                          QStringLiteral("seconds to add"))},
                [](CommandContext &c, const CommandArgs &a) {
                    if (!c.gui.adjustCountDown(a.integer(QStringLiteral("seconds"))))
                        return CommandResult::refused(
                            CommandResult::Status::Refused, QStringLiteral("seconds"),
                            QStringLiteral("seconds: the count-down would fall below zero"));
                    return done();
                })
            .onSelected()
            .refusedWhen([](const CommandContext &c, const CommandArgs &) {
                return c.gui.mirror().mode == MirrorClock::Mode::CountDown && !c.gui.programActive()
                           ? QString()
                           : QStringLiteral("no count-down to adjust: set one first");
            }));
    addStartPause(
        t, QStringLiteral("countdown"), QStringLiteral("the count-down"),
        [](const CommandContext &c) { return c.gui.mirror().countDn; },
        [](HandleGui &gui) { gui.handleCountDnStartButton(); },
        [](const CommandContext &c, const CommandArgs &) {
            const QString why =
                notCounting(c, MirrorClock::Mode::CountDown, QStringLiteral("countdown.set"));
            if (!why.isEmpty())
                return why;
            const MirrorClock &m = c.gui.mirror();
            return m.time == QTime(0, 0) && m.days == 0
                       ? QStringLiteral("the count-down is at zero: set a time first")
                       : QString();
        });
}

void addClock(std::vector<Command> &t)
{
    t.push_back(press(QStringLiteral("clock"),
                      QStringLiteral("Shows the time of day on the selected displays: \"Set Time "
                                     "Mode\"."),
                      [](HandleGui &gui) { gui.handleTimeModeButton(); }));
}

QJsonObject linkJson(const WindowStore::LinkParameters &p)
{
    return {{QStringLiteral("broadcast"), p.broadcastIP},
            {QStringLiteral("retries"), p.retries},
            {QStringLiteral("delay"), p.delay},
            {QStringLiteral("refresh"), p.refresh}};
}

void addSetup(std::vector<Command> &t)
{
    t.push_back(Command(
        QStringLiteral("setup.link"),
        QStringLiteral("The setup page's values: those given are stored and used at once; all "
                       "four are answered. The window shows them on its next start."),
        {{QStringLiteral("broadcast"),
          Type::Address,
          QStringLiteral("where discovery queries go"),
          0,
          0,
          false,
          {},
          {}},
         {QStringLiteral("retries"),
          Type::Integer,
          QStringLiteral("sends of an unanswered command after the first"),
          0,
          10,
          false,
          {},
          {}},
         {QStringLiteral("delay"),
          Type::Integer,
          QStringLiteral("ms between them"),
          0,
          1000,
          false,
          {},
          {}},
         {QStringLiteral("refresh"),
          Type::Integer,
          QStringLiteral("seconds between the status polls"),
          0,
          900,
          false,
          {},
          {}}},
        [](CommandContext &c, const CommandArgs &a) {
            WindowStore::LinkParameters p = WindowStore::linkParameters();
            if (a.has(QStringLiteral("broadcast")))
                p.broadcastIP = a.text(QStringLiteral("broadcast"));
            for (const auto &[name, value] :
                 {std::pair{"retries", &p.retries}, std::pair{"delay", &p.delay},
                  std::pair{"refresh", &p.refresh}}) {
                if (a.has(QLatin1String(name)))
                    *value = a.integer(QLatin1String(name));
            }
            WindowStore::setLinkParameters(p);
            c.gui.handleSetIPParameters(p.retries, p.delay, p.refresh);
            return CommandResult::done(linkJson(WindowStore::linkParameters()));
        }));
}

void addProgramReading(std::vector<Command> &t)
{
    t.push_back(
        reading(QStringLiteral("program.list"),
                QStringLiteral("The ten programs' numbers and names, and which one is "
                               "open."),
                {}, [](const CommandContext &c, const CommandArgs &) { return programList(c); }));
    t.push_back(reading(QStringLiteral("program.show"),
                        QStringLiteral("One program's lines; the open one with its unsaved "
                                       "edits."),
                        {program()}, [](const CommandContext &c, const CommandArgs &a) {
                            return programLines(c, slotOf(a));
                        }));
    t.push_back(
        Command(QStringLiteral("program.rename"),
                QStringLiteral("Gives a program a new name, kept in the store at once; "
                               "its lines stay as they are."),
                {program(),
                 {QStringLiteral("name"),
                  Type::Text,
                  QStringLiteral("the new name, as much as a display's name field holds"),
                  0,
                  11,
                  true,
                  {},
                  {}}},
                [](CommandContext &c, const CommandArgs &a) {
                    const QString name = a.text(QStringLiteral("name"));
                    const QString fault = ProgramFile::nameFault(name);
                    if (!fault.isEmpty())
                        return CommandResult::refused(CommandResult::Status::Invalid,
                                                      QStringLiteral("name"),
                                                      QStringLiteral("name: ") + fault);
                    const int slot = slotOf(a);
                    c.gui.renameProgram(slot, name);
                    return CommandResult::done(
                        {{QStringLiteral("program"), slot + 1},
                         {QStringLiteral("name"), c.gui.programSlots().programNames().at(slot)}});
                }));
    t.push_back(Command(QStringLiteral("program.open"),
                        QStringLiteral("Opens a program in the window, as picking it in the list "
                                       "does."),
                        {program()}, [](CommandContext &c, const CommandArgs &a) {
                            c.gui.openProgram(slotOf(a));
                            return done();
                        }));
}

void addProgramRunning(std::vector<Command> &t)
{
    t.push_back(Command(QStringLiteral("program.arm"),
                        QStringLiteral("Arms the open program, or the one given, on the selected "
                                       "displays: the program page's Reset."),
                        {program(false)},
                        [](CommandContext &c, const CommandArgs &a) {
                            if (a.has(QStringLiteral("program")))
                                c.gui.openProgram(slotOf(a));
                            c.gui.handleProgResetButton();
                            return done();
                        })
                    .onSelected()
                    .refusedWhen(countRunning));
    addStartPause(
        t, QStringLiteral("program"), QStringLiteral("the armed program"),
        [](const CommandContext &c) { return c.gui.programRunning(); },
        [](HandleGui &gui) { gui.handleProgStartButton(); }, noProgramArmed);
}

void addProgramTransfer(std::vector<Command> &t)
{
    const auto transfer = [&t](const QString &name, const QString &summary,
                               std::function<void(HandleGui &, int)> act) {
        t.push_back(
            Command(name, summary, {program()}, [act](CommandContext &c, const CommandArgs &a) {
                act(c.gui, slotOf(a));
                return done();
            }).onSelected());
    };
    transfer(QStringLiteral("program.save"),
             QStringLiteral("Uploads one program to the selected displays and has them save it."),
             [](HandleGui &gui, int slot) { gui.saveProgramOnDisplays(slot); });
    t.push_back(press(QStringLiteral("program.saveAll"),
                      QStringLiteral("Uploads all ten programs to the selected displays and has "
                                     "them save them: \"Save All Programs\"."),
                      [](HandleGui &gui) { gui.handleSaveAllProgramsButton(); }));
    transfer(QStringLiteral("program.get"),
             QStringLiteral("Reads one program from the first selected display into its slot."),
             [](HandleGui &gui, int slot) { gui.getProgramFromDisplay(slot); });
    t.push_back(press(QStringLiteral("program.getAll"),
                      QStringLiteral("Reads all ten programs from the first selected display: "
                                     "\"Get All Programs\"."),
                      [](HandleGui &gui) { gui.handleGetAllProgramsButton(); }));
    t.push_back(press(QStringLiteral("program.getActive"),
                      QStringLiteral("Reads the first selected display's active program and "
                                     "opens it: \"Get Active\"."),
                      [](HandleGui &gui) { gui.handleGetProgram(); }));
}

// A program file as its JSON object, or as the text of a file (JSON or program text).
ProgramFile::Imported importedFile(const QJsonValue &file)
{
    return file.isObject() ? ProgramFile::importProgram(file.toObject())
                           : ProgramFile::importProgram(file.toString().toUtf8());
}

// The open program's lines are the ones the runner follows while it is armed.
QString importingIntoArmed(const CommandContext &c, const CommandArgs &a)
{
    return slotOf(a) == c.gui.programSlots().currentProgram() && c.gui.programActive()
               ? QStringLiteral("program %1 is open and armed: open another program first")
                     .arg(slotOf(a) + 1)
               : QString();
}

void addProgramFiles(std::vector<Command> &t)
{
    t.push_back(
        reading(QStringLiteral("program.export"),
                QStringLiteral("One program as stored, as a program file (docs/program-files.md): "
                               "\"file\" its JSON object, \"fileText\" the file as the controller "
                               "writes it, \"text\" the stored program text."),
                {program()}, [](const CommandContext &c, const CommandArgs &a) {
                    const ProgramSlots &programSlots = c.gui.programSlots();
                    const QString name = programSlots.storedName(slotOf(a));
                    const ProgramText text = programSlots.storedText(slotOf(a));
                    return QJsonObject{{QStringLiteral("file"), ProgramFile::toJson(name, text)},
                                       {QStringLiteral("fileText"),
                                        QString::fromUtf8(ProgramFile::exportProgram(name, text))},
                                       {QStringLiteral("text"), text}};
                }));
    t.push_back(
        Command(QStringLiteral("program.import"),
                QStringLiteral("Stores a program file in a program's place, checked as the "
                               "program editor checks a program; a refused file stores "
                               "nothing. Program text carries no name: the place keeps its "
                               "own."),
                {program(),
                 {QStringLiteral("file"),
                  Type::Object,
                  QStringLiteral("a program file's JSON object, or a file's text: JSON or the "
                                 "stored program text"),
                  0,
                  0,
                  true,
                  {},
                  {}}},
                [](CommandContext &c, const CommandArgs &a) {
                    const ProgramFile::Imported file =
                        importedFile(a.value(QStringLiteral("file")));
                    if (!file.ok())
                        return CommandResult::refused(CommandResult::Status::Invalid,
                                                      QStringLiteral("file"),
                                                      QStringLiteral("file: ") + file.error);
                    const int slot = slotOf(a);
                    const QString name =
                        file.named ? file.name : c.gui.programSlots().programNames().at(slot);
                    c.gui.importProgram(slot, name, file.text);
                    return CommandResult::done(
                        {{QStringLiteral("program"), slot + 1}, {QStringLiteral("name"), name}});
                })
            .refusedWhen(importingIntoArmed));
}

void addGenerators(std::vector<Command> &t)
{
    t.push_back(
        Command(QStringLiteral("tabata"),
                QStringLiteral("Builds a Tabata program (program 10) and arms it on the selected "
                               "displays; program.start runs it."),
                {required(QStringLiteral("work"), 1, 999, QStringLiteral("seconds of work")),
                 required(QStringLiteral("rest"), 0, 999, QStringLiteral("seconds of rest")),
                 required(QStringLiteral("rounds"), 1, 256, QStringLiteral("work/rest rounds")),
                 flag(QStringLiteral("alarm"), false,
                      QStringLiteral("a two-second alarm at each change"))},
                [](CommandContext &c, const CommandArgs &a) {
                    c.gui.handleTabataResetButton(
                        a.integer(QStringLiteral("work")), a.integer(QStringLiteral("rest")),
                        a.integer(QStringLiteral("rounds")), a.boolean(QStringLiteral("alarm")));
                    return done();
                })
            .onSelected()
            .refusedWhen(countRunning));
    t.push_back(
        Command(QStringLiteral("presentation"),
                QStringLiteral("Builds a presentation timer (program 9): green, yellow from the "
                               "warning time, red at zero; arms it on the selected displays."),
                {required(QStringLiteral("total"), 1, 7200, QStringLiteral("seconds in all")),
                 required(QStringLiteral("warning"), 0, 7200,
                          QStringLiteral("seconds left when it turns yellow")),
                 format(kPresentationFormats, 1),
                 flag(QStringLiteral("countUp"), false,
                      QStringLiteral("count up in red after zero instead of ending")),
                 flag(QStringLiteral("alarm"), false,
                      QStringLiteral("a two-second alarm at each change"))},
                [](CommandContext &c, const CommandArgs &a) {
                    c.gui.handlePresentResetButton(
                        a.integer(QStringLiteral("total")), a.integer(QStringLiteral("warning")),
                        a.integer(QStringLiteral("format")), a.boolean(QStringLiteral("countUp")),
                        a.boolean(QStringLiteral("alarm")));
                    return done();
                })
            .onSelected()
            .refusedWhen(countRunning));
}

std::vector<Command> buildTable()
{
    std::vector<Command> table;
    addState(table);
    addDisplays(table);
    addCountUp(table);
    addCountDown(table);
    addClock(table);
    addSetup(table);
    addProgramReading(table);
    addProgramRunning(table);
    addProgramTransfer(table);
    addProgramFiles(table);
    addGenerators(table);
    return table;
}

// Selects the command's targets, when it names them, and runs it.
CommandResult run(CommandContext &context, const Command &command, const CommandArgs &commandArgs)
{
    const bool named = commandArgs.has(CommandTable::targetsParam());
    if (command.takesTargets && !named && !context.anySelected())
        return CommandResult::refused(
            QStringLiteral("no display is selected: select one, or name them with \"to\""));
    if (command.check) {
        const QString refusal = command.check(context, commandArgs);
        if (!refusal.isEmpty())
            return CommandResult::refused(refusal);
    }
    if (!command.takesTargets || !named)
        return command.handler(context, commandArgs);
    QList<int> selected;
    for (int row = 0; row < context.timers.rowCount(); ++row) {
        if (context.timers.isSelected(row))
            selected << row;
    }
    context.selectOnly(commandArgs.rows(CommandTable::targetsParam()));
    CommandResult result = command.handler(context, commandArgs);
    // A handler that refuses (an adjust below zero) leaves the selection as it found it.
    if (!result.isDone())
        context.selectOnly(selected);
    return result;
}

// What became of the command's packets, per display: who acknowledged, who missed what.
void addOutcome(QJsonObject &data, const Deliveries::Outcome &outcome, const TimerDataModel &timers)
{
    const auto display = [&timers](const QString &addr) {
        const TimerData *timer = timers.timer(addr);
        return QJsonObject{{QStringLiteral("address"), addr},
                           {QStringLiteral("name"), timer ? timer->name : QString()}};
    };
    QJsonArray acknowledged;
    for (const QString &addr : outcome.acknowledged)
        acknowledged.append(display(addr));
    QJsonArray missed;
    for (const auto &[addr, command] : outcome.missed) {
        QJsonObject entry = display(addr);
        entry.insert(QStringLiteral("command"), command);
        missed.append(entry);
    }
    data.insert(QStringLiteral("acknowledged"), acknowledged);
    data.insert(QStringLiteral("missed"), missed);
    if (!outcome.pending.isEmpty()) {
        QJsonArray pending;
        for (const QString &addr : outcome.pending)
            pending.append(display(addr));
        data.insert(QStringLiteral("pending"), pending);
    }
}

} // namespace

namespace CommandTable {

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = buildTable();
    return table;
}

const Command *find(const QString &name)
{
    static const QHash<QString, const Command *> byName = [] {
        QHash<QString, const Command *> names;
        for (const Command &command : commands())
            names.insert(command.name, &command);
        return names;
    }();
    return byName.value(name);
}

CommandParam targetsDescription()
{
    return {targetsParam(),
            Type::Displays,
            QStringLiteral("the displays to select, alone, before the command acts; without it "
                           "the command acts on the selected displays"),
            0,
            0,
            false,
            {},
            {}};
}

CommandParam confirmDescription()
{
    return {confirmParam(),
            Type::Boolean,
            QStringLiteral("answer only once every target display acknowledged the command or "
                           "missed it (at most 5 s), listing \"acknowledged\" and \"missed\" "
                           "displays; over HTTP (OSC answers at once, and tells of misses by "
                           "/qb/missed)"),
            0,
            0,
            false,
            false,
            {}};
}

void execute(CommandContext &context, const QString &name, const QJsonObject &args, Completion done)
{
    const Command *command = find(name);
    if (!command) {
        QStringList known;
        for (const Command &c : commands())
            known << c.name;
        done(CommandResult::refused(CommandResult::Status::UnknownCommand, {},
                                    QStringLiteral("unknown command \"%1\"; known commands: %2")
                                        .arg(name.left(64), known.join(QStringLiteral(", ")))));
        return;
    }
    QJsonObject checked;
    const CommandResult checkedArgs = checkArgs(*command, args, context, checked);
    if (!checkedArgs.isDone()) {
        done(checkedArgs);
        return;
    }
    const CommandArgs commandArgs(checked);
    if (!commandArgs.boolean(confirmParam())) {
        done(run(context, *command, commandArgs));
        return;
    }
    Deliveries &deliveries = context.gui.deliveries();
    deliveries.openWatch();
    CommandResult result = run(context, *command, commandArgs);
    deliveries.closeWatch([result = std::move(result), done = std::move(done),
                           &context](const Deliveries::Outcome &outcome) mutable {
        if (result.isDone())
            addOutcome(result.data, outcome, context.timers);
        done(std::move(result));
    });
}

CommandResult execute(CommandContext &context, const QString &name, const QJsonObject &args)
{
    std::optional<CommandResult> result;
    QEventLoop waiting;
    execute(context, name, args, [&](CommandResult r) {
        result = std::move(r);
        waiting.quit();
    });
    if (!result)
        waiting.exec();
    return *result;
}

} // namespace CommandTable
