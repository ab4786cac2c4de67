#include "platform/MqttEchoes.h"

#include <algorithm>

void MqttEchoes::sent(const QByteArray &topic, const QByteArray &payload)
{
    std::vector<QByteArray> &payloads = awaited_[topic];
    // More changes than a round trip should ever see: the oldest one's
    // return would be taken for another client's, and corrected once.
    if (payloads.size() >= MostAwaited)
        payloads.erase(payloads.begin());
    payloads.push_back(payload);
}

bool MqttEchoes::own(const QByteArray &topic, const QByteArray &payload)
{
    const auto found = awaited_.find(topic);
    if (found == awaited_.end())
        return false;
    std::vector<QByteArray> &payloads = found->second;
    const auto match = std::find(payloads.begin(), payloads.end(), payload);
    if (match == payloads.end())
        return false;
    payloads.erase(payloads.begin(), match + 1);
    if (payloads.empty())
        awaited_.erase(found);
    return true;
}
