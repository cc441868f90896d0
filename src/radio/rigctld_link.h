// rigctld_link.h: a TCP connection to a rig control daemon (rigctld) that keys the radio with
// "T 1" / "T 0" and answers "RPRT 0". The POSIX socket implementation lives in radio/posix.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zolk {

inline constexpr std::string_view kDefaultRigctldHost = "127.0.0.1";
inline constexpr std::uint16_t kDefaultRigctldPort = 4532;

class RigctldLink {
public:
    virtual ~RigctldLink() = default;
    virtual bool connect(const std::string& host, std::uint16_t port) = 0;
    virtual void close() = 0;
    virtual bool connected() const = 0;
    // Sends command and a line feed; returns the answer's first line without its line end, or
    // nothing when the connection failed or no answer came in time.
    virtual std::optional<std::string> transact(std::string_view command) = 0;
    virtual std::string error() const = 0;
};

}  // namespace zolk
