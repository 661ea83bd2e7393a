#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pimlo {

// A fully built HTTP request, independent of any transport.
struct HttpRequest
{
    std::string url;
    bool direct = false; // never through a proxy, not even one named by the environment
    std::chrono::seconds idleTimeout{0}; // longest time the transfer may go without data
    std::vector<std::pair<std::string, std::string>> headers; // in sending order
    std::string body;

    // Value of the first header with this name (case-insensitive), empty when absent.
    std::string header(std::string_view name) const
    {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        for (const auto &[key, value] : headers) {
            if (key.size() == name.size() &&
                std::equal(key.begin(), key.end(), name.begin(),
                           [&](char a, char b) { return lower(a) == lower(b); }))
                return value;
        }
        return {};
    }
};

} // namespace pimlo
