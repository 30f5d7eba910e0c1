#pragma once

#include <QHostAddress>
#include <QSet>
#include <QStringList>

namespace qbsim {

struct SimOptions
{
    int count = 4;
    QHostAddress firstAddress{QStringLiteral("127.0.0.2")};
    QStringList names; // one per display once parsed
    int subFormat = 0;
    double lossPercent = 0;
    quint32 seed = 1;
    int delayMs = 0;
    QSet<int> silent; // display numbers, from 1
    QString logFile;
    bool view = false;
    bool broadcast = true;
    bool demoPrograms = false; // programs 0 and 1 filled on every display instead of empty

    QHostAddress displayAddress(int number) const;
};

enum class ParseStatus { Run, Help, Error };

struct ParsedCommandLine
{
    ParseStatus status = ParseStatus::Error;
    SimOptions options;
    QString message; // the help text or the error
};

// Every address the simulator binds lies in 127.0.0.0/8: it only ever lives on loopback.
// 127.0.0.1 is left to the controller and 127.255.255.255 is the loopback broadcast address.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

} // namespace qbsim
