#include "models/programdatamodel.h"

#include "link/logging.h"

namespace {

// The one-byte fields, by the role that reads and writes them.
quint8 ProgramLine::*byteField(int role)
{
    switch (role) {
    case ProgramDataModel::CommandRole:
        return &ProgramLine::command;
    case ProgramDataModel::IncrementIntervalRole:
        return &ProgramLine::incrementinterval;
    case ProgramDataModel::GotoLineRole:
        return &ProgramLine::gotoline;
    case ProgramDataModel::RepeatCountSetRole:
        return &ProgramLine::repeatcountset;
    case ProgramDataModel::RepeatCountActRole:
        return &ProgramLine::repeatcountact;
    case ProgramDataModel::RelayTimeSecRole:
        return &ProgramLine::relaytimesec;
    case ProgramDataModel::Red1Role:
        return &ProgramLine::red1;
    case ProgramDataModel::Grn1Role:
        return &ProgramLine::grn1;
    case ProgramDataModel::Blu1Role:
        return &ProgramLine::blu1;
    case ProgramDataModel::Red2Role:
        return &ProgramLine::red2;
    case ProgramDataModel::Grn2Role:
        return &ProgramLine::grn2;
    case ProgramDataModel::Blu2Role:
        return &ProgramLine::blu2;
    case ProgramDataModel::ColorIndex1Role:
        return &ProgramLine::color1;
    case ProgramDataModel::ColorIndex2Role:
        return &ProgramLine::color2;
    default:
        return nullptr;
    }
}

quint16 ProgramLine::*wordField(int role)
{
    switch (role) {
    case ProgramDataModel::StartSecondsRole:
        return &ProgramLine::startseconds;
    case ProgramDataModel::StopSecondsRole:
        return &ProgramLine::stopseconds;
    default:
        return nullptr;
    }
}

QVariant nameOrNothing(const QString &name)
{
    return name.isNull() ? QVariant() : QVariant(name);
}

} // namespace

ProgramDataModel::ProgramDataModel(QObject *parent) : QAbstractListModel(parent) {}

int ProgramDataModel::rowCount(const QModelIndex &parent) const
{
    // Lines have no children.
    return parent.isValid() ? 0 : m_lines.size();
}

QVariant ProgramDataModel::data(const QModelIndex &index, int role) const
{
    if (!isRow(index.row()))
        return QVariant();
    const ProgramLine &line = m_lines.at(index.row());
    switch (role) {
    case CommandNameRole:
        return nameOrNothing(ProgramNames::commandName(line.command));
    case Color1NameRole:
        return ProgramNames::colorName(line.color1);
    case Color2NameRole:
        return ProgramNames::colorName(line.color2);
    case SelectedRole:
        return line.selected;
    default:
        break;
    }
    if (const auto byte = byteField(role))
        return int(line.*byte);
    if (const auto word = wordField(role))
        return int(line.*word);
    return QVariant();
}

bool ProgramDataModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int row = index.row();
    const uint number = value.toUInt();
    qCDebug(lcPrograms, "Entering ProgramDataModel setData function row=%d role=%d Value=%d", row,
            role, int(number));
    if (!isRow(row)) {
        qCDebug(lcPrograms, "Returning false, index out of range: %d", row);
        return false;
    }
    ProgramLine &line = m_lines[row];
    if (const auto byte = byteField(role))
        line.*byte = static_cast<quint8>(number);
    else if (const auto word = wordField(role))
        line.*word = static_cast<quint16>(number);
    else if (role == SelectedRole)
        line.selected = value.toBool();
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags ProgramDataModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = QAbstractListModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsEditable : base;
}

QHash<int, QByteArray> ProgramDataModel::roleNames() const
{
    return {{CommandRole, "command"},
            {CommandNameRole, "commandname"},
            {IncrementIntervalRole, "incrementinterval"},
            {GotoLineRole, "gotoline"},
            {RepeatCountSetRole, "repeatcountset"},
            {RepeatCountActRole, "repeatcountact"},
            {StartSecondsRole, "startseconds"},
            {StopSecondsRole, "stopseconds"},
            {RelayTimeSecRole, "relaytimesec"},
            {SelectedRole, "selected"},
            {Red1Role, "red1"},
            {Grn1Role, "grn1"},
            {Blu1Role, "blu1"},
            {Red2Role, "red2"},
            {Grn2Role, "grn2"},
            {Blu2Role, "blu2"},
            {ColorIndex1Role, "color1"},
            {ColorIndex2Role, "color2"},
            {Color1NameRole, "color1name"},
            {Color2NameRole, "color2name"}};
}

void ProgramDataModel::appendLine(const ProgramLine &line)
{
    if (m_lines.size() >= kMaxLines)
        return;
    beginInsertRows(QModelIndex(), m_lines.size(), m_lines.size());
    m_lines.append(line);
    endInsertRows();
}

void ProgramDataModel::insertEndLine(int row)
{
    if (m_lines.size() >= kMaxLines || row < 0 || row > m_lines.size())
        return;
    beginInsertRows(QModelIndex(), row, row);
    m_lines.insert(row, ProgramLine::endLine());
    endInsertRows();
}

void ProgramDataModel::removeLine(int row)
{
    if (!isRow(row))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_lines.remove(row);
    endRemoveRows();
}

void ProgramDataModel::clearLines()
{
    while (!m_lines.isEmpty())
        removeLine(0);
}

void ProgramDataModel::validateLines()
{
    if (m_lines.isEmpty())
        appendLine(ProgramLine::endLine());
    // The line that moves up into a removed line's place is looked at too, so that no unknown
    // code is left behind; each replacement adds a valid line, so the walk ends.
    for (int row = 0; row < m_lines.size();) {
        const quint8 code = m_lines.at(row).command;
        if (code != 0 && code <= TC_DOWN_DHM) {
            ++row;
            continue;
        }
        qCDebug(lcPrograms, "Updated line number: %d Code: %d to TC_DONE", row, code);
        removeLine(row);
        appendLine(ProgramLine::endLine());
    }
}

bool ProgramDataModel::setSelected(int row, bool selected)
{
    if (!isRow(row)) {
        qCDebug(lcPrograms, "setSelected Returning false, index out of range: %d", row);
        return false;
    }
    m_lines[row].selected = selected;
    emit dataChanged(index(row), index(row));
    return true;
}

int ProgramDataModel::setRepeatCountAct(int row, int value)
{
    if (!isRow(row))
        return -1;
    m_lines[row].repeatcountact = static_cast<quint8>(value);
    return 0;
}

void ProgramDataModel::loadFromText(const ProgramText &text)
{
    for (const ProgramLine &line : ProgramCodec::linesFromText(text))
        appendLine(line);
}

ProgramText ProgramDataModel::toText() const
{
    return ProgramCodec::textFromLines(m_lines);
}

ProgramStepArray ProgramDataModel::toStepArray() const
{
    return ProgramCodec::stepArrayFromLines(m_lines);
}

void ProgramDataModel::loadFromStepArray(const ProgramStepArray &steps)
{
    clearLines();
    for (const ProgramLine &line : ProgramCodec::linesFromStepArray(steps))
        appendLine(line);
}
