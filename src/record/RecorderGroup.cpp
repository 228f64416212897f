#include "RecorderGroup.h"

#include <algorithm>
#include <utility>

std::string AddressPrefix(const std::string& prefix, uint8_t address) {
    return prefix + "_A" + std::to_string(address);
}

RecorderGroup::RecorderGroup(CsvRecorder& single, Clock& clock, RecorderOptions options)
    : single_(single), clock_(clock), options_(std::move(options)) {
    members_.push_back(MakeMember(0, false));
}

RecorderGroup::~RecorderGroup() = default;

std::unique_ptr<RecorderGroup::Member> RecorderGroup::MakeMember(uint8_t address,
                                                                 bool ownRecorder) {
    auto m = std::make_unique<Member>();
    m->address = address;
    if (ownRecorder) m->own = std::make_unique<CsvRecorder>(clock_, options_);
    m->recorder = ownRecorder ? m->own.get() : &single_;
    return m;
}

std::string RecorderGroup::PrefixOf(const Member& m) const {
    return bus_ ? AddressPrefix(prefix_, m.address) : prefix_;
}

bool RecorderGroup::StartMember(Member& m) {
    m.alerts.Reset();
    return m.recorder->Start(folder_, PrefixOf(m));
}

bool RecorderGroup::SetAddresses(const std::vector<uint8_t>& addresses) {
    std::vector<uint8_t> wanted;
    for (uint8_t a : addresses) {
        if (std::find(wanted.begin(), wanted.end(), a) == wanted.end()) wanted.push_back(a);
    }
    const bool busBefore = bus_;
    const uint8_t firstBefore = members_.front()->address;
    const bool bus = wanted.size() > 1;

    std::vector<std::unique_ptr<Member>> next;
    std::vector<Member*> added;
    if (!bus) {
        // One sensor records as it always has, whatever its address.
        const uint8_t address = wanted.empty() ? 0 : wanted.front();
        if (busBefore) {
            next.push_back(MakeMember(address, false));
            added.push_back(next.back().get());
        } else {
            next.push_back(std::move(members_.front()));
            next.back()->address = address;
        }
    } else {
        if (!busBefore && on_) single_.Stop();
        for (uint8_t a : wanted) {
            auto kept = std::find_if(members_.begin(), members_.end(), [&](const auto& m) {
                return busBefore && m && m->address == a;
            });
            if (kept != members_.end()) {
                next.push_back(std::move(*kept));
            } else {
                next.push_back(MakeMember(a, true));
                added.push_back(next.back().get());
            }
        }
    }
    // The members left behind go now, their rows written as they stop.
    members_ = std::move(next);
    bus_ = bus;
    for (Member* m : added) {
        if (on_) {
            StartMember(*m);
        } else if (!folder_.empty()) {
            // Idle: only the name the window shows for the next recording.
            m->recorder->ChangeFolder(folder_, PrefixOf(*m));
        }
    }
    return bus_ != busBefore || (bus_ && members_.front()->address != firstBefore);
}

CsvRecorder* RecorderGroup::For(uint8_t address) {
    if (!bus_) return &single_;
    for (const auto& m : members_) {
        if (m->address == address) return m->recorder->IsRecording() ? m->recorder : nullptr;
    }
    return nullptr;
}

bool RecorderGroup::Start(const std::string& folder, const std::string& prefix) {
    Stop();
    folder_ = folder;
    prefix_ = prefix;
    on_ = true;
    for (const auto& m : members_) {
        if (!StartMember(*m)) {
            // Half a bus recorded would look like sensors without rows.
            Stop();
            return false;
        }
    }
    return true;
}

void RecorderGroup::Stop() {
    on_ = false;
    for (const auto& m : members_) m->recorder->Stop();
}

std::string RecorderGroup::ChangeFolder(const std::string& folder, const std::string& prefix) {
    folder_ = folder;
    prefix_ = prefix;
    std::string first;
    for (const auto& m : members_) {
        std::string name = m->recorder->ChangeFolder(folder_, PrefixOf(*m));
        if (first.empty()) first = std::move(name);
    }
    return first;
}

bool RecorderGroup::IsRecording() const {
    return std::any_of(members_.begin(), members_.end(),
                       [](const auto& m) { return m->recorder->IsRecording(); });
}

std::string RecorderGroup::CurrentPath() const {
    return members_.front()->recorder->CurrentPath();
}

void RecorderGroup::ForEach(const Visit& visit) {
    for (const auto& m : members_) visit(m->address, *m->recorder, m->alerts);
}

bool RecorderGroup::WriteNow(std::chrono::milliseconds timeout) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + timeout;
    bool all = true;
    for (const auto& m : members_) {
        if (!m->recorder->IsRecording()) continue;
        const auto left =
            std::max(milliseconds(0), duration_cast<milliseconds>(deadline - steady_clock::now()));
        all = m->recorder->WriteNow(left) && all;
    }
    return all;
}
