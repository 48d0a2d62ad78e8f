// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/mqtt_client.h"

#include "cli/mqtt_options.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zel {

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr int MaxPauseSeconds = 30;
constexpr int QualityOfService = 1;
// How long one turn of the network loop may wait before it looks at Stop again.
constexpr int LoopTimeoutMs = 200;

QString ErrorText(int result) {
    return result == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                    : QString::fromUtf8(mosquitto_strerror(result));
}

void Check(int result, const char* what) {
    if (result != MOSQ_ERR_SUCCESS)
        throw std::runtime_error(std::string(what) + ": " + ErrorText(result).toStdString());
}

} // namespace

MqttClient::MqttClient(const MqttOptions& options, const QString& clientId,
                       const QString& willTopic, const QByteArray& willPayload,
                       QStringList subscriptions, QObject* parent)
    : QObject(parent), host_(options.Host.toUtf8()), port_(options.Port),
      subscriptions_(std::move(subscriptions)) {
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised);
    client_ = mosquitto_new(clientId.toUtf8().constData(), true, this);
    if (!client_)
        throw std::runtime_error("cannot create the MQTT client");
    // Publishing from the event loop's thread while Run() drives the connection.
    Check(mosquitto_threaded_set(client_, true), "MQTT threads");
    const QByteArray will = willTopic.toUtf8();
    Check(mosquitto_will_set(client_, will.constData(), int(willPayload.size()),
                             willPayload.constData(), QualityOfService, true),
          "MQTT last will");
    if (!options.Username.isEmpty())
        Check(mosquitto_username_pw_set(
                  client_, options.Username.toUtf8().constData(),
                  options.Password.isEmpty() ? nullptr : options.Password.toUtf8().constData()),
              "MQTT login");
    if (!options.TlsCaFile.isEmpty())
        Check(mosquitto_tls_set(client_, options.TlsCaFile.toUtf8().constData(), nullptr, nullptr,
                                nullptr, nullptr),
              "MQTT TLS");
    mosquitto_connect_callback_set(client_, &MqttClient::OnConnect);
    mosquitto_message_callback_set(client_, &MqttClient::OnMessage);
    mosquitto_publish_callback_set(client_, &MqttClient::OnPublish);
}

MqttClient::~MqttClient() {
    Stop();
    mosquitto_destroy(client_);
}

void MqttClient::Start() {
    thread_ = std::thread([this] { Run(); });
}

void MqttClient::Stop() {
    if (!thread_.joinable())
        return;
    // DISCONNECT is queued before the loop may end, so the broker drops the will.
    mosquitto_disconnect(client_);
    stopping_ = true;
    {
        std::lock_guard<std::mutex> guard(pauseMutex_);
        pauseWake_.notify_all();
    }
    thread_.join();
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, bool retain, int* id) {
    if (!session_)
        return false;
    return mosquitto_publish(client_, id, topic.toUtf8().constData(), int(payload.size()),
                             payload.constData(), QualityOfService, retain) == MOSQ_ERR_SUCCESS;
}

void MqttClient::Run() {
    int pause = 1;
    QString lastFailure;
    while (!stopping_) {
        int result = mosquitto_connect_async(client_, host_.constData(), port_, KeepAliveSeconds);
        if (result == MOSQ_ERR_SUCCESS) {
            while (!stopping_ && result == MOSQ_ERR_SUCCESS)
                result = mosquitto_loop(client_, LoopTimeoutMs, 1);
        }
        const bool hadSession = session_.exchange(false);
        if (stopping_)
            break;
        const QString reason = refusal_.isEmpty() ? ErrorText(result) : refusal_;
        refusal_.clear();
        if (hadSession) {
            pause = 1;
            emit disconnected(reason);
        } else if (reason != lastFailure) {
            // A broker that stays away is reported once, not at every try.
            emit disconnected(reason);
        }
        lastFailure = hadSession ? QString() : reason;
        if (!Pause(pause))
            break;
        pause = std::min(pause * 2, MaxPauseSeconds);
    }
    // Stop's DISCONNECT goes out before the socket closes.
    mosquitto_loop(client_, LoopTimeoutMs, 1);
}

bool MqttClient::Pause(int seconds) {
    std::unique_lock<std::mutex> lock(pauseMutex_);
    return !pauseWake_.wait_for(lock, std::chrono::seconds(seconds),
                                [this] { return stopping_.load(); });
}

void MqttClient::OnConnect(mosquitto* client, void* self, int result) {
    auto* that = static_cast<MqttClient*>(self);
    if (result != 0) {
        that->refusal_ = QString::fromUtf8(mosquitto_connack_string(result));
        return;
    }
    for (const QString& topic : that->subscriptions_)
        mosquitto_subscribe(client, nullptr, topic.toUtf8().constData(), QualityOfService);
    that->session_ = true;
    emit that->connected();
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* that = static_cast<MqttClient*>(self);
    emit that->messageReceived(
        QString::fromUtf8(message->topic),
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
        message->retain);
}

void MqttClient::OnPublish(mosquitto*, void* self, int id) {
    emit static_cast<MqttClient*>(self)->published(id);
}

} // namespace zel
