// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace zel {

struct MqttOptions;

// One connection to an MQTT broker. Its network work runs on a thread of its own, so neither a
// slow name lookup nor a dead broker ever holds up the caller's event loop; what happens there
// reaches the caller as queued signals. A lost or refused connection is tried again with a
// growing pause (1 s doubling to 30 s); every new session subscribes to the topics again.
class MqttClient : public QObject {
    Q_OBJECT
public:
    // `willTopic` gets `willPayload`, retained, when the broker loses the client.
    MqttClient(const MqttOptions& options, const QString& clientId, const QString& willTopic,
               const QByteArray& willPayload, QStringList subscriptions, QObject* parent = nullptr);
    ~MqttClient() override;

    void Start();
    // Ends the session cleanly (the will is not sent) and the thread; waits for it.
    void Stop();
    // Queues a message; false when there is no session to take it. Returns its id in `id`.
    bool Publish(const QString& topic, const QByteArray& payload, bool retain, int* id = nullptr);

signals:
    void connected();
    void disconnected(const QString& reason);
    // `retained`: the broker's stored copy, not a message published just now.
    void messageReceived(const QString& topic, const QByteArray& payload, bool retained);
    // The broker has taken over the message of that id.
    void published(int id);

private:
    static void OnConnect(mosquitto*, void* self, int result);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void OnPublish(mosquitto*, void* self, int id);
    void Run();
    // Waits before the next try; false when Stop came first.
    bool Pause(int seconds);

    mosquitto* client_ = nullptr;
    QByteArray host_;
    int port_ = 0;
    QStringList subscriptions_;
    QString refusal_; // the broker's reason for refusing the last try; network thread only
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> session_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;
};

} // namespace zel
