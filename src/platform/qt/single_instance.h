#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>

namespace vantrel::qt {

// One running copy per user. The first copy listens on a local socket in the abstract
// namespace (no file; the kernel frees the name when the process ends); a later copy hands
// over to it and ends. The first copy answers only after its handler has run, so the later
// copy ends only once the hand-over has been taken.
class SingleInstance {
  public:
    // "TVantrelForm-<uid>": the main window's class name, per user.
    static QString nameForCurrentUser();

    explicit SingleInstance(QString name);
    ~SingleInstance();

    // True when a running copy took the hand-over message within `timeoutMs`.
    bool handOverToRunningCopy(int timeoutMs = 5000) const;
    // Becomes the copy the others hand over to; `onHandOver` runs on this thread for each
    // hand-over. False when a running copy holds the name.
    bool listen(std::function<void()> onHandOver);

  private:
    QString name_;
    QLocalServer server_;
    std::function<void()> onHandOver_;
};

}  // namespace vantrel::qt
