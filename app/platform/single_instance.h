#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace quillon {

// One window per user session: the first process claims the name; a later process finds the
// first one, asks it to bring its window to the front and ends. Windows: a named mutex and a
// hidden application window found by its class and title. Linux: a lock file and a local
// socket under the name.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // The window caption "KavoEC_Quillon" (on Linux with the user: "KavoEC_Quillon-<user>");
    // QUILLON_INSTANCE_NAME replaces it (separate benches under one user, tests). The window
    // of board N > 0 adds "-board-N", so one window per board runs beside the others.
    static QString DefaultName(int boardIndex = 0);

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this process is the one instance from now on. False: another one runs; it has
    // been asked to restore, raise and activate its window.
    bool Claim();

signals:
    // A later process asked this one to bring its window to the front.
    void activationRequested();

private:
    struct Claimed;  // what the platform holds while this process is the one instance
    QString name_;
    std::unique_ptr<Claimed> claimed_;
};

}  // namespace quillon
