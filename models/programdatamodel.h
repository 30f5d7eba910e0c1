#pragma once

#include "models/programcodec.h"
#include "models/programline.h"

#include <QAbstractListModel>
#include <QVector>

// The lines of the timer program open in the window, at most ten. The role numbers are part of
// the QML contract ("ProgDataRoles" in module "ProgEnums"). Every structural change is announced
// for exactly the rows concerned; rows out of range are answered with 0, -1, false or nothing.
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

    static constexpr int kMaxLines = 10;

    explicit ProgramDataModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    void appendLine(const ProgramLine &line);
    void insertEndLine(int row);
    void removeLine(int row);
    void clearLines();
    // Replaces lines with command 0 or above TC_DOWN_DHM by an end line at the end, and gives an
    // empty program one, so that a loaded program always has known commands and an end.
    void validateLines();
    bool setSelected(int row, bool selected);
    int setRepeatCountAct(int row, int value); // no change notification: run-time bookkeeping

    // The stored and the display forms (models/programcodec.h). loadFromText adds to the lines
    // that are there; loadFromStepArray replaces them.
    void loadFromText(const ProgramText &text);
    ProgramText toText() const;
    ProgramStepArray toStepArray() const;
    void loadFromStepArray(const ProgramStepArray &steps);

    const QVector<ProgramLine> &lines() const { return m_lines; }

    uint getCommand(int row) const { return field(row, &ProgramLine::command); }
    uint getIncrementInterval(int row) const { return field(row, &ProgramLine::incrementinterval); }
    uint getGotoLine(int row) const { return field(row, &ProgramLine::gotoline); }
    uint getRepeatCountSet(int row) const { return field(row, &ProgramLine::repeatcountset); }
    uint getRepeatCountAct(int row) const { return field(row, &ProgramLine::repeatcountact); }
    uint getStartSeconds(int row) const { return field(row, &ProgramLine::startseconds); }
    uint getStopSeconds(int row) const { return field(row, &ProgramLine::stopseconds); }
    uint getRelayTimeSec(int row) const { return field(row, &ProgramLine::relaytimesec); }
    uint getSelected(int row) const { return field(row, &ProgramLine::selected); }
    uint getRed1(int row) const { return field(row, &ProgramLine::red1); }
    uint getGrn1(int row) const { return field(row, &ProgramLine::grn1); }
    uint getBlu1(int row) const { return field(row, &ProgramLine::blu1); }
    uint getRed2(int row) const { return field(row, &ProgramLine::red2); }
    uint getGrn2(int row) const { return field(row, &ProgramLine::grn2); }
    uint getBlu2(int row) const { return field(row, &ProgramLine::blu2); }
    uint getColor1(int row) const { return field(row, &ProgramLine::color1); }
    uint getColor2(int row) const { return field(row, &ProgramLine::color2); }

private:
    bool isRow(int row) const { return row >= 0 && row < m_lines.size(); }
    template <typename T> uint field(int row, T ProgramLine::*member) const
    {
        return isRow(row) ? static_cast<uint>(m_lines.at(row).*member) : 0u;
    }

    QVector<ProgramLine> m_lines;
};
