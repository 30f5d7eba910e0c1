#pragma once

#include "app/displaysender.h"
#include "app/mirrorclock.h"
#include "app/programslots.h"
#include "link/programpackets.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

// Program units over a store of their own, three listed displays of which rows 0 and 2 are
// selected, a recording sender and a hand-driven clock.
struct ProgramFixture
{
    ProgramFixture()
    {
        for (int row = 0; row < 3; ++row)
            timers.addOrUpdateTimer(TimerData(QString(), QStringLiteral("127.0.0.%1").arg(row + 2),
                                              row != 1, QTime(0, 0), 0, 0, 0));
    }

    // A program written as tokens: "C" a colour line, "5:300-60" command 5 from 300 s to 60 s
    // ("1+:60-0" counting the interval), "R0x3" a repeat to row 0 taken 3 times, "E1" an end line
    // with gotoline 1.
    static ProgramText program(const QString &tokens)
    {
        static const QRegularExpression timing(QStringLiteral("^(\\d+)(\\+?):(\\d+)-(\\d+)$"));
        static const QRegularExpression repeat(QStringLiteral("^R(\\d+)x(\\d+)$"));
        QVector<ProgramLine> lines;
        for (const QString &t : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = timing.match(t);
            const QRegularExpressionMatch r = repeat.match(t);
            if (t == QLatin1String("C"))
                lines << ProgramLine::colorLine(0, 0, 0, 0, 0, 0, 2, 1);
            else if (r.hasMatch())
                lines << ProgramLine::timerLine(TC_REPEAT, 0, r.captured(1).toUInt(),
                                                r.captured(2).toUInt(), 0, 0, 0, 0);
            else if (m.hasMatch())
                lines << ProgramLine::timerLine(m.captured(1).toUInt(), !m.captured(2).isEmpty(), 0,
                                                0, 0, m.captured(3).toUInt(),
                                                m.captured(4).toUInt(), 0);
            else
                lines << ProgramLine::timerLine(TC_DONE, 0, t.mid(1).toUInt(), 0, 0, 0, 0, 0);
        }
        return ProgramCodec::textFromLines(lines);
    }

    QTemporaryDir dir;
    QSettings store{dir.filePath(QStringLiteral("QB-Timer.conf")), QSettings::IniFormat};
    qint64 now = 0;
    TimerDataModel timers;
    ProgramDataModel lines;
    ProgramSlots programSlots{store};
    QStringList sent; // "4:b301@50+0": the address's last part, three bytes, any delays
    DisplaySender sender{timers, [this](const QByteArray &packet, const QString &addr,
                                        int firstDelay, int extraWait) {
                             QString text = addr.section(QLatin1Char('.'), 3) + QLatin1Char(':') +
                                            QString::fromLatin1(packet.left(3).toHex());
                             if (firstDelay || extraWait)
                                 text += QStringLiteral("@%1+%2").arg(firstDelay).arg(extraWait);
                             sent << text;
                         }};
    MirrorClock mirror{[this] { return now; }};
};
