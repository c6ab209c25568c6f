#pragma once

#include <optional>
#include <string_view>

#include "link/LinkEvent.hpp"

// For tests whose tables spell link events as the log shows them.
inline constexpr LinkEventKind kAllLinkEventKinds[] = {
    LinkEventKind::Lookup, LinkEventKind::Connecting, LinkEventKind::Connect,
    LinkEventKind::Login,  LinkEventKind::Read,       LinkEventKind::Write,
    LinkEventKind::Error,  LinkEventKind::Dropped,    LinkEventKind::Disconnect,
};

// The kind whose word this is, exactly as written; none for any other text.
inline std::optional<LinkEventKind> LinkEventKindNamed(std::string_view word) {
    for (const LinkEventKind kind : kAllLinkEventKinds) {
        if (NameOf(kind) == word) {
            return kind;
        }
    }
    return std::nullopt;
}
