#pragma once
// A server interface that answers from tables the test fills, and counts
// the queries it gets.
#include "platform/ServerApi.h"

#include <QHash>

#include <chrono>
#include <condition_variable>
#include <mutex>

class FakeServerApi : public ServerApi {
public:
    bool Loadable = true;
    bool SessionsFail = false;
    bool SharePathFails = false;
    bool FilesFail = false;
    QString Failure;  // what LastError says
    std::vector<ServerSession> SessionTable;
    QHash<QString, std::vector<ServerConnection>> ConnectionTable; // by terminal
    QHash<QString, QString> ShareTable;                             // share -> path
    std::vector<ServerFile> FileTable;
    int FileQueries = 0;
    QStringList FileQueryBases;

    bool Load() override { return Loadable; }
    void Free() override {}
    // A server that does not answer: while held, Sessions() waits (at most
    // ten seconds) until Open.
    void Hold()
    {
        const std::lock_guard lock(gate_);
        held_ = true;
    }
    void Open()
    {
        {
            const std::lock_guard lock(gate_);
            held_ = false;
        }
        opened_.notify_all();
    }
    // Whether a session query is waiting at the held server within timeoutMs.
    bool WaitHeld(int timeoutMs = 3000)
    {
        std::unique_lock lock(gate_);
        return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return waiting_ > 0; });
    }
    int SessionQueries() const
    {
        const std::lock_guard lock(gate_);
        return sessionQueries_;
    }

    bool Sessions(std::vector<ServerSession> &sessions) override
    {
        {
            std::unique_lock lock(gate_);
            ++sessionQueries_;
            if (held_) {
                ++waiting_;
                arrived_.notify_all();
                opened_.wait_for(lock, std::chrono::seconds(10), [this] { return !held_; });
                --waiting_;
            }
        }
        sessions = SessionsFail ? std::vector<ServerSession>{} : SessionTable;
        return !SessionsFail;
    }
    bool Connections(const QString &qualifier, std::vector<ServerConnection> &connections) override
    {
        if (!qualifier.startsWith(QLatin1String("\\\\")))
            return false;
        connections = ConnectionTable.value(qualifier.mid(2));
        return true;
    }
    bool SharePath(const QString &shareName, QString &path) override
    {
        path = SharePathFails ? QString() : ShareTable.value(shareName);
        return !SharePathFails && ShareTable.contains(shareName);
    }
    bool Files(const QString &basePath, const QString &user, std::vector<ServerFile> &files) override
    {
        ++FileQueries;
        FileQueryBases << basePath;
        files.clear();
        if (FilesFail)
            return false;
        for (const ServerFile &f : FileTable)
            if ((basePath.isEmpty() || f.Path.startsWith(basePath))
                && (user.isEmpty() || f.User.compare(user, Qt::CaseInsensitive) == 0))
                files.push_back(f);
        return true;
    }
    QString LastError() const override { return Failure; }
    bool ServerInfo(ServerInformation &info) override
    {
        info = {};
        return false;
    }

private:
    mutable std::mutex gate_;
    std::condition_variable opened_, arrived_;
    bool held_ = false;
    int waiting_ = 0;
    int sessionQueries_ = 0;
};
