// tcp_rigctld_link.h: the rigctld connection over a TCP socket. Connecting and each answer wait
// at most kRigctldTimeout, so a rigctld that hangs stalls the station briefly, never for good.
#pragma once

#include <chrono>

#include "radio/rigctld_link.h"

namespace zolk {

inline constexpr std::chrono::milliseconds kRigctldTimeout{1000};

class TcpRigctldLink final : public RigctldLink {
public:
    TcpRigctldLink() = default;
    ~TcpRigctldLink() override;
    TcpRigctldLink(const TcpRigctldLink&) = delete;
    TcpRigctldLink& operator=(const TcpRigctldLink&) = delete;

    bool connect(const std::string& host, std::uint16_t port) override;
    void close() override;
    bool connected() const override { return m_fd >= 0; }
    std::optional<std::string> transact(std::string_view command) override;
    std::string error() const override { return m_error; }

private:
    bool waitFor(short events);

    int m_fd = -1;
    std::string m_pending;  // bytes received after the last answer line
    std::string m_error;
};

}  // namespace zolk
