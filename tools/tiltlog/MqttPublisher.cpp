#include "MqttPublisher.h"

#include <mosquitto.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "FeedPositionFile.h"
#include "RowJson.h"
#include "SystemCalls.h"
#include "TlsProbe.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// For each of the probe's connect and handshake: it holds up the end of a run
// that comes meanwhile, so it is kept short.
constexpr std::chrono::milliseconds kTlsProbeLimit{5000};
// The library's housekeeping (pings, its own time-outs) wants a call at
// least this often.
constexpr std::chrono::milliseconds kHousekeeping{1000};
// While rows are read back: the pace of the reading.
constexpr std::chrono::milliseconds kCatchUpTick{50};
// A crash costs at most this much of the position, paid for in rows sent twice.
constexpr std::chrono::seconds kSavePeriod{1};
const char kOnline[] = "online";
const char kOffline[] = "offline";

std::string SizeText(size_t bytes) {
    if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

int WaitMs(SteadyClock::time_point until, std::chrono::milliseconds most) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now());
    return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), most).count());
}

}  // namespace

MqttPublisher::MqttPublisher(MqttSettings settings)
    : settings_(std::move(settings)),
      // With files, a quarter is kept for the newest rows while older ones are read back.
      queue_(settings_.folder.empty() ? settings_.queueBytes : settings_.queueBytes / 4 * 3),
      backoff_(settings_.firstBackoff) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    sourceOf_.fill(-1);
    if (!Durable()) return;
    for (size_t i = 0; i < settings_.addresses.size(); ++i) {
        sources_.emplace_back(settings_.addresses[i], settings_.folder, settings_.prefixes[i]);
        sources_.back().positionPath = FeedPositionPath(settings_.folder, settings_.prefixes[i]);
        sourceOf_[settings_.addresses[i]] = static_cast<int>(i);
    }
    if (!sources_.empty()) tailLimit_ = settings_.queueBytes / 4 / sources_.size();
}

MqttPublisher::~MqttPublisher() {
    if (thread_.joinable()) Finish(std::chrono::milliseconds(0));
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::string MqttPublisher::DefaultClientId(const std::string& hostName, const std::string& port) {
    std::string name = port.rfind("/dev/", 0) == 0 ? port.substr(5) : port;
    // Brokers take any UTF-8, but the id shows up in their logs and in shells.
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '-';
    }
    return "tiltlog-" + (hostName.empty() ? std::string("localhost") : hostName) + "-" + name;
}

bool MqttPublisher::Start(std::string& error) {
    // Before the recorders begin this run's files: the files there are now
    // are the earlier runs'.
    uint64_t oldRows = 0;
    for (Source& s : sources_) {
        FeedPosition at;
        std::string problem;
        const PositionRead read = ReadFeedPosition(s.positionPath, at, problem);
        if (read == PositionRead::Unreadable)
            Say(problem + "; the feed begins with the rows recorded from now on");
        std::string note;
        s.reader.Begin(read == PositionRead::Read ? &at : nullptr, note);
        if (!note.empty()) Say(note);
        s.acknowledged = s.reader;
        if (read == PositionRead::Read) s.written = at;
        // Without a position this is the feed's first run here: it begins now.
        s.live = read != PositionRead::Read;
        s.pastOld = s.live;
        CsvFollower count = s.reader;
        s.oldLeft = count.Skip(UINT64_MAX, true, problem);
        oldRows += s.oldLeft;
    }
    if (oldRows != 0) {
        Say("MQTT: " + std::to_string(oldRows) + " rows recorded before this start follow from " +
            "the CSV files in " + settings_.folder);
    }
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        error = std::string("cannot make the MQTT wake-up: ") + std::strerror(errno);
        return false;
    }
    try {
        thread_ = std::thread(&MqttPublisher::Main, this);
    } catch (const std::system_error& e) {
        error = std::string("cannot start the MQTT thread: ") + e.what();
        return false;
    }
    return true;
}

