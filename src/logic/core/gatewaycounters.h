#pragma once
// Running figures of the gateway for the site's monitoring. Written in the
// window's thread (the fetch worker does not count here); read by the metrics
// exporter's own threads, hence atomic.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "logic/core/clock.h"

namespace zampo {

struct CycleOutcome;

enum class MessageKind : int { Raise, Reset, Group, System, Watchdog, Other };
inline constexpr int kMessageKinds = 6;
const char* messageKindName(MessageKind kind);

// What a message to ZamMeld is, from its text. A group alarm reads as a linked
// alarm; GatewayCounters tells them apart by the group messages the walk queued.
MessageKind classifyMessage(std::string_view message);

struct GatewayCounters {
    using Counter = std::atomic<uint64_t>;

    std::array<Counter, kMessageKinds> written{};   // lines written to ZamMeld, by kind
    std::array<Counter, kMessageKinds> accepted{};  // lines ZamMeld answered with OK, by kind
    Counter resends{0};                             // sends of an element after its first
    std::array<Counter, 4> errorMarks{};            // Error marks set, by their stored code 1..3
    Counter poExchanges{0};
    Counter poFailures{0};
    std::atomic<bool> poFailing{false};     // the last exchange failed
    std::atomic<int64_t> lastGoodPoMs{0};   // epoch ms of the last good exchange; 0: none yet
    std::atomic<bool> zamConnected{false};  // connected, and no socket error since
    std::atomic<bool> zamAnswering{true};   // no stretch of connections closed unanswered
    Counter zamSocketErrors{0};
    Counter watchdogsAnswered{0};
    std::atomic<int64_t> lastWalkMs{-1};  // the last complete element walk; -1: none yet
    // Sampled in the window's thread for the exporter.
    Counter messagesWaiting{0};
    Counter statusElements{0};
    std::atomic<bool> settingsUnreadable{false};  // ZamLocal.INI could not be read; the settings in use stay

    // One message went out on the wire; returns the kind it was counted as.
    MessageKind noteWritten(const std::string& message);
    // An element step of the main loop: resends, Error marks, group messages, the walk's time.
    void noteOutcome(const CycleOutcome& outcome, TimeMs now);
    void noteSocketError();
    void notePoExchange(bool ok, TimeMs now);

private:
    std::deque<std::string> queuedGroups_;  // group messages queued and not yet written
    std::optional<TimeMs> walkStart_;
};

}  // namespace zampo
