// session_keying_adapter.h: the session's key on the station's transmitter keying (the radio
// control): PTT on at the start of each transmission, released when a link is cleaned up.
#pragma once

#include "ports/transmitter_keying.h"
#include "session/session_ports.h"

namespace zolk {

class SessionKeyingAdapter final : public SessionKeying {
public:
    explicit SessionKeyingAdapter(TransmitterKeying& keying) : m_keying(keying) {}
    void key() override { m_keying.pttOn(); }
    void unkey() override { m_keying.pttOff(); }

private:
    TransmitterKeying& m_keying;
};

}  // namespace zolk