void MqttPublisher::Publish(uint8_t address, std::string payload) {
    FeedMessage message{settings_.target.prefix + "/" + std::to_string(address), std::move(payload),
                        address};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int i = sourceOf_[address];
        if (i >= 0) {
            Source& s = sources_[static_cast<size_t>(i)];
            const uint64_t row = s.runRows++;
            if (s.live && !queue_.HasRoomFor(message)) {
                // Nothing is lost: from this row on the address goes on from its file.
                s.live = false;
                s.skipTo = row;
                if (!dropSaid_) {
                    dropSaid_ = true;
                    messages_.push_back("MQTT: more than " + SizeText(settings_.queueBytes) +
                                        " of rows held for " + Describe() +
                                        ": the rest follow from the CSV files");
                }
            }
            if (s.live) {
                queue_.Push(std::move(message));
            } else {
                s.tailBytes += PublishQueue::BytesOf(message);
                s.tail.emplace_back(row, std::move(message));
                while (s.tailBytes > tailLimit_) {
                    s.tailBytes -= PublishQueue::BytesOf(s.tail.front().second);
                    s.tail.pop_front();
                }
            }
        } else if (queue_.Push(std::move(message)) && !dropSaid_) {
            dropSaid_ = true;
            messages_.push_back("MQTT: more than " + SizeText(settings_.queueBytes) +
                                " of rows held for " + Describe() +
                                ": the oldest are being dropped");
        }
    }
    const uint64_t one = 1;
    RetryEintr([&] { return ::write(wakeFd_, &one, sizeof one); });
}

std::vector<std::string> MqttPublisher::TakeMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(messages_);
    return taken;
}

std::string MqttPublisher::StatusText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text = "MQTT held " + std::to_string(queue_.Held());
    if (queue_.Dropped() != 0) text += " dropped " + std::to_string(queue_.Dropped());
    if (!connected_.load()) text += " (broker away)";
    return text;
}

RowFeed::Totals MqttPublisher::Finish(std::chrono::milliseconds grace) {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finishing_ = true;
            finishBy_ = SteadyClock::now() + grace;
        }
        const uint64_t one = 1;
        RetryEintr([&] { return ::write(wakeFd_, &one, sizeof one); });
        thread_.join();
    }
    // The recorders have written every row by now: the positions can be exact.
    SavePositions(true);
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t unsent = queue_.Held();
    for (const Source& s : sources_) {
        unsent += s.oldLeft;
        if (!s.live) unsent += s.runRows - std::max(s.reader.RunRows(), s.skipTo);
    }
    return Totals{queue_.Acknowledged(), unsent, queue_.Dropped(), misconfigured_.load()};
}

void MqttPublisher::Say(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::move(text));
}

std::string MqttPublisher::StatusTopic(uint8_t address) const {
    return settings_.target.prefix + "/" + std::to_string(address) + "/status";
}

std::string MqttPublisher::LoggerTopic() const {
    return settings_.target.prefix + "/status";
}

void MqttPublisher::SayOnce(const std::string& text) {
    if (said_.insert(text).second) Say(text);
}

void MqttPublisher::SavePositions(bool now) {
    const SteadyClock::time_point at = SteadyClock::now();
    if (!now && at < nextSave_) return;
    nextSave_ = at + kSavePeriod;
    for (Source& s : sources_) {
        uint64_t delivered = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delivered = queue_.Delivered(s.address);
        }
        s.beyondFiles += delivered - s.deliveredSeen;
        s.deliveredSeen = delivered;
        std::string error;
        // Rows the recorder has not written yet are counted on from the last it has.
        if (s.beyondFiles != 0) s.beyondFiles -= s.acknowledged.Skip(s.beyondFiles, false, error);
        if (!error.empty()) SayOnce(error);
        FeedPosition p = s.acknowledged.Where();
        if (p.file.empty()) continue;
        p.rows += s.beyondFiles;
        if (s.written == p) continue;
        if (WriteFeedPosition(s.positionPath, p, error)) {
            s.written = p;
        } else {
            SayOnce(error + "; after a restart the feed goes on from an older position, and " +
                    "rows the broker has may come again");
        }
    }
}

void MqttPublisher::Requeue(Source& s) {
    // mutex_ held. The reader stands at the tail's first row: from there on
    // the rows are in memory, in order.
    while (!s.unqueued && !s.tail.empty() && s.pastOld &&
           std::max(s.reader.RunRows(), s.skipTo) >= s.tail.front().first &&
           queue_.HasRoomFor(s.tail.front().second)) {
        s.skipTo = s.tail.front().first + 1;
        s.tailBytes -= PublishQueue::BytesOf(s.tail.front().second);
        queue_.Push(std::move(s.tail.front().second));
        s.tail.pop_front();
    }
    if (!s.unqueued && s.tail.empty() && s.pastOld &&
        std::max(s.reader.RunRows(), s.skipTo) >= s.runRows)
        s.live = true;
}

