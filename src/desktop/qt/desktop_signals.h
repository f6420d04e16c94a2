#pragma once

#include <QObject>

class QSocketNotifier;

namespace calventa::app {

// SIGINT, SIGTERM and SIGHUP end the program through its normal close: the handler only
// writes the signal number into a pipe, and the message loop reads it and reports it.
// One instance at a time; the previous handlers come back when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool Installed() const { return m_notifier != nullptr; }

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace calventa::app
