#pragma once

#include <QDateTime>
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

    PropertyTrace(QObject *object, const QString &property) : m_property(object, property)
    {
        m_property.connectNotifySignal(this, SLOT(record()));
    }

    const QList<Sample> &samples() const { return m_samples; }

private slots:
    void record() { m_samples.append({m_property.read(), QDateTime::currentMSecsSinceEpoch()}); }

private:
    QQmlProperty m_property;
    QList<Sample> m_samples;
};