void MqttPublisher::CatchUp() {
    const SteadyClock::time_point now = SteadyClock::now();
    const double rate = settings_.catchUpRowsPerSecond;
    catchUpTokens_ = std::min(
        rate / 5, catchUpTokens_ + rate * std::chrono::duration<double>(now - lastRefill_).count());
    lastRefill_ = now;
    for (Source& s : sources_) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (s.unqueued && catchUpTokens_ >= 1 && queue_.HasRoomFor(*s.unqueued)) {
                    queue_.Push(std::move(*s.unqueued));
                    s.unqueued.reset();
                    catchUpTokens_ -= 1;
                }
                Requeue(s);
                if (s.live || s.unqueued || catchUpTokens_ < 1 || now < s.readAgain) break;
            }
            CsvFollower::Row row;
            std::string error;
            const CsvFollower::Step step = s.reader.Next(row, error);
            if (step == CsvFollower::Step::Failed) {
                SayOnce(error + "; its rows are left out of the feed");
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            // Every file there was at the start has been read once the reader waits.
            if (step == CsvFollower::Step::Waiting || s.reader.InRun()) s.pastOld = true;
            if (step == CsvFollower::Step::Waiting) {
                s.readAgain = now + kCatchUpTick;
                Requeue(s);
                break;
            }
            // A row the queue took as it came.
            if (s.reader.InRun() && s.reader.RunRows() <= s.skipTo) continue;
            if (!s.reader.InRun() && s.oldLeft > 0) --s.oldLeft;
            s.unqueued =
                FeedMessage{settings_.target.prefix + "/" + std::to_string(s.address),
                            RowJson(s.address, row.x, row.y, row.temperature, row.at), s.address};
        }
    }
}

std::string MqttPublisher::Reason(int rc) {
    // The library leaves a system call's own reason in errno.
    if (rc == MOSQ_ERR_EAI) return "the host name cannot be looked up";
    std::string text = rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
    // Its own texts end in a full stop; ours go on after them.
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::string MqttPublisher::Explain(int rc) {
    certificateRefused_ = false;
    if (rc == MOSQ_ERR_KEEPALIVE) {
        const std::string time =
            "the keep-alive time (" + std::to_string(settings_.keepAliveSeconds) + " s)";
        return accepted_ ? "the broker stopped answering: no answer to a ping within " + time
                         : "the broker took the connection but did not accept it (no CONNACK) "
                           "within " +
                               time;
    }
    if (rc == MOSQ_ERR_TIMEOUT) return "timed out";
    if ((rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE) && settings_.target.tls) {
        const TlsVerdict v = ProbeTls(settings_.target.host, settings_.target.port,
                                      settings_.caFile, kTlsProbeLimit);
        if (v.handshakeFailed) {
            certificateRefused_ = v.certificateRefused;
            return v.reason;
        }
    }
    return Reason(rc);
}

std::string MqttPublisher::SocketGone(int fd) {
    int err = 0;
    socklen_t length = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) == 0 && err != 0)
        return SystemText(err);
    // The error went to a write the library made; a handshake of our own finds it again.
    return settings_.target.tls ? Explain(MOSQ_ERR_TLS) : std::string("the connection closed");
}

void MqttPublisher::WaitForWake(std::chrono::milliseconds timeout) {
    // Every row wakes this thread too: only the end of the wait or a finish ends it.
    const SteadyClock::time_point until = SteadyClock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (finishing_) return;
        }
        const int ms = WaitMs(until, timeout);
        if (ms == 0) return;
        pollfd wake{wakeFd_, POLLIN, 0};
        if (RetryEintr([&] { return ::poll(&wake, 1, ms); }) > 0) {
            uint64_t value = 0;
            RetryEintr([&] { return ::read(wakeFd_, &value, sizeof value); });
        }
    }
}

void MqttPublisher::Main() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // With the broker away at the end there is nobody to hand the rest to.
            if (finishing_) return;
        }
        if (Connect() && RunConnection()) return;
        WaitForWake(backoff_);
        backoff_ = std::min(backoff_ * 2, settings_.longestBackoff);
    }
}

