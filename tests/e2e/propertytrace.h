#pragma once

#include <QList>
#include <QObject>
#include <QQmlProperty>
#include <QVariant>

// Every value a QML property takes, with the wall-clock moment it took it: what the window
// showed and when, to be set against the simulator's log.
class PropertyTrace : public QObject
{
    Q_OBJECT
public:
    struct Sample
    {
        QVariant value;
        qint64 wallMs = 0;
    };

    PropertyTrace(QObject *object, const QString &property);

    bool isValid() const { return m_property.isValid(); }
    const QList<Sample> &samples() const { return m_samples; }
    // The last value taken at or before `wallMs`; none when the property had not changed yet.
    const Sample *lastAt(qint64 wallMs) const;

private slots:
    void record();

private:
    QQmlProperty m_property;
    QList<Sample> m_samples;
};
