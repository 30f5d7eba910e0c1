#include "simoptions.h"

#include <QCommandLineParser>

namespace qbsim {

namespace {

constexpr int kMaxDisplays = 250;
constexpr int kMaxNameLength = 15;
constexpr int kMaxDelayMs = 60000;
constexpr quint32 kLoopbackNet = 0x7F000000;
constexpr quint32 kLoopbackMask = 0xFF000000;
constexpr quint32 kControllerAddress = 0x7F000001;
constexpr quint32 kLoopbackBroadcast = 0x7FFFFFFF;

// Reads the options one by one and keeps the first complaint; a value that fails its check is
// replaced by a harmless one so that the later checks can still run.
class OptionReader
{
public:
    explicit OptionReader(const QCommandLineParser &parser) : m_parser(parser) {}

    const QString &error() const { return m_error; }

    int integer(const QString &option, int low, int high)
    {
        bool ok = false;
        const int value = m_parser.value(option).toInt(&ok);
        if (ok && value >= low && value <= high)
            return value;
        fail(QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"")
                 .arg(option)
                 .arg(low)
                 .arg(high)
                 .arg(m_parser.value(option)));
        return low;
    }

    QHostAddress firstAddress(int count)
    {
        const QString text = m_parser.value(QStringLiteral("first-address"));
        bool ok = false;
        const QHostAddress address(text);
        const quint32 first = address.toIPv4Address(&ok);
        if (!ok || address.protocol() != QAbstractSocket::IPv4Protocol) {
            fail(QStringLiteral("\"%1\" is not an IPv4 address").arg(text));
            return address;
        }
        const quint32 last = first + quint32(count - 1);
        if ((first & kLoopbackMask) != kLoopbackNet || first <= kControllerAddress ||
            last >= kLoopbackBroadcast) {
            fail(QStringLiteral("the %1 display addresses from %2 must lie within 127.0.0.2 to "
                                "127.255.255.254 (the simulator stays on loopback)")
                     .arg(count)
                     .arg(text));
        }
        return address;
    }

    QStringList names(int count)
    {
        const QString list = m_parser.value(QStringLiteral("names"));
        const QStringList given = list.isEmpty() ? QStringList() : list.split(QLatin1Char(','));
        if (given.size() > count)
            fail(QStringLiteral("%1 names given for %2 displays").arg(given.size()).arg(count));
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QString name = i < given.size() ? given.at(i).trimmed() : QString();
            const bool latin1 = QString::fromLatin1(name.toLatin1()) == name;
            if (name.size() > kMaxNameLength || !latin1) {
                fail(QStringLiteral("name \"%1\" is not at most %2 Latin-1 characters")
                         .arg(name)
                         .arg(kMaxNameLength));
            }
            names.append(name.isEmpty() ? QStringLiteral("Timer %1").arg(i + 1) : name);
        }
        return names;
    }

    QSet<int> silentDisplays(int count)
    {
        const QString list = m_parser.value(QStringLiteral("silent"));
        QSet<int> silent;
        if (list.isEmpty())
            return silent;
        for (const QString &item : list.split(QLatin1Char(','))) {
            bool ok = false;
            const int number = item.trimmed().toInt(&ok);
            if (ok && number >= 1 && number <= count) {
                silent.insert(number);
                continue;
            }
            fail(QStringLiteral("--silent: \"%1\" is not a display number from 1 to %2")
                     .arg(item)
                     .arg(count));
        }
        return silent;
    }

    double lossPercent()
    {
        const QString text = m_parser.value(QStringLiteral("loss"));
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (ok && value >= 0 && value <= 100)
            return value;
        fail(QStringLiteral("--loss wants a percentage from 0 to 100, not \"%1\"").arg(text));
        return 0;
    }

    quint32 seed()
    {
        const QString text = m_parser.value(QStringLiteral("seed"));
        bool ok = false;
        const quint32 value = text.toUInt(&ok);
        if (!ok)
            fail(QStringLiteral("--seed wants an unsigned whole number, not \"%1\"").arg(text));
        return value;
    }

    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }

private:
    const QCommandLineParser &m_parser;
    QString m_error;
};

} // namespace

QHostAddress SimOptions::displayAddress(int number) const
{
    return QHostAddress(firstAddress.toIPv4Address() + quint32(number - 1));
}

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates timer displays on loopback addresses, UDP port 7372."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("count"), QStringLiteral("Number of displays (default 4)."),
         QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("first-address"),
         QStringLiteral("Address of display 1; display k gets the address k-1 above it "
                        "(default 127.0.0.2)."),
         QStringLiteral("ADDRESS"), QStringLiteral("127.0.0.2")},
        {QStringLiteral("names"),
         QStringLiteral("Comma-separated display names, at most 15 Latin-1 characters each "
                        "(default \"Timer 1\", \"Timer 2\", ...)."),
         QStringLiteral("A,B,...")},
        {QStringLiteral("sub-format"),
         QStringLiteral("Time-of-day sub-format reported by every display, 0 to 31 (default 0)."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("loss"),
         QStringLiteral("Percentage of replies dropped at random (default 0)."),
         QStringLiteral("PERCENT"), QStringLiteral("0")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the loss draws (default 1)."),
         QStringLiteral("SEED"), QStringLiteral("1")},
        {QStringLiteral("delay"), QStringLiteral("Delay of every reply in ms (default 0)."),
         QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("silent"), QStringLiteral("Display numbers that never answer."),
         QStringLiteral("K,...")},
        {QStringLiteral("log"),
         QStringLiteral("Write every datagram and clock event to FILE as JSON lines."),
         QStringLiteral("FILE")},
        {QStringLiteral("view"), QStringLiteral("Show the displays live in the terminal.")},
        {QStringLiteral("no-broadcast"),
         QStringLiteral("Do not listen on the loopback broadcast address 127.255.255.255.")},
        {QStringLiteral("demo-programs"),
         QStringLiteral("Start every display with two programs stored in slots 0 and 1 "
                        "(\"Intervals\", \"Talk 5 min\") instead of ten empty ones.")},
    });

    ParsedCommandLine result;
    if (!parser.parse(arguments)) {
        result.message = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.status = ParseStatus::Help;
        result.message = parser.helpText();
        return result;
    }
    OptionReader reader(parser);
    if (!parser.positionalArguments().isEmpty()) {
        reader.fail(QStringLiteral("unexpected argument \"%1\"")
                        .arg(parser.positionalArguments().constFirst()));
    }
    SimOptions &options = result.options;
    options.count = reader.integer(QStringLiteral("count"), 1, kMaxDisplays);
    options.firstAddress = reader.firstAddress(options.count);
    options.names = reader.names(options.count);
    options.subFormat = reader.integer(QStringLiteral("sub-format"), 0, 31);
    options.lossPercent = reader.lossPercent();
    options.seed = reader.seed();
    options.delayMs = reader.integer(QStringLiteral("delay"), 0, kMaxDelayMs);
    options.silent = reader.silentDisplays(options.count);
    options.logFile = parser.value(QStringLiteral("log"));
    options.view = parser.isSet(QStringLiteral("view"));
    options.broadcast = !parser.isSet(QStringLiteral("no-broadcast"));
    options.demoPrograms = parser.isSet(QStringLiteral("demo-programs"));
    if (!reader.error().isEmpty()) {
        result.message = reader.error();
        return result;
    }
    result.status = ParseStatus::Run;
    return result;
}

} // namespace qbsim
