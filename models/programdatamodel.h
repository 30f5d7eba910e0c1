#pragma once

#include <QAbstractListModel>

// The lines of the timer program open in the window. The role numbers are part of the QML
// contract ("ProgDataRoles" in module "ProgEnums"); the lines themselves arrive with the
// program editor.
class ProgramDataModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum ProgramDataRoles {
        CommandRole = Qt::UserRole + 1,
        CommandNameRole,
        IncrementIntervalRole,
        GotoLineRole,
        RepeatCountSetRole,
        RepeatCountActRole,
        StartSecondsRole,
        StopSecondsRole,
        RelayTimeSecRole,
        SelectedRole,
        Red1Role,
        Grn1Role,
        Blu1Role,
        Red2Role,
        Grn2Role,
        Blu2Role,
        ColorIndex1Role,
        ColorIndex2Role,
        Color1NameRole,
        Color2NameRole,
    };
    Q_ENUM(ProgramDataRoles)

    explicit ProgramDataModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
};
