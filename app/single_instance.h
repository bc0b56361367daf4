#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace quillon {

// One window per user: the first process claims the name and listens on a local socket
// under it; a later process finds it there, asks it to come to the front and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // The window caption and the user: "KavoEC_Quillon-<user>"; QUILLON_INSTANCE_NAME
    // replaces it (separate benches under one user, tests).
    static QString DefaultName();

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this process is the one instance from now on. False: another one runs; it has
    // been asked to restore, raise and activate its window.
    bool Claim();

signals:
    // A later process asked this one to bring its window to the front.
    void activationRequested();

private:
    void Accept();
    bool AskRunningInstance() const;

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace quillon