bool MqttPublisher::Connect() {
    mosq_ = mosquitto_new(settings_.clientId.c_str(), true, this);
    if (!mosq_) {
        Lost(std::strerror(errno));
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttPublisher::OnConnect);
    mosquitto_publish_callback_set(mosq_, &MqttPublisher::OnPublish);
    mosquitto_max_inflight_messages_set(mosq_, kWindow);
    const MqttTarget& t = settings_.target;
    int rc = MOSQ_ERR_SUCCESS;
    if (t.hasUser) {
        rc = mosquitto_username_pw_set(mosq_, t.user.c_str(),
                                       t.hasPassword ? t.password.c_str() : nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        // One will a connection: the logger's own status, which every
        // address's availability includes.
        rc = mosquitto_will_set(mosq_, LoggerTopic().c_str(), static_cast<int>(sizeof kOffline - 1),
                                kOffline, 1, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && t.tls) {
        const bool own = !settings_.caFile.empty();
        rc = mosquitto_tls_set(mosq_, own ? settings_.caFile.c_str() : nullptr,
                               own ? nullptr : "/etc/ssl/certs", nullptr, nullptr, nullptr);
    }
    accepted_ = false;
    refusal_.clear();
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(mosq_, t.host.c_str(), t.port, settings_.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        Lost(Explain(rc));
        return false;
    }
    return true;
}

bool MqttPublisher::RunConnection() {
    for (;;) {
        if (accepted_) Pump();
        SavePositions(false);
        SteadyClock::time_point deadline = SteadyClock::time_point::max();
        std::chrono::milliseconds housekeeping = kHousekeeping;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            for (const Source& s : sources_) {
                if (!s.live && accepted_ && !finishing_) housekeeping = kCatchUpTick;
            }
            if (finishing_) {
                const bool allSent = queue_.Held() == 0;
                deadline = finishBy_;
                if (allSent || SteadyClock::now() >= finishBy_ || !accepted_) {
                    lock.unlock();
                    if (accepted_) Goodbye(finishBy_);
                    mosquitto_destroy(mosq_);
                    mosq_ = nullptr;
                    connected_.store(false);
                    return true;
                }
            }
        }
        const int fd = mosquitto_socket(mosq_);
        if (fd < 0) {
            Lost(refusal_.empty() ? std::string("the connection closed") : refusal_);
            return false;
        }
        pollfd fds[2] = {
            {fd, static_cast<short>(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0},
            {wakeFd_, POLLIN, 0}};
        RetryEintr([&] { return ::poll(fds, 2, WaitMs(deadline, housekeeping)); });
        if (fds[1].revents & POLLIN) {
            uint64_t value = 0;
            RetryEintr([&] { return ::read(wakeFd_, &value, sizeof value); });
        }
        int rc = MOSQ_ERR_SUCCESS;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) rc = mosquitto_loop_read(mosq_, 1);
        if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(mosq_))
            rc = mosquitto_loop_write(mosq_, 1);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(mosq_);
        if (rc != MOSQ_ERR_SUCCESS) {
            Lost(refusal_.empty() ? Explain(rc) : refusal_);
            return false;
        }
        // Under TLS the library goes on writing its handshake into a socket the
        // broker refused or reset, and never says so: the socket does.
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            Lost(refusal_.empty() ? SocketGone(fd) : refusal_);
            return false;
        }
    }
}

void MqttPublisher::Pump() {
    bool finishing = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing = finishing_;
    }
    // At the end only what is held gets its moment; the rest waits in the files.
    if (Durable() && !finishing) CatchUp();
    for (;;) {
        std::optional<PublishQueue::Next> next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.InFlight() >= kWindow) return;
            next = queue_.NextToSend();
        }
        if (!next) return;
        int mid = 0;
        const FeedMessage& m = next->message;
        // Sent without the lock: the logger's thread is never held up by a send.
        const int rc =
            mosquitto_publish(mosq_, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                              m.payload.data(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS) return;  // the loop hears why
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.MarkSent(next->sequence, mid);
    }
}

