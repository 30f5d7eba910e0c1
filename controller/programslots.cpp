#include "controller/programslots.h"

#include "link/logging.h"

#include <QSettings>

namespace {

// 60 s work in blue and green, 15 s rest in blue and red, repeated three more times, with alarms.
const char kTabataDefault[] = "09000000000000020100000000010100000000003c0000000002090000000000000"
                              "20000000000010000000000000f00000000020700000300000000000000000008"
                              "000000000000000000000002";
// A talk: 5:00 down to 1:00 in green, the last minute in yellow, then counting up in red.
const char kPresentationDefault[] =
    "09000000000000010100000000050000000000012c0000003c00090000000000000505000000000500000000000"
    "03c0000000000090000000000000000000000000300000000000000000000000208000000000000000000000000";
const char kEndOnlyDefault[] = "08000000000000000000000000";

} // namespace

ProgramText ProgramSlots::defaultText(int n)
{
    switch (n) {
    case 0:
        return QLatin1String(kTabataDefault);
    case 1:
        return QLatin1String(kPresentationDefault);
    default:
        return QLatin1String(kEndOnlyDefault);
    }
}

QString ProgramSlots::defaultName(int n)
{
    switch (n) {
    case 0:
        return QStringLiteral("Tab 60/15");
    case 1:
        return QStringLiteral("Pres:300-60");
    default:
        return QStringLiteral("Program%1").arg(n + 1);
    }
}

namespace {

QString textKey(int n)
{
    return QString::asprintf("Program%d", n);
}

QString nameKey(int n)
{
    return QString::asprintf("ProgramName%d", n);
}

} // namespace

ProgramSlots::ProgramSlots(QSettings &store) : m_store(store)
{
    for (int n = 0; n < kPrograms; ++n) {
        m_programTexts.append(defaultText(n));
        m_programNames.append(defaultName(n));
    }
}

void ProgramSlots::loadProgramSettings()
{
    qCDebug(lcPrograms, "loadProgramSettings");
    for (int n = 0; n < kPrograms; ++n)
        m_programTexts[n] = m_store.value(textKey(n), defaultText(n)).toString();
    for (int n = 0; n < kPrograms; ++n)
        m_programNames[n] = m_store.value(nameKey(n), defaultName(n)).toString();
}

void ProgramSlots::saveProgramSettings(int n, const ProgramText &text)
{
    qCDebug(lcPrograms, "saveProgramSettings");
    if (!isProgram(n))
        return;
    m_programTexts[n] = text;
    m_store.setValue(textKey(n), m_programTexts.at(n));
    m_store.setValue(nameKey(n), m_programNames.at(n));
}

void ProgramSlots::storeProgramName(int n, const QString &name)
{
    if (!isProgram(n))
        return;
    m_programNames[n] = name;
    m_store.setValue(nameKey(n), name);
}

ProgramText ProgramSlots::storedText(int n) const
{
    return m_store.value(textKey(n), defaultText(n)).toString();
}

QString ProgramSlots::storedName(int n) const
{
    return m_store.value(nameKey(n), defaultName(n)).toString();
}

void ProgramSlots::setProgramText(int n, const ProgramText &text)
{
    if (isProgram(n))
        m_programTexts[n] = text;
}

void ProgramSlots::setProgramName(int n, const QString &name)
{
    if (isProgram(n))
        m_programNames[n] = name;
}

void ProgramSlots::setCurrentProgram(int n)
{
    if (isProgram(n))
        m_currentProgram = n;
}
