// The link on the scripted socket and a manual clock, driven by arbitrary chunks, network
// events, ticks and owner calls. Whatever happens, nothing received is lost or invented (the
// "Read" texts are the received bytes up to each chunk's zero byte, without line ends), every
// line sent is reported as a "Write" event, only the login, the password and the heartbeat
// are ever sent, and the owner hears of every event at the next tick.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Require.hpp"
#include "link/LinkHarness.hpp"

namespace {

std::string SomeChunk(FuzzedDataProvider& input) {
    static constexpr std::string_view kPieces[] = {
        "send login:", "send password:",          "protocols: administrator, chat", ":)", "\r\n", "\r",
        "\n",          std::string_view("\0", 1),
    };
    std::string chunk;
    for (auto count = input.ConsumeIntegralInRange(1, 4); count > 0; --count) {
        if (input.ConsumeBool()) {
            chunk.append(kPieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)]);
        } else {
            chunk.append(input.ConsumeRandomLengthString(32));
        }
    }
    return chunk;
}

std::string WithoutLineEnds(std::string_view text) {
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [](char c) { return c != '\r' && c != '\n'; });
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    LinkHarness h;
    std::vector<LinkEvent> events;
    h.onDelivered = [&events](const LinkEvent& event) { events.push_back(event); };
    h.link->SetPort(4000);
    h.link->SetHost("server.test");
    h.link->SetAutoReconnect(input.ConsumeBool());
    h.link->SetReconnectDelay(input.ConsumeIntegralInRange(0, 20));
    std::string received;
    std::string chunk;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 9)) {
            case 0:
            case 1:
                if (h.socket->Active()) {
                    chunk = SomeChunk(input);
                    received += WithoutLineEnds(chunk.substr(0, chunk.find('\0')));
                    h.socket->Deliver(chunk);
                }
                break;
            case 2: {
                h.clock.Advance(std::chrono::milliseconds(input.ConsumeIntegralInRange(0, 120'000)));
                const size_t queued = h.link->QueuedEventCount();
                const size_t heard = events.size();
                h.link->Tick();
                KRV_REQUIRE(events.size() - heard == queued);
                break;
            }
            case 3:
                if (h.socket->Pending()) {
                    h.socket->AcceptConnection();
                }
                break;
            case 4:
                if (h.socket->Pending()) {
                    h.socket->Refuse(input.PickValueInArray({10049, 10055, 10060, 10061}));
                }
                break;
            case 5:
                if (h.socket->Pending()) {
                    h.socket->FailLookup();
                }
                break;
            case 6:
                if (h.socket->Active()) {
                    input.ConsumeBool() ? h.socket->PeerCloses() : h.socket->FailSend();
                }
                break;
            case 7:
                h.link->Disconnect();
                break;
            case 8:
                h.link->Connect(input.ConsumeBool() ? "127.0.0.1" : "server.test", 4000);
                break;
            case 9:
                h.socket->Writable();
                break;
        }
    }
    // A held tail reaches the owner with the disconnect.
    h.link->Disconnect();
    h.link->Tick();

    std::string read;
    std::string written;
    for (const LinkEvent& event : events) {
        if (event.kind == LinkEventKind::Read) {
            KRV_REQUIRE(event.text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
            read += event.text;
        } else if (event.kind == LinkEventKind::Write) {
            KRV_REQUIRE(event.text == "admin" || event.text == "secret" || event.text == " ");
            written += event.text + '\r';
        }
    }
    KRV_REQUIRE(read == received);
    KRV_REQUIRE(written == h.socket->Written());
    KRV_REQUIRE(h.socket->Log()->unhandledErrorCodes.empty());
    return 0;
}