void MqttPublisher::Lost(const std::string& reason) {
    const bool wasConnected = accepted_;
    if (mosq_) mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    accepted_ = false;
    connected_.store(false);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.Unsend();
    }
    // What the broker has now is all it will have for a while: worth keeping.
    SavePositions(true);
    if (certificateRefused_) {
        // Nothing that waiting mends: the broker's certificate, its name or --mqtt-ca must change.
        backoff_ = settings_.longestBackoff;
        if (misconfigured_.exchange(true) && outageSaid_) return;
        outageSaid_ = true;
        Say("MQTT broker " + Describe() + ": " + reason +
            "; a configuration error, not an outage: the broker's certificate, the host name "
            "in --mqtt or --mqtt-ca must change. Rows stay in the CSV files; tried again every " +
            std::to_string(settings_.longestBackoff.count() / 1000) + " s without a word");
        return;
    }
    if (outageSaid_) return;
    outageSaid_ = true;
    Say("MQTT broker " + Describe() + ": " + (wasConnected ? "connection lost: " : "") + reason +
        "; rows are held and sent when it is back; trying again after " +
        std::to_string(settings_.firstBackoff.count() / 1000) + " s, then up to every " +
        std::to_string(settings_.longestBackoff.count() / 1000) + " s");
}

void MqttPublisher::Goodbye(SteadyClock::time_point deadline) {
    goodbyeMids_.clear();
    std::vector<std::string> topics;
    for (uint8_t address : settings_.addresses) topics.push_back(StatusTopic(address));
    topics.push_back(LoggerTopic());
    for (const std::string& topic : topics) {
        int mid = 0;
        if (mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(sizeof kOffline - 1),
                              kOffline, 1, true) == MOSQ_ERR_SUCCESS)
            goodbyeMids_.push_back(mid);
    }
    while (!goodbyeMids_.empty() && SteadyClock::now() < deadline) {
        const int fd = mosquitto_socket(mosq_);
        if (fd < 0) return;
        pollfd p{fd, static_cast<short>(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0};
        RetryEintr([&] { return ::poll(&p, 1, WaitMs(deadline, kHousekeeping)); });
        int rc = MOSQ_ERR_SUCCESS;
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) rc = mosquitto_loop_read(mosq_, 1);
        if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(mosq_))
            rc = mosquitto_loop_write(mosq_, 1);
        if (rc != MOSQ_ERR_SUCCESS) return;
    }
    // A clean end: the broker keeps the will to itself.
    mosquitto_disconnect(mosq_);
    mosquitto_loop_write(mosq_, 1);
}

void MqttPublisher::OnConnect(mosquitto* mosq, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        p->refusal_ = mosquitto_connack_string(rc);
        if (!p->refusal_.empty() && p->refusal_.back() == '.') p->refusal_.pop_back();
        return;
    }
    p->accepted_ = true;
    p->connected_.store(true);
    p->misconfigured_.store(false);
    p->backoff_ = p->settings_.firstBackoff;
    mosquitto_publish(mosq, nullptr, p->LoggerTopic().c_str(), static_cast<int>(sizeof kOnline - 1),
                      kOnline, 1, true);
    for (uint8_t address : p->settings_.addresses) {
        mosquitto_publish(mosq, nullptr, p->StatusTopic(address).c_str(),
                          static_cast<int>(sizeof kOnline - 1), kOnline, 1, true);
    }
    size_t held = 0;
    {
        std::lock_guard<std::mutex> lock(p->mutex_);
        held = p->queue_.Held();
        p->dropSaid_ = false;
    }
    if (p->outageSaid_) {
        p->Say("MQTT broker " + p->Describe() + ": connected again; " + std::to_string(held) +
               " held rows follow");
    } else if (!p->everConnected_) {
        p->Say("publishing to " + p->Describe() + " as client '" + p->settings_.clientId + "'");
    }
    p->outageSaid_ = false;
    p->everConnected_ = true;
}

void MqttPublisher::OnPublish(mosquitto*, void* self, int mid) {
    auto* p = static_cast<MqttPublisher*>(self);
    const auto bye = std::find(p->goodbyeMids_.begin(), p->goodbyeMids_.end(), mid);
    if (bye != p->goodbyeMids_.end()) {
        p->goodbyeMids_.erase(bye);
        return;
    }
    std::lock_guard<std::mutex> lock(p->mutex_);
    p->queue_.Acknowledge(mid);
}
