#include "control/commandcontext.h"

#include "controller/handlegui.h"
#include "models/timerdatamodel.h"

#include <QSet>

CommandContext::Lookup CommandContext::findDisplays(const QStringList &namesOrAddresses) const
{
    QSet<int> wanted;
    for (const QString &word : namesOrAddresses) {
        bool matched = false;
        for (int row = 0; row < timers.rowCount(); ++row) {
            if (timers.timerIpAddr(row) == word || timers.timerName(row) == word) {
                wanted.insert(row);
                matched = true;
            }
        }
        if (!matched)
            return {{}, word};
    }
    QList<int> rows = wanted.values();
    std::sort(rows.begin(), rows.end());
    return {rows, std::nullopt};
}

void CommandContext::setSelected(const QList<int> &rows, bool selected)
{
    for (int row : rows)
        gui.handlecheckBoxChanged(row, selected);
}

void CommandContext::selectOnly(const QList<int> &rows)
{
    for (int row = 0; row < timers.rowCount(); ++row) {
        const bool wanted = rows.contains(row);
        if (timers.isSelected(row) != wanted)
            gui.handlecheckBoxChanged(row, wanted);
    }
}

bool CommandContext::anySelected() const
{
    for (int row = 0; row < timers.rowCount(); ++row) {
        if (timers.isSelected(row))
            return true;
    }
    return false;
}
