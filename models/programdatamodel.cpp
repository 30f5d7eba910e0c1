#include "models/programdatamodel.h"

ProgramDataModel::ProgramDataModel(QObject *parent) : QAbstractListModel(parent) {}

int ProgramDataModel::rowCount(const QModelIndex &) const
{
    return 0;
}

QVariant ProgramDataModel::data(const QModelIndex &, int) const
{
    return QVariant();
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
