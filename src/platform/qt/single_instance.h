#pragma once

#include <QLocalServer>
#include <QString>
#include <QTimer>
#include <functional>

namespace vantrel::qt {

// One running copy per user and display. The first copy listens on a local socket in the
// abstract namespace (no file; the kernel frees the name when the process ends); a later copy
// hands over to it and ends. The first copy answers only after its handler has run, so the later
// copy ends only once the hand-over has been taken.
//
// Abstract names carry no permissions, so both sides check the other's user by its peer
// credentials: a copy takes hand-overs only from its own user, and a start hands over only to a
// copy of its own user. A copy holds few connections at once and drops idle ones.
class SingleInstance {
  public:
    enum class HandOver {
        NoCopy,      // no copy of this user runs here
        Taken,       // the running copy took the hand-over
        Unanswered,  // a copy of this user runs, but did not answer in time (it is busy)
    };

    // "TVantrelForm-<uid>-<display>": the main window's class name, per user and display.
    static QString nameForThisSession();

    explicit SingleInstance(QString name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Connects within `connectMs` and waits up to `answerMs` for the running copy's answer.
    HandOver handOverToRunningCopy(int connectMs = 5000, int answerMs = 30000) const;
    // Becomes the copy the others hand over to; `onHandOver` runs on this thread for each
    // hand-over. False when another copy holds the name: this copy then tries again every second
    // (and likewise when it lost its socket), and takes the name over once that copy has ended.
    bool listen(std::function<void()> onHandOver);
    bool listening() const { return server_.isListening(); }

  private:
    bool tryListen();
    void takeConnections();
    void serve(class QLocalSocket* client);

    QString name_;
    QLocalServer server_;
    QTimer keepListening_;
    std::function<void()> onHandOver_;
    int clients_ = 0;
};

}  // namespace vantrel::qt
