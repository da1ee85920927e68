#pragma once

#include <QObject>

class QSocketNotifier;

namespace mx {

// SIGTERM, SIGHUP and SIGINT (a shutdown, a logout or a closed terminal,
// Ctrl+C) delivered as a Qt signal in the event loop rather than ending the
// program at once, so that it can keep what is unsaved before it quits.
// On Windows the same for the console's Ctrl+C, Ctrl+Break and close, where
// the editor was started from one; a logout or shutdown reaches it through
// Qt's session manager instead. One at a time: it takes over the signals
// while it lives.
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
