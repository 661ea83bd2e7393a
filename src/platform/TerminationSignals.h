#pragma once

#include <QObject>

class QSocketNotifier;

namespace pimlo {

// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so a logout or Ctrl+C ends the
// app through its normal quit path. One instance per process.
class TerminationSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace pimlo
