#pragma once

#include <QObject>

class QSocketNotifier;

namespace mx {

// SIGTERM, SIGHUP and SIGINT (a shutdown, a logout or a closed terminal,
// Ctrl+C) delivered as a Qt signal in the event loop rather than ending the
// program at once, so that it can keep what is unsaved before it quits.
// One at a time: it takes over the three signals while it lives.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signal);

private:
    void readPending();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace mx
